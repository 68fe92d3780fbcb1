// File > Save As Wav... and File > Play Settings... on the real main window:
// the commands as the menu sends them, the dialogs answered as a user would.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/play_settings_dialog.h"
#include "app/play_settings_dialog_res.h"
#include "tests/app/main_window_harness.h"
#include "tests/audio/scripted_wave_out.h"
#include "tests/support/dialog_watch.h"
#include "ui/l_db_edit.h"

namespace zelvaro::test {
namespace {

class MainWindowDialogsTest : public ::testing::Test {
protected:
    TempFolder folder;
    MainWindowHarness ui{folder};
};

// Set while the render moves the progress bar: the dialog's owner, whether
// the main window is enabled, and the icon the dialog shows with its size.
HWND g_progressOwner = nullptr;
bool g_mainEnabledDuringProgress = true;
HWND g_mainWindow = nullptr;
HICON g_progressIcon = nullptr;
SIZE g_progressIconSize = {};
LRESULT CALLBACK watchProgress(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    char name[32] = {};
    if (code == HC_ACTION && call->message == PBM_SETPOS && GetClassNameA(call->hwnd, name, sizeof name) &&
        lstrcmpiA(name, PROGRESS_CLASSA) == 0) {
        HWND dialog = GetParent(call->hwnd);
        g_progressOwner = GetWindow(dialog, GW_OWNER);
        g_mainEnabledDuringProgress = IsWindowEnabled(g_mainWindow) != FALSE;
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
            g_progressIcon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
            RECT r;
            GetClientRect(child, &r);
            g_progressIconSize = {r.right, r.bottom};
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Play on a device that takes only what each row says: the window opens it
// in the format asked for or the nearest it takes, and says so in the
// status bar and to the Play Settings dialog when that is another one.
TEST(MainWindowPlayFormat, TheStatusBarSaysWhenTheDeviceRefusedTheFormat) {
    struct Row {
        const char* name;
        const char* pure;  // "puresynthesis"
        std::vector<std::string> takes;
        const char* opened;  // formatKey of what the device was opened with
        const char* status;  // the status bar's text, "" for its own texts
        const char* note;
    } const rows[] = {
        {"taken as asked", "true", {}, "96000/24/ext", "", ""},
        {"refused", "true", {"48000/16/pcm", "44100/16/pcm"}, "48000/16/pcm", "Plays 48 kHz 16-bit (96 kHz 24-bit refused)",
         "The device refused 96,000 Hz 24-bit; it plays 48,000 Hz 16-bit."},
        {"the chain asks nothing", "false", {"44100/16/pcm"}, "44100/16/pcm", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedWaveOut device;
        device.takes = row.takes;
        TempFolder folder;
        MainWindowHarness ui{folder};
        ui.writeSetting("puresynthesis", row.pure);
        ui.writeSetting("samplerate", "96000");
        ui.writeSetting("sampleformat", "24");
        ASSERT_NE(ui.open(), nullptr);
        ui.main->player.useDevice(device);
        char before[128] = {};
        GetDlgItemTextA(ui.window, IDC_STATUS, before, sizeof before);
        ui.command(IDC_PLAY);
        ASSERT_TRUE(ui.main->player.isOpen());
        EXPECT_EQ(formatKey(device.extensibleFormat().Format), row.opened);
        char status[128] = {};
        GetDlgItemTextA(ui.window, IDC_STATUS, status, sizeof status);
        EXPECT_EQ(std::string(status), *row.status ? row.status : before);
        EXPECT_EQ(PlaybackFormatNote(), row.note);
        ui.command(IDC_STOP);
        EXPECT_FALSE(ui.main->player.isOpen());
    }
}

TEST_F(MainWindowDialogsTest, SaveAsWavCommandSavesTheWindowsToneBehindItsDialogs) {
    ASSERT_NE(ui.open(), nullptr);
    ToneSettings& tone = ui.main->tone;
    tone.flags = kFlagFixedDuration | kFlagSweep | kFlagStereo;
    tone.durationMs = 1500;
    tone.startLeft[0] = 200;
    tone.endLeft[0] = 2000;
    tone.startRight[0] = 300;
    tone.endRight[0] = 3000;
    const ToneSettings saved = tone;
    // A folder other than the current directory, where a dialog without a
    // folder to start in would open.
    const std::string wavFolder = folder.file("wavs");
    CreateDirectoryA(wavFolder.c_str(), nullptr);
    const std::string wav = wavFolder + "\\sweep.wav";

    g_mainWindow = ui.window;
    g_progressOwner = nullptr;
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, watchProgress, nullptr, GetCurrentThreadId());
    DialogWatch saveDialog("#32770", "Save As Wav File", 0, [&](HWND dialog) {
        HWND box = GetDlgItem(dialog, cmb13);
        if (!box) box = GetDlgItem(dialog, edt1);
        SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wav.c_str()));
        PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    ui.command(IDM_SAVE_AS_WAV);
    UnhookWindowsHookEx(hook);

    const SeenDialog& seen = saveDialog.wait();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.owner, ui.window);
    EXPECT_EQ(g_progressOwner, ui.window);
    EXPECT_FALSE(g_mainEnabledDuringProgress);
    EXPECT_NE(g_progressIcon, nullptr) << "the program's icon";
    EXPECT_GE(g_progressIconSize.cx, 20) << "20 x 20 dialog units";
    EXPECT_GE(g_progressIconSize.cy, 20);
    EXPECT_TRUE(IsWindowEnabled(ui.window));
    EXPECT_EQ(ui.setting("filedir"), wavFolder + "\\");
    EXPECT_EQ(toneBytes(ui.main->tone), toneBytes(saved)) << "the tone is not changed";

    // 66,150 frames of 16-bit stereo after the 46-byte header.
    const std::string bytes = readFile(wav);
    DeleteFileA(wav.c_str());
    ASSERT_EQ(bytes.size(), 46u + 66150u * 4u);
    EXPECT_EQ(bytes.compare(0, 4, "RIFF"), 0);
    EXPECT_EQ(static_cast<uint8_t>(bytes[22]), 2) << "channels";

    RemoveDirectoryA(wavFolder.c_str());

    // The tone files' dialogs open in "filedir" too. (A folder that no dialog
    // has shown yet: the dialogs also remember their last folder.)
    const std::string toneFolder = folder.file("tones");
    CreateDirectoryA(toneFolder.c_str(), nullptr);
    ui.writeSetting("filedir", (toneFolder + "\\").c_str());
    std::string openedIn;
    DialogWatch load("#32770", "Load Tone", IDCANCEL, [&](HWND dialog) {
        Sleep(100);
        char path[MAX_PATH] = {};
        SendMessageA(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(path));
        openedIn = path;
    });
    ui.command(IDM_LOAD_TONE);
    EXPECT_TRUE(load.wait().found);
    RemoveDirectoryA(toneFolder.c_str());
    EXPECT_EQ(openedIn, toneFolder);
}

TEST_F(MainWindowDialogsTest, SaveAsWavOfAContinuousToneShowsTheMessageOverTheWindow) {
    ASSERT_NE(ui.open(), nullptr);
    ui.main->tone.flags = 0;
    DialogWatch message("#32770", "No Duration Specified", IDOK);
    DialogWatch saveDialog("#32770", "Save As Wav File", IDCANCEL);
    ui.command(IDM_SAVE_AS_WAV);
    const SeenDialog& seen = message.wait();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.owner, ui.window);
    EXPECT_FALSE(saveDialog.wait().found);
}

// Types a volume into the dialog's control, ticks the box, presses `button`.
std::function<void(HWND)> answerPlaySettings(const char* volume, WORD button) {
    return [volume, button](HWND dialog) {
        HWND edit = GetDlgItem(GetDlgItem(dialog, IDC_PLAY_VOLUME), 100);
        SendMessageA(edit, EM_SETSEL, 0, -1);
        SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(volume));
        SendMessageA(GetDlgItem(dialog, IDC_AUTOPLAY), BM_CLICK, 0, 0);
        PostMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
    };
}

TEST_F(MainWindowDialogsTest, PlaySettingsOkWritesTheKeysAndRestartsAPlayingTone) {
    ASSERT_NE(ui.open(), nullptr);
    ui.writeSetting("playvolume", "0dB");
    StartCounter player(*ui.main);
    ui.command(IDC_PLAY);
    if (!ui.main->player.isOpen()) GTEST_SKIP() << "no sound device to play on";
    ui.pump(1000);
    EXPECT_EQ(player.starts, 1);

    DialogWatch dialog("#32770", "Play Settings", 0, answerPlaySettings("-20", IDOK));
    SetFocus(GetDlgItem(ui.window, IDC_PLAY));
    ui.command(IDM_PLAY_SETTINGS);
    ASSERT_TRUE(dialog.wait().found);
    EXPECT_EQ(dialog.wait().owner, ui.window);
    EXPECT_EQ(GetFocus(), ui.list()) << "the list has the keyboard again";
    ui.pump(200);
    EXPECT_EQ(ui.setting("playvolume"), "-20dB");
    EXPECT_EQ(ui.setting("autoplay"), "true");
    EXPECT_EQ(ui.setting("playdevice"), "0");
    EXPECT_TRUE(ui.main->player.isOpen());
    EXPECT_EQ(player.starts, 2) << "playback started again";
    ui.command(IDC_STOP);
}

TEST_F(MainWindowDialogsTest, PlaySettingsCancelWritesNothingAndLeavesPlaybackAlone) {
    ASSERT_NE(ui.open(), nullptr);
    ui.writeSetting("playvolume", "-6dB");
    const std::string before = readFile(folder.file("settings.ini"));
    StartCounter player(*ui.main);
    ui.command(IDC_PLAY);
    const bool playing = ui.main->player.isOpen();
    ui.pump(1000);
    DialogWatch dialog("#32770", "Play Settings", 0, answerPlaySettings("-30", IDCANCEL));
    ui.command(IDM_PLAY_SETTINGS);
    ASSERT_TRUE(dialog.wait().found);
    EXPECT_EQ(readFile(folder.file("settings.ini")), before);
    if (playing) {
        EXPECT_TRUE(ui.main->player.isOpen());
        EXPECT_EQ(player.starts, 1) << "not restarted";
    }
    ui.command(IDC_STOP);

    // Without a tone playing, OK starts nothing.
    DialogWatch ok("#32770", "Play Settings", 0, answerPlaySettings("-30", IDOK));
    ui.command(IDM_PLAY_SETTINGS);
    ASSERT_TRUE(ok.wait().found);
    EXPECT_EQ(ui.setting("playvolume"), "-30dB");
    EXPECT_FALSE(ui.main->player.isOpen());
}

}  // namespace
}  // namespace zelvaro::test
