// MIDI input, the note queue and the processing calls of the instrument object.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "core/halvorn.h"
#include "editor/halvorn_edit.h"
#include "host/test_host.h"

// Reads and sets the object's real-time state for these tests.
class HalvornTestAccess {
public:
    static int queueCount(Halvorn& h) { return h.queueCount; }
    static int queuedNote(Halvorn& h, int i) { return h.queueNoteNumber[i]; }
    static int queuedVelocity(Halvorn& h, int i) { return h.queueVelocity[i]; }
    static int queuedChannel(Halvorn& h, int i) { return h.queueChannel[i]; }
    static int queuedDelta(Halvorn& h, int i) { return h.queueDelta[i]; }
    static void setBusy(Halvorn& h, int busy) { h.busy = busy; }
    static int interrupted(Halvorn& h) { return h.interrupted; }
    static double tempo(Halvorn& h) { return h.tempo; }
    static void setPresetCount(Halvorn& h, int count) { h.presetCount = count; }
    static void setBrowserCounts(Halvorn& h, int banks, int subBanks) {
        h.bankCount = banks;
        h.subBankCount = subBanks;
    }
    static int programChangePending(Halvorn& h) { return h.programChangePending; }
};

namespace {

VstTimeInfo hostTime;
bool answerTime = false;

VstIntPtr VSTCALLBACK timeHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetTime) return answerTime ? (VstIntPtr)&hostTime : 0;
    return 0;
}

class RecordingHalvorn : public Halvorn {
public:
    RecordingHalvorn() : Halvorn(timeHost) {}
    void setParameter(VstInt32 index, float value) override {
        calls.push_back({index, value});
        Halvorn::setParameter(index, value);
    }
    std::vector<std::pair<int, float>> calls;
};

VstMidiEvent midi(unsigned char status, unsigned char d1, unsigned char d2, int delta = 0) {
    return TestHost::midiEvent(status, d1, d2, delta);
}

VstInt32 send(Halvorn& synth, std::vector<VstMidiEvent> events) {
    std::vector<char> storage(sizeof(VstEvents) + events.size() * sizeof(VstEvent*));
    VstEvents* list = (VstEvents*)storage.data();
    list->numEvents = (VstInt32)events.size();
    for (size_t i = 0; i < events.size(); i++) list->events[i] = (VstEvent*)&events[i];
    return synth.processEvents(list);
}

class Processing : public ::testing::Test {
protected:
    void SetUp() override {
        answerTime = false;
        std::memset(&hostTime, 0, sizeof(hostTime));
        synth.reset(new RecordingHalvorn());
        ASSERT_FALSE(synth->creationFailed());
        synth->calls.clear();
    }
    void render(int frames, bool replacing = true, float fill = 0.f) {
        buffers.assign(10, std::vector<float>((size_t)frames, fill));
        float* pointers[10];
        for (int c = 0; c < 10; c++) pointers[c] = buffers[(size_t)c].data();
        if (replacing)
            synth->processReplacing(nullptr, pointers, frames);
        else
            synth->process(nullptr, pointers, frames);
    }

    TestInstall install;
    std::unique_ptr<RecordingHalvorn> synth;
    std::vector<std::vector<float>> buffers;
};

TEST_F(Processing, NotesAreQueuedWithMaskedDataBytes) {
    EXPECT_EQ(send(*synth, {midi(0x93, 60, 100, 5), midi(0x82, 61, 99, 7), midi(0x90, 62, 0, 9),
                            midi(0x90, 0xC0, 0xFF, 11)}),
              1);
    ASSERT_EQ(HalvornTestAccess::queueCount(*synth), 4);
    struct Expected {
        int note, velocity, channel, delta;
    } expected[] = {{60, 100, 3, 5}, {61, 0, 2, 7}, {62, 0, 0, 9}, {0x40, 0x7F, 0, 11}};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(HalvornTestAccess::queuedNote(*synth, i), expected[i].note) << i;
        EXPECT_EQ(HalvornTestAccess::queuedVelocity(*synth, i), expected[i].velocity) << i;
        EXPECT_EQ(HalvornTestAccess::queuedChannel(*synth, i), expected[i].channel) << i;
        EXPECT_EQ(HalvornTestAccess::queuedDelta(*synth, i), expected[i].delta) << i;
    }
    EXPECT_EQ(synth->takeMidiActivity(), 1);
    EXPECT_EQ(synth->takeMidiActivity(), 0);
}

