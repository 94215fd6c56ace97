// End to end: the installed plug-in loaded by the engine facade, a note played as a MIDI
// device delivers it, rendered through DirectSound; wine's mix captured by an ALSA file
// device (float32 stereo at 48 kHz) holds the note at its pitch.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "application.h"
#include "signal_measure.h"
#include "standalone_fixture.h"

namespace {

TEST(Capture, APlayedNoteSoundsAtItsPitchThroughTheSoundCard) {
    const char* path = std::getenv("STANDALONE_CAPTURE");
    ASSERT_NE(path, nullptr);
    std::remove(path);  // what an earlier run captured
    StandaloneInstall setup(10, true, false);
    HWND frame = CreateWindowA("STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    Application* app = Application::instance();
    ASSERT_EQ(app->init(frame), 0);
    int slot = app->loadInstrument("Halvorn");
    ASSERT_EQ(slot, 0);
    app->setParameter(slot, 497, 1.f);  // vibrato off, to read the pitch
    app->setOctaveShift(slot, 1);       // played as 57 + 12: 440 Hz
    ASSERT_GE(app->getDriverCount(), 1);
    ASSERT_EQ(app->selectDriver(0), 0);

    MidiInDx keyboard(0, "Keyboard", app->getMidi());
    Sleep(100);
    MidiInDx::midiInProc(nullptr, MIM_DATA, (DWORD_PTR)&keyboard, 0x643990, 0);
    Sleep(700);
    MidiInDx::midiInProc(nullptr, MIM_DATA, (DWORD_PTR)&keyboard, 0x003980, 0);
    Sleep(100);
    app->shutdown();
    DestroyWindow(frame);

    // The capture is whole once wine's mixer has let go of the device.
    std::vector<float> left = readLeftChannel(path);
    ASSERT_GT(left.size(), 48000u / 2) << path;
    size_t first = 0;
    while (first < left.size() && left[first] == 0.f) first++;
    ASSERT_LT(first, left.size()) << "the capture is silent";
    const size_t from = first + 48000 / 5, length = 48000 / 5;
    ASSERT_GT(left.size(), from + length);
    EXPECT_GT(rms(left, from, length), 1e-3);
    EXPECT_NEAR(strongestPartial(left, from, length, 48000.0), 440.0, 2.0);
}

}  // namespace
