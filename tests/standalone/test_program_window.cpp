// The program's instrument frame on a real X server: what it shows in each interface language
// against stored pictures, and what a user's keys, wheel and the program's idle bring to the
// instrument in its frame. The suite runs it once per language (PROGRAM_LANGUAGE names it).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>

#include "editor/editor_window.h"
#include "halvorn_document.h"
#include "program_run.h"
#include "program_sound.h"
#include "standalone_fixture.h"

namespace {

void clearSettings() { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Vantrope\\Halvorn"); }

// "en", "fr" or "ja" from the run's locale.
std::string languageCode() {
    const char* locale = std::getenv("PROGRAM_LANGUAGE");
    return locale && std::strlen(locale) >= 2 ? std::string(locale, 2) : std::string();
}

// ---------------------------------------------------------------- the hand

const int kStepMs = kHandStepMs;

// The editor tests' hand, as these gestures use it.
namespace hand {
void moveTo(int screenX, int screenY) { ::moveTo(POINT{screenX, screenY}); }
void button(bool down) { sendMouse(down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP); }
void click(int screenX, int screenY) {
    moveTo(screenX, screenY);
    button(true);
    button(false);
}
void key(WORD vk, bool down) { sendKey(vk, down); }
void press(WORD vk) {
    key(vk, true);
    key(vk, false);
}
}  // namespace hand

// A turn of the wheel where the hand is, in steps of WHEEL_DELTA.
void turnWheel(int delta) { sendMouse(MOUSEEVENTF_WHEEL, (DWORD)delta); }

// Waits until the condition holds, for the given time at most.
template <typename Condition>
bool waitFor(Condition condition, int seconds = 20) {
    for (int i = 0; i < seconds * 50; i++) {
        if (condition()) return true;
        Sleep(20);
    }
    return condition();
}

// ---------------------------------------------------------------- the pictures

const double kChangedPixelsAllowed = 8;

// The frame of a start without arguments, with its menu, toolbar and the editor, against
// the language's stored picture. HALVORN_UPDATE_REFERENCE=1 stores the picture instead.
TEST(ProgramWindow, TheFrameShowsWhatIsStoredForTheLanguage) {
    std::string language = languageCode();
    ASSERT_FALSE(language.empty()) << "PROGRAM_LANGUAGE names the run's locale";
    const std::string reference = std::string(HALVORN_STANDALONE_REFERENCE_DIR) + "/frame_" + language + ".bmp";
    const char* update = std::getenv("HALVORN_UPDATE_REFERENCE");
    const bool updating = update && *update == '1';
    Picture stored;
    if (!updating) {
        ASSERT_TRUE(readBmp(reference, stored)) << reference;
    }

    clearSettings();
    StandaloneInstall setup(10, true, false);
    ProgramRun program;
    ASSERT_TRUE(program.start());
    HWND frame = program.waitFrame("Halvorn");
    ASSERT_NE(frame, nullptr) << "exit code " << program.waitExit(0) << ", dialog: \"" << program.waitDialog(1).text
                              << "\"";
    RECT outer;
    GetWindowRect(frame, &outer);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    // A loaded machine may show the frame a while after it painted: look again until the
    // screen holds it, for twenty seconds at most.
    Picture shown;
    for (int look = 0; look < 100; look++) {
        Sleep(200);
        GetWindowRect(frame, &outer);
        shown = captureScreen(outer.left, outer.top, width, height);
        if (shown.distinctColours(64) > 16 &&
            (updating || mismatchedShare(shown, stored, 8) * width * height < kChangedPixelsAllowed))
            break;
    }
    EXPECT_TRUE(program.close(frame));
    EXPECT_EQ(program.waitExit(), 0u);
    clearSettings();

    EXPECT_GT(shown.distinctColours(64), 16) << "the frame shows the editor's artwork, not a plain fill";
    if (updating) {
        ASSERT_TRUE(writeBmp(reference, shown));
        return;
    }
    EXPECT_EQ(shown.width, stored.width);
    EXPECT_EQ(shown.height, stored.height);
    // A little room for the X server's colour rounding, and none for a changed text: a
    // letter of the menu's or the toolbar's font is some 20 pixels.
    const double pixels = (double)stored.width * stored.height;
    EXPECT_LT(mismatchedShare(shown, stored, 8) * pixels, kChangedPixelsAllowed);
    if (HasFailure()) writeBmp(reference + ".actual.bmp", shown);
}

// ---------------------------------------------------------------- keys, wheel and idle

struct ExpectedCall {
    const char* what;
    VstInt32 opcode;
    VstInt32 index;
    VstInt64 value;
    float opt;
};

// The instrument "Probe" opened from a document: the frame is made the active window by a
// click on its caption, then keys, the wheel and an accelerator are played as a user plays
// them; the instrument's own request for another editor size resizes the frame.
TEST(ProgramWindow, KeysTheWheelAndIdleReachTheInstrumentAndItsSizeRequestTheFrame) {
    if (languageCode() != "en") GTEST_SKIP() << "input is played in the English run";
    SharedProbeRecord shared;
    ASSERT_NE(shared.record, nullptr);
    clearSettings();
    StandaloneInstall setup(10, false, true);

    HalvornDocument doc;
    doc.instrumentName = "Probe";
    std::string path = writeTemporaryDocument(doc, "keys");

    ProgramRun program;
    ASSERT_TRUE(program.start(path));
    HWND frame = program.waitFrame("Probe");
    ASSERT_NE(frame, nullptr) << "exit code " << program.waitExit(0) << ", dialog: \"" << program.waitDialog(1).text
                              << "\"";
    volatile ProbeRecord* record = shared.record;
    ASSERT_TRUE(waitFor([&] { return record->editorWindow != nullptr; })) << "the editor was opened";

    // The program's idle reaches the instrument's editor again and again.
    int idleBefore = record->idleCalls;
    EXPECT_TRUE(waitFor([&] { return record->idleCalls >= idleBefore + 5; })) << record->idleCalls << " idle calls";

    RECT outer;
    GetWindowRect(frame, &outer);
    POINT caption = {(outer.left + outer.right) / 2, outer.top + GetSystemMetrics(SM_CYCAPTION) / 2 + 2};
    hand::click(caption.x, caption.y);
    ASSERT_TRUE(waitFor([&] { return GetForegroundWindow() == frame; }, 10)) << "the frame is the active window";
    ASSERT_EQ(record->editorCallCount, 0);

    hand::press('A');
    hand::press(VK_F5);
    hand::key(VK_SHIFT, true);
    hand::press('B');
    hand::key(VK_SHIFT, false);
    turnWheel(-WHEEL_DELTA);
    turnWheel(2 * WHEEL_DELTA);

    const VstInt32 wheel = 0x73744341;   // 'stCA'
    const VstInt64 whee = 0x57686565;    // 'Whee'
    const ExpectedCall expected[] = {
        {"A down: a lower-case letter", effEditKeyDown, 'a', 0, 0.f},
        {"A up: the virtual key", effEditKeyUp, 'A', 0, 0.f},
        {"F5 down", effEditKeyDown, 0, 44, 0.f},
        {"F5 up", effEditKeyUp, 0, 44, 0.f},
        {"shift down, itself held", effEditKeyDown, 0, 54, 1.f},
        {"B down with shift", effEditKeyDown, 'b', 0, 1.f},
        {"B up", effEditKeyUp, 'B', 0, 0.f},
        {"shift up", effEditKeyUp, 0, 54, 0.f},
        {"a step toward the user", effVendorSpecific, wheel, whee, -1.f},
        {"two steps away", effVendorSpecific, wheel, whee, 2.f},
    };
    const int count = (int)(sizeof expected / sizeof expected[0]);
    waitFor([&] { return record->editorCallCount >= count; }, 10);
    Sleep(kStepMs);
    ASSERT_EQ(record->editorCallCount, count);
    for (int i = 0; i < count; i++) {
        SCOPED_TRACE(expected[i].what);
        const volatile ProbeEditorCall& call = record->editorCalls[i];
        EXPECT_EQ(call.opcode, expected[i].opcode);
        EXPECT_EQ(call.index, expected[i].index);
        EXPECT_EQ(call.value, expected[i].value);
        EXPECT_EQ(call.opt, expected[i].opt);
    }


    // Ctrl+P is the frame's accelerator for the preferences: the control key reaches the
    // instrument with its modifier, the P opens the dialog.
    hand::key(VK_CONTROL, true);
    hand::press('P');
    hand::key(VK_CONTROL, false);
    ProgramRun::Dialog preferences = program.waitDialog(10);
    ASSERT_NE(preferences.window, nullptr) << "the preferences were opened";
    ASSERT_GT(record->editorCallCount, count);
    const volatile ProbeEditorCall& control = record->editorCalls[count];
    EXPECT_EQ(control.opcode, effEditKeyDown);
    EXPECT_EQ(control.value, 55);
    EXPECT_EQ(control.opt, 8.f);
    PostMessageA(preferences.window, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(preferences.window); }, 10));