TEST_F(Processing, ControllersPressureAndBend) {
    struct Case {
        VstMidiEvent event;
        int index;  // parameter set, -1 for none
        float value;
        bool queued;
    } cases[] = {
        {midi(0xB5, 1, 127), 547, 1.f, false},     {midi(0xB0, 4, 0), 548, 0.f, false},
        {midi(0xB0, 11, 127), 548, 1.f, false},    {midi(0xE0, 0, 64), 546, 0.5f, false},
        {midi(0xE7, 0x7F, 0x7F), 546, 16383.f / 16384.f, false},
        {midi(0xB0, 123, 0), -1, 0.f, true},       {midi(0xB2, 127, 0), -1, 0.f, true},
        {midi(0xB0, 7, 100), -1, 0.f, false},      {midi(0xD0, 64, 0), -1, 0.f, false},
        {midi(0xA0, 60, 64), -1, 0.f, false},      {midi(0xF8, 0, 0), -1, 0.f, false},
    };
    for (const Case& c : cases) {
        synth->calls.clear();
        send(*synth, {c.event});
        int status = (unsigned char)c.event.midiData[0];
        if (c.index >= 0) {
            ASSERT_EQ(synth->calls.size(), 1u) << std::hex << status;
            EXPECT_EQ(synth->calls[0].first, c.index);
            EXPECT_FLOAT_EQ(synth->calls[0].second, c.value);
            EXPECT_FLOAT_EQ(synth->getParameter(c.index), c.value);
        } else {
            EXPECT_TRUE(synth->calls.empty()) << std::hex << status;
        }
        EXPECT_EQ(HalvornTestAccess::queueCount(*synth), c.queued ? 1 : 0) << std::hex << status;
        if (c.queued) {
            EXPECT_EQ(HalvornTestAccess::queuedNote(*synth, 0), -1);
            EXPECT_EQ(HalvornTestAccess::queuedVelocity(*synth, 0), 0);
        }
        EXPECT_EQ(synth->takeMidiActivity(), status < 0xF0 ? 1 : 0) << std::hex << status;
        render(64);  // empties the queue
    }
}

// Bank select with no bank or sub-bank to choose from leaves the browser as it is.
TEST_F(Processing, BankSelectWithNothingToSelectDoesNothing) {
    const float bank = synth->getParameter(2093), subBank = synth->getParameter(2094);
    HalvornTestAccess::setBrowserCounts(*synth, 0, 0);
    for (int value : {0, 1, 5, 127}) send(*synth, {midi(0xB0, 0, (unsigned char)value), midi(0xB0, 32, (unsigned char)value)});
    render(64);
    EXPECT_TRUE(synth->calls.empty());
    EXPECT_EQ(synth->getParameter(2093), bank);
    EXPECT_EQ(synth->getParameter(2094), subBank);
}

TEST_F(Processing, HostileEventListsAreIgnored) {
    EXPECT_EQ(synth->processEvents(nullptr), 1);
    VstEvents empty;
    std::memset(&empty, 0, sizeof(empty));
    empty.numEvents = -4;
    EXPECT_EQ(synth->processEvents(&empty), 1);
    VstMidiEvent sysex = midi(0x90, 60, 100);
    sysex.type = kVstSysExType;
    send(*synth, {sysex});
    EXPECT_EQ(HalvornTestAccess::queueCount(*synth), 0);
}

