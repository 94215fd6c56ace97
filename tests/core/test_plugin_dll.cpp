// The built plug-in library, loaded and driven like a host drives it.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "host/test_host.h"

namespace {

const int kOutputs = TEST_OUTPUTS;

// Names and addresses of the loaded module's exports, read from its export directory.
std::set<std::string> exportNames(HMODULE module, std::set<void*>* addresses) {
    std::set<std::string> names;
    BYTE* base = (BYTE*)module;
    IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (!dir.VirtualAddress) return names;
    IMAGE_EXPORT_DIRECTORY* exports = (IMAGE_EXPORT_DIRECTORY*)(base + dir.VirtualAddress);
    DWORD* nameRvas = (DWORD*)(base + exports->AddressOfNames);
    WORD* ordinals = (WORD*)(base + exports->AddressOfNameOrdinals);
    DWORD* functions = (DWORD*)(base + exports->AddressOfFunctions);
    for (DWORD i = 0; i < exports->NumberOfNames; i++) {
        names.insert((const char*)(base + nameRvas[i]));
        if (addresses) addresses->insert(base + functions[ordinals[i]]);
    }
    return names;
}

// The names the loaded module imports from one DLL, read from its import directory.
std::set<std::string> importNames(HMODULE module, const char* dll) {
    std::set<std::string> names;
    BYTE* base = (BYTE*)module;
    IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return names;
    for (IMAGE_IMPORT_DESCRIPTOR* d = (IMAGE_IMPORT_DESCRIPTOR*)(base + dir.VirtualAddress); d->Name; d++) {
        if (_stricmp((const char*)(base + d->Name), dll) != 0) continue;
        for (IMAGE_THUNK_DATA* t = (IMAGE_THUNK_DATA*)(base + d->OriginalFirstThunk); t->u1.AddressOfData; t++)
            if (!IMAGE_SNAP_BY_ORDINAL(t->u1.Ordinal))
                names.insert((const char*)((IMAGE_IMPORT_BY_NAME*)(base + t->u1.AddressOfData))->Name);
    }
    return names;
}

class PluginDll : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.load(TestHost::pluginPath(kOutputs))) << TestHost::pluginPath(kOutputs); }

    AEffect* createOrFail() {
        AEffect* effect = host.create();
        EXPECT_NE(effect, nullptr);
        return effect;
    }

    TestInstall install;
    TestHost host;
};

TEST_F(PluginDll, ExportsExactlyTheTwoEntryPointsAtOneAddress) {
    std::set<void*> addresses;
    std::set<std::string> names = exportNames(host.module(), &addresses);
    EXPECT_EQ(names, (std::set<std::string>{"VSTPluginMain", "main"}));
    EXPECT_EQ(addresses.size(), 1u);
    EXPECT_EQ((void*)host.entry("main"), (void*)host.entry("VSTPluginMain"));
}

// The voices call exp and pow every block: the C runtime's versions, not the x87 ones of the
// compiler's static library.
TEST_F(PluginDll, TakesExpAndPowFromTheCRuntime) {
    const std::set<std::string> names = importNames(host.module(), "msvcrt.dll");
    EXPECT_EQ(names.count("exp"), 1u);
    EXPECT_EQ(names.count("pow"), 1u);
}

// The voices move a few dozen bytes per slot and block: with our own copy, not the C
// runtime DLL's, which aligns byte by byte and is reached through the import table.
TEST_F(PluginDll, MovesMemoryWithItsOwnCopyNotTheCRuntimes) {
    const std::set<std::string> names = importNames(host.module(), "msvcrt.dll");
    EXPECT_EQ(names.count("memmove"), 0u);
    EXPECT_EQ(names.count("memcpy"), 0u);
    // The import table is read, not empty: other functions still come from the runtime.
    EXPECT_EQ(names.count("malloc"), 1u);
}

TEST_F(PluginDll, HostAnsweringVersionZeroGetsNullAndNothingIsConstructed) {
    host.answers.version = 0;
    EXPECT_EQ(host.create("VSTPluginMain"), nullptr);
    EXPECT_EQ(host.create("main"), nullptr);
    // Only the two version questions: no instance was built (it would ask for more).
    EXPECT_EQ(host.calls.size(), 2u);
    EXPECT_EQ(host.countCalls(audioMasterVersion), 2);
}

TEST_F(PluginDll, NullHostCallbackGivesNull) {
    typedef AEffect*(VSTCALLBACK * EntryProc)(audioMasterCallback);
    EntryProc main = (EntryProc)(void*)host.entry("main");
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main(nullptr), nullptr);
}

