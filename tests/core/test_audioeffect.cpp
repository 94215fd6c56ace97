// The effect base classes' defaults, flag setters, host wrappers and helpers, on a
// minimal effect in the test process.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "vst/audioeffectx.h"
#include "vstgui/aeffeditor.h"

namespace {

struct Recorder {
    std::vector<VstInt32> opcodes;
    VstIntPtr answer = 0;
};
Recorder* recorder = nullptr;

VstIntPtr VSTCALLBACK recordingHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (recorder) {
        recorder->opcodes.push_back(opcode);
        return recorder->answer;
    }
    return 0;
}

class PlainEffect : public AudioEffectX {
public:
    explicit PlainEffect(audioMasterCallback master) : AudioEffectX(master, 3, 7) {}
    void processReplacing(float**, float**, VstInt32) override {}
    using AudioEffect::setFlag;
};

class KeyEditor : public AEffEditor {
public:
    explicit KeyEditor(AudioEffect* effect) : AEffEditor(effect) { effect->setEditor(this); }
    bool onKeyDown(VstKeyCode& key) override {
        lastKey = key;
        return true;
    }
    bool setKnobMode(VstInt32 mode) override { return mode == 2; }
    VstKeyCode lastKey{};
};

TEST(AudioEffect, ConstructorFillsTheEffectRecord) {
    PlainEffect effect(nullptr);
    AEffect* e = effect.getAeffect();
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->numPrograms, 3);
    EXPECT_EQ(e->numParams, 7);
    EXPECT_EQ(e->numInputs, 1);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->uniqueID, CCONST('N', 'o', 'E', 'f'));
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->flags, effFlagsCanReplacing);
    EXPECT_EQ(e->object, &effect);
    EXPECT_FLOAT_EQ(effect.getSampleRate(), 44100.f);
    EXPECT_EQ(effect.getBlockSize(), 1024);
}

TEST(AudioEffect, FlagSettersSetAndClearTheirBits) {
    PlainEffect effect(nullptr);
    AEffect* e = effect.getAeffect();
    struct Case {
        void (*set)(PlainEffect&, bool);
        VstInt32 bit;
    } cases[] = {
        {[](PlainEffect& x, bool s) { x.hasClip(s); }, effFlagsHasClip},
        {[](PlainEffect& x, bool s) { x.hasVu(s); }, effFlagsHasVu},
        {[](PlainEffect& x, bool s) { x.canMono(s); }, effFlagsCanMono},
        {[](PlainEffect& x, bool s) { x.canProcessReplacing(s); }, effFlagsCanReplacing},
        {[](PlainEffect& x, bool s) { x.programsAreChunks(s); }, effFlagsProgramChunks},
        {[](PlainEffect& x, bool s) { x.isSynth(s); }, effFlagsIsSynth},
        {[](PlainEffect& x, bool s) { x.noTail(s); }, effFlagsNoSoundInStop},
        {[](PlainEffect& x, bool s) { x.wantAsyncOperation(s); }, effFlagsExtIsAsync},
        {[](PlainEffect& x, bool s) { x.hasExternalBuffer(s); }, effFlagsExtHasBuffer},
        {[](PlainEffect& x, bool s) { x.canDoubleReplacing(s); }, effFlagsCanDoubleReplacing},
    };
    for (const Case& c : cases) {
        e->flags = 0;
        c.set(effect, true);
        EXPECT_EQ(e->flags, c.bit);
        e->flags = ~0;
        c.set(effect, false);
        EXPECT_EQ(e->flags, ~c.bit);
    }
    e->flags = 0;
    EXPECT_EQ(effect.getPlugCategory(), kPlugCategUnknown);
    effect.isSynth();
    EXPECT_EQ(effect.getPlugCategory(), kPlugCategSynth);
}