TEST_F(Processing, NoteOnsStopAt127ButReleasesAreNeverLost) {
    std::vector<VstMidiEvent> ons;
    for (int i = 0; i < 130; i++) ons.push_back(midi(0x90, (unsigned char)(i % 128), 100, i));
    send(*synth, ons);
    EXPECT_EQ(HalvornTestAccess::queueCount(*synth), 127);
    EXPECT_EQ(HalvornTestAccess::queuedNote(*synth, 126), 126);

    std::vector<VstMidiEvent> offs;
    for (int i = 0; i < 300; i++) offs.push_back(midi(0x80, (unsigned char)(i % 128), 0, 200));
    send(*synth, offs);
    EXPECT_EQ(HalvornTestAccess::queueCount(*synth), 427);
    send(*synth, {midi(0x90, 100, 100, 300)});
    EXPECT_EQ(HalvornTestAccess::queueCount(*synth), 427) << "a note-on past the limit is dropped";
    EXPECT_EQ(HalvornTestAccess::queuedVelocity(*synth, 127), 0) << "and overwrites no queued release";
    render(512);
    EXPECT_EQ(HalvornTestAccess::queueCount(*synth), 0);
}

TEST_F(Processing, NotesAreDispatchedAndTheQueueEmptied) {
    HalvornEdit* editor = dynamic_cast<HalvornEdit*>(synth->getEditor());
    ASSERT_NE(editor, nullptr);
    send(*synth, {midi(0x90, 60, 100, 0), midi(0x90, 64, 100, 100), midi(0x90, 67, 100, 5000)});
    render(512);
    EXPECT_TRUE(editor->isKeyLit(60));
    EXPECT_TRUE(editor->isKeyLit(64));
    EXPECT_TRUE(editor->isKeyLit(67)) << "a note timed past the block is played at its end, not dropped";
    EXPECT_EQ(HalvornTestAccess::queueCount(*synth), 0);
    send(*synth, {midi(0x80, 60, 0, 3)});
    render(0);
    EXPECT_TRUE(editor->isKeyLit(60)) << "an empty call plays nothing";
    EXPECT_EQ(HalvornTestAccess::queueCount(*synth), 1) << "and keeps the queue for the next call";
    render(16);
    EXPECT_FALSE(editor->isKeyLit(60));
}

TEST_F(Processing, BusyCallReturnsAtOnceWithSilence) {
    send(*synth, {midi(0x90, 60, 100)});
    HalvornTestAccess::setBusy(*synth, 1);
    render(100, true, 5.f);
    for (const auto& channel : buffers)
        for (float sample : channel) ASSERT_EQ(sample, 0.f);
    render(100, false, 5.f);
    for (const auto& channel : buffers)
        for (float sample : channel) ASSERT_EQ(sample, 5.f) << "an accumulating call adds nothing";
    EXPECT_EQ(HalvornTestAccess::interrupted(*synth), 1);
    EXPECT_EQ(HalvornTestAccess::queueCount(*synth), 1) << "the queue keeps its notes";
    HalvornTestAccess::setBusy(*synth, 0);
    render(100);
    EXPECT_EQ(HalvornTestAccess::interrupted(*synth), 0);
    EXPECT_EQ(HalvornTestAccess::queueCount(*synth), 0);
}