TEST_F(PluginDll, EffectRecordDescribesTheInstrument) {
    AEffect* effect = createOrFail();
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->magic, CCONST('V', 's', 't', 'P'));
    EXPECT_EQ(effect->numPrograms, 1);
    EXPECT_EQ(effect->numParams, 549);
    EXPECT_EQ(effect->numInputs, 0);
    EXPECT_EQ(effect->numOutputs, kOutputs);
    EXPECT_EQ(effect->uniqueID, kOutputs == 10 ? 0x0051524B : 0x0051524A);
    EXPECT_EQ(effect->version, 1);
    EXPECT_FLOAT_EQ(effect->ioRatio, 1.f);
    const VstInt32 expected = effFlagsIsSynth | effFlagsProgramChunks | effFlagsCanReplacing | effFlagsHasEditor;
    EXPECT_EQ(effect->flags, expected);
    EXPECT_NE(effect->dispatcher, nullptr);
    EXPECT_NE(effect->process, nullptr);
    EXPECT_NE(effect->processReplacing, nullptr);
    EXPECT_NE(effect->processDoubleReplacing, nullptr);
    EXPECT_NE(effect->setParameter, nullptr);
    EXPECT_NE(effect->getParameter, nullptr);
    // Both questions of the version: the entry point's and the factory's.
    EXPECT_GE(host.countCalls(audioMasterVersion), 2);
}

