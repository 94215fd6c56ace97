// End to end through the program: a document that turns the vibrato off and shifts the
// keyboard up an octave, opened by the program, a note played into its MIDI seam, heard
// through DirectSound in wine's captured mix at the pitch the document asks for.
#include <gtest/gtest.h>

#include <dsound.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "program_run.h"
#include "program_sound.h"
#include "standalone_fixture.h"

namespace {

TEST(ProgramSound, ANoteFromTheMidiSeamSoundsAsTheDocumentSetsIt) {
    const char* capture = std::getenv("STANDALONE_CAPTURE");
    ASSERT_NE(capture, nullptr);
    std::remove(capture);
    StandaloneInstall setup(10, true, false);

    ASSERT_TRUE(storeDirectSoundSettings()) << "a DirectSound device";
    HalvornDocument doc = documentWithoutVibrato();
    ASSERT_FALSE(doc.chunk.empty());
    doc.octaveShift = 1;  // 57 played as 69: 440 Hz
    std::string path = writeTemporaryDocument(doc, "sound");

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
    HeardNote heard = firstNoteHeard(capture, 0.2);
    EXPECT_GT(heard.level, 1e-3) << "the capture holds the note";
    EXPECT_NEAR(heard.pitch, 440.0, 2.0);
}

}  // namespace
