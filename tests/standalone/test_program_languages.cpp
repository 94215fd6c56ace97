// The program in each of its languages: the toolbar, the preferences and the close prompt
// show the strings of the interface language the system gives it. The suite runs this once
// per language, with the locale of the whole run set (PROGRAM_LANGUAGE names it).
#include <gtest/gtest.h>

#include <cstdlib>

#include "program_run.h"
#include "standalone_fixture.h"

namespace {

struct Language {
    const char* locale;
    const char* octave;       // toolbar, string 120
    const char* dialogTitle;  // preferences, string 111
    const char* protocol;     // string 112
    const char* linear;       // knob mode 2, string 104
    const char* unsaved;      // string 131
};

const Language kLanguages[] = {
    {"en_US.UTF-8", "Octave: ", "Configuration", "Audio protocol:", "Linear",
     "This windows has some unsaved changes\nClose it anyway?"},
    {"fr_FR.UTF-8", "Octave: ", "Configuration", "Protocole audio :", "Linéaire",
     "Cette fenêtre a été modifiée.\nÊtes-vous sûr de vouloir la fermer ?"},
    {"ja_JP.UTF-8", "Octave: ", "初期設定", "プロトコル :", "直線モード",
     "設定を保存していません。ウインドウを閉じますか？"},
};

TEST(ProgramLanguages, TheProgramShowsTheStringsOfTheInterfaceLanguage) {
    const char* locale = std::getenv("PROGRAM_LANGUAGE");
    ASSERT_NE(locale, nullptr);
    StandaloneInstall setup(10, true, false);
    for (const Language& language : kLanguages) {
        if (std::string(language.locale) != locale) continue;
        ProgramRun program;
        ASSERT_TRUE(program.start());
        HWND frame = program.waitFrame("Halvorn");
        ASSERT_NE(frame, nullptr) << "exit code " << program.waitExit(0) << ", dialog: \""
                                  << program.waitDialog(1).text << "\"";
        HWND toolbar = FindWindowExA(frame, nullptr, "ToolbarWindow32", nullptr);
        ASSERT_NE(toolbar, nullptr);
        EXPECT_EQ(controlText(GetDlgItem(toolbar, 150)), language.octave);

        PostMessageA(frame, WM_COMMAND, 32004, 0);
        ProgramRun::Dialog dialog = program.waitDialog();
        ASSERT_NE(dialog.window, nullptr);
        EXPECT_EQ(controlText(dialog.window), language.dialogTitle);
        EXPECT_EQ(controlText(GetDlgItem(dialog.window, 129)), language.protocol);
        EXPECT_EQ(itemText(GetDlgItem(dialog.window, 138), 2), language.linear);
        PostMessageA(dialog.window, WM_COMMAND, IDOK, 0);
        for (int i = 0; i < 500 && IsWindow(dialog.window); i++) Sleep(10);
        ASSERT_FALSE(IsWindow(dialog.window));

        // A routing change, then the close prompt in the language.
        HWND channel = GetDlgItem(toolbar, 144);
        SendMessageA(channel, CB_SETCURSEL, 2, 0);
        SendMessageA(toolbar, WM_COMMAND, MAKEWPARAM(144, CBN_SELCHANGE), (LPARAM)channel);
        PostMessageA(frame, WM_CLOSE, 0, 0);
        ProgramRun::Dialog ask = program.waitDialog();
        ASSERT_NE(ask.window, nullptr);
        EXPECT_EQ(controlText(GetDlgItem(ask.window, 0xFFFF)), language.unsaved);
        PostMessageA(ask.window, WM_COMMAND, IDYES, 0);
        EXPECT_EQ(program.waitExit(60), 0u);
    }
}

}  // namespace