TEST_F(Processing, HostTempoIsFollowed) {
    EXPECT_DOUBLE_EQ(HalvornTestAccess::tempo(*synth), 120.0);
    answerTime = true;
    hostTime.tempo = 90.0;
    render(64);
    EXPECT_DOUBLE_EQ(HalvornTestAccess::tempo(*synth), 120.0) << "no kVstTempoValid";
    hostTime.flags = kVstTempoValid;
    synth->setParameter(1009 + 44 * 3, 1.f);  // LFO 1 of patch 3 in tempo
    synth->setParameter(2044, 1.f);           // delay in tempo
    synth->calls.clear();
    render(64);
    EXPECT_DOUBLE_EQ(HalvornTestAccess::tempo(*synth), 90.0);
    std::vector<std::pair<int, float>> expected = {{1009 + 44 * 3, 1.f}, {2044, 1.f}};
    EXPECT_EQ(synth->calls, expected) << "only the switched-on tempo parameters, in order";
    synth->calls.clear();
    render(64);
    EXPECT_TRUE(synth->calls.empty()) << "an unchanged tempo re-applies nothing";
    hostTime.tempo = 0.0;
    render(64);
    EXPECT_DOUBLE_EQ(HalvornTestAccess::tempo(*synth), 0.0001);
    synth->calls.clear();
    render(64);
    EXPECT_TRUE(synth->calls.empty()) << "a host tempo of 0 is not taken anew every call";
}

TEST_F(Processing, ProgramChangeSelectsWithinTheSubBank) {
    // Each selection loads the preset, which reads the counts from the tree again: the
    // count under test is set before every change.
    // The load then stores the position of the preset it found (the installation's sub-bank
    // holds one): the browser's first move is the program change's.
    HalvornTestAccess::setPresetCount(*synth, 3);
    synth->calls.clear();
    send(*synth, {midi(0xC0, 5, 0)});
    ASSERT_FALSE(synth->calls.empty());
    EXPECT_EQ(synth->calls[0], std::make_pair(2095, 2.f / 3.f));
    EXPECT_EQ(HalvornTestAccess::programChangePending(*synth), 0) << "taken by the browser, which loaded";
    EXPECT_FLOAT_EQ(synth->getParameter(2095), 0.f) << "the preset that was loaded";
    HalvornTestAccess::setPresetCount(*synth, 3);
    synth->calls.clear();
    send(*synth, {midi(0xC4, 1, 0)});
    ASSERT_FALSE(synth->calls.empty());
    EXPECT_EQ(synth->calls[0], std::make_pair(2095, 1.f / 3.f));
    HalvornTestAccess::setPresetCount(*synth, 3);
    synth->calls.clear();
    send(*synth, {midi(0xC0, 0, 0)});
    EXPECT_TRUE(synth->calls.empty()) << "the same selection sets nothing";
    EXPECT_EQ(HalvornTestAccess::programChangePending(*synth), 0)
        << "and leaves no request behind for a later chunk or program restore to act on";
    HalvornTestAccess::setPresetCount(*synth, 0);
    send(*synth, {midi(0xC0, 1, 0)});
    EXPECT_TRUE(synth->calls.empty()) << "an empty sub-bank selects nothing";
    EXPECT_EQ(HalvornTestAccess::programChangePending(*synth), 0);
}

}  // namespace

namespace {

// Every built-in voice template, loaded into a line of every patch, plays.
TEST(VoiceTemplates, EachTemplateSounds) {
    TestInstall install;
    for (int line = 0; line < 2; line++) {
        for (int sound = 0; sound < 11; sound++) {
            RecordingHalvorn synth;
            ASSERT_FALSE(synth.creationFailed());
            for (int patch = 0; patch < 8; patch++) synth.loadFactoryPatch(line, sound, patch);
            send(synth, {midi(0x90, 60, 110)});
            std::vector<std::vector<float>> buffers(10, std::vector<float>(512));
            float* pointers[10];
            for (int c = 0; c < 10; c++) pointers[c] = buffers[(size_t)c].data();
            double energy = 0;
            for (int block = 0; block < 40; block++) {
                synth.processReplacing(nullptr, pointers, 512);
                for (float x : buffers[0]) {
                    ASSERT_TRUE(std::isfinite(x));
                    energy += (double)x * x;
                }
            }
            EXPECT_GT(std::sqrt(energy / (40 * 512.0)), 1e-4) << "line " << line << " sound " << sound;
        }
    }
}

}  // namespace