TEST(AudioEffect, EditorRegistrationFollowsThePointer) {
    PlainEffect effect(nullptr);
    AEffect* e = effect.getAeffect();
    EXPECT_EQ(e->dispatcher(e, effEditOpen, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(e->dispatcher(e, effEditKeyDown, 'a', 3, nullptr, 2), 0) << "no editor yet";
    KeyEditor* editor = new KeyEditor(&effect);  // owned by the effect from here
    EXPECT_TRUE(e->flags & effFlagsHasEditor);
    EXPECT_EQ(e->dispatcher(e, effEditKeyDown, 'a', 3, nullptr, 2), 1);
    EXPECT_EQ(editor->lastKey.character, 'a');
    EXPECT_EQ(editor->lastKey.virt, 3);
    EXPECT_EQ(editor->lastKey.modifier, 2);
    EXPECT_EQ(e->dispatcher(e, effSetEditKnobMode, 0, 2, nullptr, 0), 1);
    EXPECT_EQ(e->dispatcher(e, effSetEditKnobMode, 0, 1, nullptr, 0), 0);
    ERect* rect = (ERect*)1;
    EXPECT_EQ(e->dispatcher(e, effEditGetRect, 0, 0, &rect, 0), 0);
    EXPECT_EQ(rect, nullptr) << "the editor base hands out no rectangle";
    effect.setEditor(nullptr);
    EXPECT_FALSE(e->flags & effFlagsHasEditor);
    delete editor;
}

TEST(AudioEffect, HostWrappersWithoutCallbackAnswerDefaults) {
    PlainEffect effect(nullptr);
    EXPECT_EQ(effect.getMasterVersion(), 1);
    EXPECT_TRUE(effect.isInputConnected(0));
    EXPECT_TRUE(effect.isOutputConnected(0));
    EXPECT_FALSE(effect.beginEdit(1));
    EXPECT_EQ(effect.getTimeInfo(0), nullptr);
    char text[8] = "keep";
    EXPECT_FALSE(effect.getHostVendorString(text));
    EXPECT_STREQ(text, "keep") << "a host that does not answer leaves the buffer as it was";
    EXPECT_FALSE(effect.openFileSelector(nullptr));
    EXPECT_DOUBLE_EQ(effect.updateSampleRate(), 44100.0);
}

TEST(AudioEffect, HostWrappersSendTheirOpcodes) {
    Recorder rec;
    recorder = &rec;
    PlainEffect effect(recordingHost);
    rec.answer = 1;
    EXPECT_TRUE(effect.beginEdit(2));
    EXPECT_TRUE(effect.endEdit(2));
    EXPECT_TRUE(effect.sizeWindow(10, 20));
    EXPECT_FALSE(effect.isOutputConnected(1)) << "a host answer of 1 means not connected";
    rec.answer = 48000;
    EXPECT_DOUBLE_EQ(effect.updateSampleRate(), 48000.0);
    effect.setParameterAutomated(3, 0.25f);
    effect.wantEvents();
    recorder = nullptr;
    std::vector<VstInt32> expected = {audioMasterBeginEdit,       audioMasterEndEdit, audioMasterSizeWindow,
                                      audioMasterPinConnected,    audioMasterGetSampleRate,
                                      audioMasterAutomate,        audioMasterWantMidi};
    EXPECT_EQ(rec.opcodes, expected);
}

TEST(AudioEffect, SpeakerArrangementHelpers) {
    PlainEffect effect(nullptr);
    VstSpeakerArrangement* from = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&from, 12));
    EXPECT_EQ(from->numChannels, 12);
    from->type = 7;
    VstSpeakerProperties* speakers = from->speakers;  // room for 12 behind the record
    for (int i = 0; i < 12; i++) {
        std::memset(speakers[i].name, 'x', sizeof(speakers[i].name));  // unterminated
        speakers[i].type = i;
    }
    VstSpeakerArrangement* to = nullptr;
    ASSERT_TRUE(effect.matchArrangement(&to, from));
    EXPECT_EQ(to->numChannels, 12);
    EXPECT_EQ(to->type, 7);
    VstSpeakerProperties* copied = to->speakers;
    EXPECT_EQ(copied[11].type, 11);
    EXPECT_EQ(std::strlen(copied[11].name), 63u);
    EXPECT_FALSE(effect.matchArrangement(&to, nullptr));
    EXPECT_FALSE(effect.copySpeaker(nullptr, &from->speakers[0]));
    EXPECT_TRUE(effect.deallocateArrangement(&to));
    EXPECT_EQ(to, nullptr);
    EXPECT_TRUE(effect.deallocateArrangement(&from));
}

TEST(AudioEffect, ProgramNumbersAndCloseThroughTheStaticEntries) {
    PlainEffect* effect = new PlainEffect(nullptr);
    AEffect* e = effect->getAeffect();
    e->dispatcher(e, effSetProgram, 0, 2, nullptr, 0);
    EXPECT_EQ(e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0), 2);
    e->dispatcher(e, effSetProgram, 0, 3, nullptr, 0);
    e->dispatcher(e, effSetProgram, 0, -1, nullptr, 0);
    EXPECT_EQ(e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0), 2);
    e->dispatcher(e, effSetBlockSizeAndSampleRate, 0, 64, nullptr, 96000.f);
    EXPECT_EQ(effect->getBlockSize(), 64);
    EXPECT_FLOAT_EQ(effect->getSampleRate(), 96000.f);
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0), 1);
}

}  // namespace