    // The instrument asks for a new editor size (from its idle): the frame follows it.
    record->sizeRequestWidth = 320;
    record->sizeRequestHeight = 150;
    HWND view = GetDlgItem(frame, 0x7A1);
    // The view first, then the frame around it: both are waited for.
    RECT shown = {}, client = {};
    EXPECT_TRUE(waitFor([&] {
        GetWindowRect(view, &shown);
        GetClientRect(frame, &client);
        return shown.right - shown.left == 320 && shown.bottom - shown.top == 150 && client.right == 320;
    })) << "view " << shown.right - shown.left << " x " << shown.bottom - shown.top << ", frame's client "
        << client.right << " wide";

    EXPECT_TRUE(program.close(frame));
    EXPECT_EQ(program.waitExit(), 0u);
    DeleteFileA(path.c_str());
    clearSettings();
}

// ---------------------------------------------------------------- the on-screen keyboard

// The face's keyboard: its top left corner in the editor, the keys 20 pixels wide from C2
// (note 36), the black keys over the upper part.
const POINT kKeyboardOnFace = {251, 470};
const int kWhiteKeyWidth = 20;

// A note played with the mouse on the editor's keyboard, in the program with DirectSound on
// wine's captured device, heard at its pitch (the vibrato off, through the document).
TEST(ProgramWindow, ANoteFromTheOnScreenKeyboardSoundsThroughDirectSound) {
    const char* capture = std::getenv("STANDALONE_CAPTURE");
    if (!capture) GTEST_SKIP() << "played in the run with the captured sound device";
    std::remove(capture);
    clearSettings();
    StandaloneInstall setup(10, true, false);
    ASSERT_TRUE(storeDirectSoundSettings()) << "a DirectSound device";
    HalvornDocument doc = documentWithoutVibrato();
    ASSERT_FALSE(doc.chunk.empty());
    std::string path = writeTemporaryDocument(doc, "keyboard");

    ProgramRun program;
    ASSERT_TRUE(program.start(path));
    HWND frame = program.waitFrame("Halvorn");
    ASSERT_NE(frame, nullptr);
    Sleep(500);
    // A4 (note 69): the sixth white key of the third octave, low on the key, below the black keys.
    POINT a4 = {kKeyboardOnFace.x + 2 * 7 * kWhiteKeyWidth + 5 * kWhiteKeyWidth + kWhiteKeyWidth / 2,
                kKeyboardOnFace.y + 110};
    ClientToScreen(GetDlgItem(frame, 0x7A1), &a4);
    hand::moveTo(a4.x, a4.y);
    hand::button(true);
    Sleep(700);
    hand::button(false);
    EXPECT_TRUE(program.close(frame));
    EXPECT_EQ(program.waitExit(), 0u);
    DeleteFileA(path.c_str());
    clearSettings();

    // The capture is whole once wine's mixer has let go of the device.
    Sleep(500);
    HeardNote heard = firstNoteHeard(capture, 0.1);
    EXPECT_GT(heard.level, 1e-3) << "the capture holds the note";
    EXPECT_NEAR(heard.pitch, 440.0, 2.0);
}

}  // namespace
