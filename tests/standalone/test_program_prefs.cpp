// The program's preferences driven as a user drives them, in the program's own process:
// protocol, driver, sample rate and latency switched, kept over a restart; "Asio" offered
// with the test driver, whose control panel takes the latency's place.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "fake_asio/fake_asio_client.h"
#include "program_run.h"
#include "standalone_fixture.h"

namespace {

const char kSettingsKey[] = "Software\\Vantrope\\Halvorn\\Settings";

// Chooses an entry as the user does: the selection, then the list's notification.
void choose(HWND dialog, int id, int index) {
    HWND combo = GetDlgItem(dialog, id);
    SendMessageA(combo, CB_SETCURSEL, (WPARAM)index, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)combo);
}

std::string settingText(const char* name) {
    char text[256] = {0};
    DWORD size = sizeof(text) - 1;
    RegGetValueA(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_SZ, nullptr, text, &size);
    return text;
}

int settingInt(const char* name) {
    DWORD value = 0xDEAD, size = sizeof(value);
    RegGetValueA(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return (int)value;
}

class ProgramPreferences : public testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Vantrope\\Halvorn");
        ASSERT_TRUE(fake.ready());
        FakeAsio::clearDrivers();
        ASSERT_TRUE(fake.registerClass());
        ASSERT_TRUE(FakeAsio::addDriver("Test Driver", "Test Driver"));
    }
    void TearDown() override {
        FakeAsio::clearDrivers();
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Vantrope\\Halvorn");
    }

    // Opens the preferences of the program's frame.
    HWND openPreferences(ProgramRun& program, HWND frame) {
        PostMessageA(frame, WM_COMMAND, 32004, 0);
        ProgramRun::Dialog dialog = program.waitDialog();
        EXPECT_EQ(dialog.title, "Configuration");
        return dialog.window;
    }

    StandaloneInstall setup{10, true, false};
    FakeAsio fake;
};

TEST_F(ProgramPreferences, DriverRateAndLatencySurviveARestart) {
    std::string device;
    int latency = 0;
    {
        ProgramRun program;
        ASSERT_TRUE(program.start());
        HWND frame = program.waitFrame("Halvorn");
        ASSERT_NE(frame, nullptr);
        HWND dialog = openPreferences(program, frame);
        ASSERT_NE(dialog, nullptr);
        HWND protocols = GetDlgItem(dialog, 135), drivers = GetDlgItem(dialog, 136);
        ASSERT_EQ(SendMessageA(protocols, CB_GETCOUNT, 0, 0), 2);
        EXPECT_EQ(itemText(protocols, 0), "Direct X");
        EXPECT_EQ(itemText(protocols, 1), "Asio");
        EXPECT_EQ(SendMessageA(protocols, CB_GETCURSEL, 0, 0), 0);
        // Nothing stored: no driver.
        EXPECT_EQ(itemText(drivers, 0), "none");
        EXPECT_EQ(SendMessageA(drivers, CB_GETCURSEL, 0, 0), 0);
        ASSERT_GE(SendMessageA(drivers, CB_GETCOUNT, 0, 0), 2);
        EXPECT_EQ(controlText(GetDlgItem(dialog, 129)), "Audio protocol:");
        EXPECT_EQ(controlText(GetDlgItem(dialog, 134)), "Knob control type: ");

        choose(dialog, 136, 1);
        device = itemText(drivers, 1);
        // DirectSound plays at 44100 Hz only; its latency runs from 220 to 4400 frames.
        HWND rates = GetDlgItem(dialog, 137);
        ASSERT_EQ(SendMessageA(rates, CB_GETCOUNT, 0, 0), 1);
        EXPECT_EQ(itemText(rates, 0), "44100");
        choose(dialog, 137, 0);
        HWND slider = GetDlgItem(dialog, 139);
        EXPECT_TRUE(IsWindowVisible(slider));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 140)));
        EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMIN, 0, 0), 220);
        EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0), 4400);
        EXPECT_EQ(SendMessageA(slider, TBM_GETPOS, 0, 0), 4400);
        EXPECT_EQ(controlText(GetDlgItem(dialog, 133)), "Audio latency: 99 ms");

        // A click on the channel's left end, far from the thumb at the right, and its
        // release: the thumb steps a page down. (Rectangles cannot be asked across
        // processes: the client area places the click.)
        RECT client;
        GetClientRect(slider, &client);
        const LPARAM left = MAKELPARAM(client.left + 12, (client.top + client.bottom) / 2);
        SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, left);
        SendMessageA(slider, WM_LBUTTONUP, 0, left);
        latency = (int)SendMessageA(slider, TBM_GETPOS, 0, 0);
        ASSERT_LT(latency, 4400);
        char expected[64];
        std::snprintf(expected, sizeof(expected), "Audio latency: %d ms", latency * 1000 / 44100);
        EXPECT_EQ(controlText(GetDlgItem(dialog, 133)), expected);

        choose(dialog, 138, 2);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(program.close(frame));
        EXPECT_EQ(program.waitExit(), 0u);
    }
    EXPECT_EQ(settingText("protocol"), "Direct X");
    EXPECT_EQ(settingText("driver"), device);
    EXPECT_EQ(settingInt("srate"), 44100);
    EXPECT_EQ(settingInt("latency"), latency);
    EXPECT_EQ(settingInt("knobmode"), 2);

    ProgramRun again;
    ASSERT_TRUE(again.start());
    HWND frame = again.waitFrame("Halvorn");
    ASSERT_NE(frame, nullptr);
    HWND dialog = openPreferences(again, frame);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, 136), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, 137), CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, 139), TBM_GETPOS, 0, 0), latency);
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, 138), CB_GETCURSEL, 0, 0), 2);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(again.close(frame));
}

TEST_F(ProgramPreferences, AsioListsTheTestDriverWithItsControlPanel) {
    ProgramRun program;
    ASSERT_TRUE(program.start());
    HWND frame = program.waitFrame("Halvorn");
    ASSERT_NE(frame, nullptr);
    HWND dialog = openPreferences(program, frame);
    ASSERT_NE(dialog, nullptr);
    choose(dialog, 135, 1);
    HWND drivers = GetDlgItem(dialog, 136);
    ASSERT_EQ(SendMessageA(drivers, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(itemText(drivers, 0), "none");
    EXPECT_EQ(itemText(drivers, 1), "Asio Test Driver");
    choose(dialog, 136, 1);
    EXPECT_EQ(SendMessageA(drivers, CB_GETCURSEL, 0, 0), 1);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, 140)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 139)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 133)));
    EXPECT_EQ(controlText(GetDlgItem(dialog, 140)), "Control Panel");
    // The test driver's own rate is offered.
    EXPECT_GE(SendMessageA(GetDlgItem(dialog, 137), CB_GETCOUNT, 0, 0), 1);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(program.close(frame));
    EXPECT_EQ(program.waitExit(), 0u);
    EXPECT_EQ(settingText("protocol"), "Asio");
    EXPECT_EQ(settingText("driver"), "Asio Test Driver");
}

}  // namespace
