// End to end through the program: a document that turns the vibrato off and shifts the
// keyboard up an octave, opened by the program, a note played into its MIDI seam, heard
// through DirectSound in wine's captured mix at the pitch the document asks for.
#include <gtest/gtest.h>

#include <dsound.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "halvorn_document.h"
#include "program_run.h"
#include "signal_measure.h"
#include "standalone_fixture.h"

namespace {

TEST(ProgramSound, ANoteFromTheMidiSeamSoundsAsTheDocumentSetsIt) {
    const char* capture = std::getenv("STANDALONE_CAPTURE");
    ASSERT_NE(capture, nullptr);
    std::remove(capture);
    StandaloneInstall setup(10, true, false);

    // The stored audio settings: DirectSound on the first device.
    std::string device = firstSoundDevice();
    ASSERT_FALSE(device.empty());
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Vantrope\\Halvorn\\Settings", 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, nullptr),
              0);
    RegSetValueExA(key, "protocol", 0, REG_SZ, (const BYTE*)"Direct X", 9);
    RegSetValueExA(key, "driver", 0, REG_SZ, (const BYTE*)device.c_str(), (DWORD)device.size() + 1);
    RegCloseKey(key);

    TestHost host;
    ASSERT_TRUE(host.load(TestHost::pluginPath(10)));
    ASSERT_NE(host.create("main"), nullptr);
    host.effect()->setParameter(host.effect(), 497, 1.f);  // vibrato off, to read the pitch
    void* data = nullptr;
    VstIntPtr size = host.dispatch(effGetChunk, 0, 0, &data);
    HalvornDocument doc;
    doc.instrumentName = "Halvorn";
    doc.octaveShift = 1;  // 57 played as 69: 440 Hz
    doc.chunk.assign((uint8_t*)data, (uint8_t*)data + size);
    host.close();
    char temp[MAX_PATH] = {0};
    GetTempPathA(MAX_PATH, temp);
    std::string path = std::string(temp) + "halvorn-sound-" + std::to_string(GetCurrentProcessId()) + ".halvorn";
    {
        std::ofstream out(path, std::ios::binary);
        doc.write(out);
    }

    ProgramRun program;
    ASSERT_TRUE(program.start(path));
    HWND frame = program.waitFrame("Halvorn");
    ASSERT_NE(frame, nullptr);
    Sleep(300);
    ASSERT_TRUE(sendMidi(frame, {0x643990u}));
    Sleep(700);
    ASSERT_TRUE(sendMidi(frame, {0x003980u}));
    Sleep(100);
    ASSERT_TRUE(program.close(frame));
    EXPECT_EQ(program.waitExit(), 0u);
    DeleteFileA(path.c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Vantrope\\Halvorn");

    // The capture is whole once wine's mixer has let go of the device.
    Sleep(500);
    std::vector<float> left = readLeftChannel(capture);
    size_t first = 0;
    while (first < left.size() && left[first] == 0.f) first++;
    ASSERT_LT(first, left.size()) << "the capture is silent";
    const size_t from = first + 48000 / 5, length = 48000 / 5;
    ASSERT_GT(left.size(), from + length);
    EXPECT_GT(rms(left, from, length), 1e-3);
    EXPECT_NEAR(strongestPartial(left, from, length, 48000.0), 440.0, 2.0);
}

}  // namespace
