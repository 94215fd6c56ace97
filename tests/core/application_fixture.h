// What the tests of the parameter application share: the test program's editor, the log of
// the commands that reach the engine, expected fields, and a fixture with a fresh instance.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/halvorn.h"
#include "editor/halvorn_edit.h"
#include "host/test_host.h"

// The test program's own editor: it keeps what the instrument shows it.
class RecordingEditor : public HalvornEdit {
public:
    explicit RecordingEditor(Halvorn* effect) : HalvornEdit(effect) {}
    void setParameter(int index, float value) override { shown.push_back({index, value}); }
    std::vector<std::pair<int, float>> shown;
};

// Reads the object's state that no public operation shows.
class HalvornTestAccess {
public:
    static const PartSignalPath& signalPath(const Halvorn& h, int part) { return h.signalPath[part]; }
    static int midiMapModified(const Halvorn& h) { return h.midiMapModified; }
    static int programChangePending(const Halvorn& h) { return h.programChangePending; }
    static void setProgramChangePending(Halvorn& h, int pending) { h.programChangePending = pending; }
    static void setCounts(Halvorn& h, int banks, int subBanks, int presets) {
        h.bankCount = banks;
        h.subBankCount = subBanks;
        h.presetCount = presets;
    }
    static void browserIndices(const Halvorn& h, int* bank, int* subBank, int* preset) {
        *bank = h.bankIndex;
        *subBank = h.subBankIndex;
        *preset = h.presetIndex;
    }
    static void counts(const Halvorn& h, int* banks, int* subBanks, int* presets) {
        *banks = h.bankCount;
        *subBanks = h.subBankCount;
        *presets = h.presetCount;
    }
};

namespace application_test {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInfinity = std::numeric_limits<float>::infinity();

struct Sent {
    int code;
    EngineCommand command;
};

class CommandLog : public EngineCommandObserver {
public:
    void commandSent(const EngineCommand& command, int code) override { sent.push_back({code, command}); }
    void engineReset() override { resets++; }
    void clear() {
        sent.clear();
        resets = 0;
    }
    std::vector<Sent> sent;
    int resets = 0;
};

inline std::vector<std::pair<int, float>> automated;

inline VstIntPtr VSTCALLBACK automationHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterAutomate) automated.push_back({index, opt});
    return 0;
}

// One expected field of a command: a float, an int or an envelope entry.
struct Field {
    const char* name;
    float EngineCommand::*real;
    int32_t EngineCommand::*whole;
    int entry;
    double value;
};
#define REAL(f, v) Field{#f, &EngineCommand::f, nullptr, -1, (double)(v)}
#define WHOLE(f, v) Field{#f, nullptr, &EngineCommand::f, -1, (double)(v)}
#define ENVELOPE(n, v) Field{"envelope[" #n "]", nullptr, nullptr, n, (double)(v)}

struct Expected {
    int code;
    std::vector<Field> fields;
};

inline void expectFields(const EngineCommand& command, const std::vector<Field>& fields, const std::string& where) {
    for (const Field& field : fields) {
        if (field.whole) {
            EXPECT_EQ(command.*field.whole, (int32_t)field.value) << where << " " << field.name;
        } else {
            const float actual = field.entry >= 0 ? command.envelope[field.entry] : command.*field.real;
            EXPECT_NEAR(actual, field.value, 1e-6 * std::fabs(field.value) + 1e-7) << where << " " << field.name;
        }
    }
}

// The commands in the log against the expected ones, in order and complete.
inline void expectCommands(const std::vector<Sent>& sent, const std::vector<Expected>& expected) {
    ASSERT_EQ(sent.size(), expected.size());
    for (size_t n = 0; n < expected.size(); n++) {
        const std::string where = "command " + std::to_string(n);
        EXPECT_EQ(sent[n].code, expected[n].code) << where;
        expectFields(sent[n].command, expected[n].fields, where);
    }
}

// Indices relative to a patch: host locals as they are, internal locals from 1000 up.
inline int indexIn(int patch, int relative) {
    return relative < 1000 ? 62 * patch + relative : 1000 + 44 * patch + (relative - 1000);
}
inline int internal(int local) { return 1000 + local; }

class Application : public ::testing::Test {
protected:
    void SetUp() override { create(); }
    void TearDown() override { automated.clear(); }

    void create() {
        synth.reset();
        synth.reset(new Halvorn(automationHost));
        ASSERT_FALSE(synth->creationFailed());
        synth->setCommandObserver(&log);
        log.clear();
    }
    RecordingEditor& editor() { return *static_cast<RecordingEditor*>(synth->getEditor()); }
    std::vector<unsigned char> chunk() {
        void* data = nullptr;
        synth->getChunk(&data, false);
        return std::vector<unsigned char>((unsigned char*)data, (unsigned char*)data + 5392);
    }
    std::vector<int> partsOf(int code) const {
        std::vector<int> parts;
        for (const Sent& sent : log.sent)
            if (sent.code == code) parts.push_back(sent.command.part);
        return parts;
    }

    TestInstall install;
    CommandLog log;
    std::unique_ptr<Halvorn> synth;
};

}  // namespace application_test