TEST_F(PluginDll, IdentityAnswers) {
    ASSERT_NE(createOrFail(), nullptr);
    EXPECT_EQ(host.text(effGetEffectName), "Halvorn");
    EXPECT_EQ(host.text(effGetVendorString), "Vantrope");
    EXPECT_EQ(host.text(effGetProductString), "Vexa X.O.");
    EXPECT_EQ(host.dispatch(effGetEffectName, 0, 0, nullptr), 0) << "no buffer, nothing written";
    EXPECT_EQ(host.dispatch(effGetVendorVersion), 1600);
    EXPECT_EQ(host.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(host.dispatch(effGetPlugCategory), 2);
    EXPECT_EQ(host.dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(host.dispatch(effGetVu), 16383);
    EXPECT_EQ(host.dispatch(effKeysRequired), 1);
    EXPECT_EQ(host.dispatch(effGetNumProgramCategories), 1);
    EXPECT_EQ(host.dispatch(effCanBeAutomated, 3), 1);
    EXPECT_EQ(host.dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(host.dispatch(effGetTailSize), 0);
    EXPECT_EQ(host.dispatch(effSetTotalSampleToProcess, 0, 777), 777);
}

TEST_F(PluginDll, CanDoAnswers) {
    ASSERT_NE(createOrFail(), nullptr);
    struct Case {
        const char* text;
        VstIntPtr answer;
    } cases[] = {
        {"receiveVstEvents", 1},  {"receiveVstMidiEvent", 1}, {"midiProgramNames", 1},
        {"sendVstMidiEvent", -1}, {"receiveVstTimeInfo", -1}, {"", -1},
        {"receiveVstEventsX", -1}, {"MidiProgramNames", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(host.dispatch(effCanDo, 0, 0, (void*)c.text), c.answer) << c.text;
    MidiProgramName name;
    std::memset(&name, 0x5A, sizeof(name));
    EXPECT_EQ(host.dispatch(effGetMidiProgramName, 0, 0, &name), -1);
    EXPECT_EQ((unsigned char)name.name[0], 0x5A) << "writes nothing";
}

TEST_F(PluginDll, OutputPins) {
    ASSERT_NE(createOrFail(), nullptr);
    auto pin = [&](int index, VstPinProperties* props) {
        std::memset(props, 0, sizeof(*props));
        return host.dispatch(effGetOutputProperties, index, 0, props);
    };
    VstPinProperties props;
    if (kOutputs == 10) {
        for (int index : {0, 1}) {
            ASSERT_EQ(pin(index, &props), 1);
            EXPECT_STREQ(props.label, "Halvorn Master");
            EXPECT_EQ(props.flags, 3);
        }
        for (int index = 2; index <= 9; index++) {
            ASSERT_EQ(pin(index, &props), 1);
            EXPECT_EQ(std::string(props.label), "Vexa V" + std::to_string(index - 1));
            EXPECT_EQ(props.flags, 1);
        }
        std::memset(&props, 0x33, sizeof(props));
        EXPECT_EQ(host.dispatch(effGetOutputProperties, 10, 0, &props), 0);
        EXPECT_EQ(props.label[0], 0x33) << "an index beyond the outputs writes nothing";
    } else {
        for (int index : {0, 1}) {
            ASSERT_EQ(pin(index, &props), 1);
            EXPECT_STREQ(props.label, "Halvorn");
            EXPECT_EQ(props.flags, 3);
        }
        EXPECT_EQ(pin(2, &props), 0);
        EXPECT_EQ(pin(5, &props), 0);
    }
    EXPECT_EQ(host.dispatch(effGetInputProperties, 0, 0, &props), 0);
}

TEST_F(PluginDll, DispatcherDefaultsAndBounds) {
    ASSERT_NE(createOrFail(), nullptr);
    EXPECT_EQ(host.dispatch(effConnectInput, 0, 1), 1);
    EXPECT_EQ(host.dispatch(effConnectOutput, 3, 0), 1);
    EXPECT_EQ(host.dispatch(80), 0);
    EXPECT_EQ(host.dispatch(1234), 0);
    EXPECT_EQ(host.dispatch(effEditDraw), 0);
    EXPECT_EQ(host.dispatch(effSetBlockSizeAndSampleRate, 0, 256, nullptr, 48000.f), 1);
    EXPECT_EQ(host.dispatch(effSetBypass, 0, 1), 0);
    EXPECT_EQ(host.dispatch(effGetProgram), 0);
    host.dispatch(effSetProgram, 0, 1);
    host.dispatch(effSetProgram, 0, -3);
    EXPECT_EQ(host.dispatch(effGetProgram), 0) << "program numbers outside 0..0 are refused";
    char name[64];
    EXPECT_EQ(host.dispatch(effGetProgramNameIndexed, -1, 0, name), 0);
    EXPECT_EQ(host.dispatch(effCopyProgram, -1), 0);
    VstSpeakerArrangement* in = (VstSpeakerArrangement*)1;
    VstSpeakerArrangement* out = (VstSpeakerArrangement*)1;
    EXPECT_EQ(host.dispatch(effGetSpeakerArrangement, 0, (VstIntPtr)&in, &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
    // Parameter entries with a hostile index neither crash nor answer garbage.
    AEffect* fx = host.effect();
    fx->setParameter(fx, -5, 0.5f);
    EXPECT_EQ(fx->getParameter(fx, -5), 0.f);
}

TEST_F(PluginDll, MainsOnAsksForMidi) {
    ASSERT_NE(createOrFail(), nullptr);
    host.calls.clear();
    host.dispatch(effMainsChanged, 0, 1);
    ASSERT_EQ(host.countCalls(audioMasterWantMidi), 1);
    EXPECT_EQ(host.calls.back().value, 1);
    host.dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(host.countCalls(audioMasterWantMidi), 1);
}

TEST_F(PluginDll, EditorRectangle) {
    ASSERT_NE(createOrFail(), nullptr);
    ERect* rect = nullptr;
    EXPECT_EQ(host.dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 620);
    EXPECT_EQ(rect->right, 1008);
}

TEST_F(PluginDll, ProcessReplacingWritesSilenceIntoEveryOutput) {
    AEffect* fx = createOrFail();
    ASSERT_NE(fx, nullptr);
    std::vector<std::vector<float>> outputs((size_t)kOutputs, std::vector<float>(300, 7.f));
    host.render(outputs, 300, true);
    for (const auto& channel : outputs)
        for (float sample : channel) ASSERT_EQ(sample, 0.f);
}

TEST_F(PluginDll, CloseDeletesTheInstanceAndAnswersOne) {
    ASSERT_NE(createOrFail(), nullptr);
    EXPECT_EQ(host.close(), 1);
    // A later instance is constructed afresh, as is a second one beside it.
    AEffect* first = host.create();
    ASSERT_NE(first, nullptr);
    TestHost second;
    ASSERT_TRUE(second.load(TestHost::pluginPath(kOutputs)));
    AEffect* other = second.create();
    ASSERT_NE(other, nullptr);
    EXPECT_NE(first, other);
    EXPECT_EQ(second.close(), 1);
    EXPECT_EQ(host.close(), 1);
}

// Each file that construction needs, missing, makes the entry point answer null.
TEST_F(PluginDll, ConstructionFailsWithoutItsFiles) {
    struct Case {
        const char* file;
    } cases[] = {{"save\\controlMidi"}, {"save\\P0\\B0\\I0\\Parametres"}};
    for (const Case& c : cases) {
        TestInstall broken;
        ASSERT_TRUE(broken.removeFile(c.file)) << c.file;
        EXPECT_EQ(host.create(), nullptr) << c.file;
    }
    TestInstall::setRegisteredDir("");
    EXPECT_EQ(host.create(), nullptr) << "no installation directory";
    TestInstall::setRegisteredDir(install.dir());
    EXPECT_NE(host.create(), nullptr) << "a failure concerns only the instance being constructed";
}

}  // namespace
