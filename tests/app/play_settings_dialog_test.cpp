// The Play Settings dialog driven as a user drives it: a helper thread
// changes its controls and presses its buttons while the dialog runs
// modally, and the settings file is read back.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/play_settings_dialog.h"
#include "app/play_settings_dialog_res.h"
#include "app/program_folder.h"
#include "tests/app/app_dialogs_test_support.h"
#include "tests/support/dialog_watch.h"
#include "ui/l_db_edit.h"

namespace zelvaro {
namespace {

using test::DialogWatch;
using test::ScratchFolder;

// What the dialog shows when it opens.
struct Shown {
    int device = -2, deviceCount = -2, volume = 999;
    std::string volumeText;
    bool autoplay = false;
    bool pure = false;
};

Shown readControls(HWND dialog) {
    Shown s;
    s.device = static_cast<int>(SendDlgItemMessageA(dialog, IDC_PLAY_DEVICE, CB_GETCURSEL, 0, 0));
    s.deviceCount = static_cast<int>(SendDlgItemMessageA(dialog, IDC_PLAY_DEVICE, CB_GETCOUNT, 0, 0));
    s.volume = static_cast<signed char>(SendDlgItemMessageA(dialog, IDC_PLAY_VOLUME, LDBM_GETVALUE, 0, 0) & 0xFF);
    char text[16] = {};
    GetWindowTextA(GetDlgItem(GetDlgItem(dialog, IDC_PLAY_VOLUME), 100), text, sizeof text);
    s.volumeText = text;
    s.autoplay = IsDlgButtonChecked(dialog, IDC_AUTOPLAY) == BST_CHECKED;
    s.pure = IsDlgButtonChecked(dialog, IDC_PURE_SYNTHESIS) == BST_CHECKED;
    return s;
}

// A user's actions on the open dialog.
void typeVolume(HWND dialog, const char* text) {
    HWND edit = GetDlgItem(GetDlgItem(dialog, IDC_PLAY_VOLUME), 100);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
}
void clickVolumeBar(HWND dialog, int x) {
    HWND bar = GetDlgItem(dialog, IDC_PLAY_VOLUME);
    SendMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 4));
    SendMessageA(bar, WM_LBUTTONUP, 0, MAKELPARAM(x, 4));
}
void clickAutoplay(HWND dialog) { SendMessageA(GetDlgItem(dialog, IDC_AUTOPLAY), BM_CLICK, 0, 0); }
void clickPure(HWND dialog) { SendMessageA(GetDlgItem(dialog, IDC_PURE_SYNTHESIS), BM_CLICK, 0, 0); }
void chooseLastDevice(HWND dialog) {
    const LRESULT count = SendDlgItemMessageA(dialog, IDC_PLAY_DEVICE, CB_GETCOUNT, 0, 0);
    SendDlgItemMessageA(dialog, IDC_PLAY_DEVICE, CB_SETCURSEL, static_cast<WPARAM>(count - 1), 0);
}

// Runs the dialog; `act` runs on the open dialog, then `button` is pressed.
bool runDialog(HWND owner, std::function<void(HWND)> act, WORD button, Shown* shown = nullptr) {
    DialogWatch watch("#32770", "Play Settings", 0, [&](HWND dialog) {
        if (shown) *shown = readControls(dialog);
        if (act) act(dialog);
        PostMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
    });
    const bool ok = ShowPlaySettings(owner);
    EXPECT_TRUE(watch.wait().found);
    return ok;
}

void writeSettings(const char* text) {
    HANDLE file = CreateFileA(settingsPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
}

TEST(PlaySettingsDialog, ShowsTheStoredValuesAndOkWritesTheControls) {
    struct Case {
        const char* name;
        const char* stored;  // settings.ini before, null for none
        int device, volume;  // shown; device -1 is no selection
        const char* volumeText;
        bool autoplay, pure;
        std::function<void(HWND)> act;
        const char* playdevice;  // written; "last" is the last device's index
        const char* playvolume;
        const char* autoplayText;
        const char* pureText;  // "puresynthesis"
    } const cases[] = {
        {"no file: OK writes the defaults", nullptr, 0, 0, "0dB", false, false, {}, "0", "0dB", "false", "false"},
        {"each control changed",
         "[settings]\r\nplaydevice=0\r\nplayvolume=-6dB\r\nautoplay=false\r\npuresynthesis=false\r\n", 0, -6,
         "-6dB", false, false,
         [](HWND d) {
             chooseLastDevice(d);
             typeVolume(d, "-20");
             clickAutoplay(d);
             clickPure(d);
         },
         "last", "-20dB", "true", "true"},
        {"TRUE is true; unchecked writes false",
         "[settings]\r\nautoplay=TRUE\r\nplayvolume=5dB\r\npuresynthesis=True\r\n", 0, 5, "5dB", true, true,
         [](HWND d) {
             clickAutoplay(d);
             clickPure(d);
         },
         "0", "5dB", "false", "false"},
        {"a checked box is kept", "[settings]\r\npuresynthesis=true\r\n", 0, 0, "0dB", false, true, {}, "0", "0dB",
         "false", "true"},
        // Only "true" is true, as for autoplay.
        {"1 is not true", "[settings]\r\npuresynthesis=1\r\n", 0, 0, "0dB", false, false, {}, "0", "0dB", "false",
         "false"},
        // The control's range is -36..12 dB; -36 dB is already silence at the mixer.
        {"lowest volume by the bar", "[settings]\r\nplayvolume=3dB\r\n", 0, 3, "3dB", false, false,
         [](HWND d) { clickVolumeBar(d, 40); clickVolumeBar(d, 32); }, "0", "-36dB", "false", "false"},
        {"off is shown at the minimum", "[settings]\r\nplayvolume=--dB\r\n", 0, -36, "-36dB", false, false, {}, "0",
         "-36dB", "false", "false"},
        {"device beyond the list: no selection, OK writes -1", "[settings]\r\nplaydevice=99\r\n", -1, 0, "0dB",
         false, false, {}, "-1", "0dB", "false", "false"},
        {"abc is device 0", "[settings]\r\nplaydevice=abc\r\n", 0, 0, "0dB", false, false, {}, "0", "0dB", "false",
         "false"},
    };
    ScratchFolder folder("zelvaro-playsettings");
    test::OwnerWindow owner;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(settingsPath);
        if (c.stored) writeSettings(c.stored);
        Shown shown;
        EXPECT_TRUE(runDialog(owner.handle, c.act, IDOK, &shown));
        if (shown.deviceCount < 1) {
            GTEST_SKIP() << "no play device";
        }
        EXPECT_EQ(shown.device, c.device);
        EXPECT_EQ(shown.volume, c.volume);
        EXPECT_EQ(shown.volumeText, c.volumeText);
        EXPECT_EQ(shown.autoplay, c.autoplay);
        EXPECT_EQ(shown.pure, c.pure);
        EXPECT_EQ(PureSynthesisChosen(), std::string(c.pureText) == "true") << "Save As Wav reads what OK wrote";
        const std::string device =
            std::string(c.playdevice) == "last" ? std::to_string(shown.deviceCount - 1) : c.playdevice;
        EXPECT_EQ(test::iniValue("playdevice"), device);
        EXPECT_EQ(test::iniValue("playvolume"), c.playvolume);
        EXPECT_EQ(test::iniValue("autoplay"), c.autoplayText);
        EXPECT_EQ(test::iniValue("puresynthesis"), c.pureText);
        EXPECT_TRUE(IsWindowEnabled(owner.handle));
    }
}

TEST(PlaySettingsDialog, CancelAfterChangingEveryControlLeavesTheFileByteIdentical) {
    const char* const closers[] = {"button", "Esc"};
    ScratchFolder folder("zelvaro-playsettings");
    test::OwnerWindow owner;
    for (const char* closer : closers) {
        SCOPED_TRACE(closer);
        writeSettings("[settings]\r\nplaydevice=0\r\nplayvolume=-6dB\r\nautoplay=false\r\nfiledir=C:\\x\\\r\n");
        const std::vector<uint8_t> before = test::readAll(settingsPath);
        bool ok = true;
        DialogWatch watch("#32770", "Play Settings", 0, [&](HWND dialog) {
            chooseLastDevice(dialog);
            typeVolume(dialog, "10");
            clickVolumeBar(dialog, 200);
            clickAutoplay(dialog);
            clickPure(dialog);
            if (std::string(closer) == "Esc")
                PostMessageA(GetDlgItem(dialog, IDC_AUTOPLAY), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
            else
                PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        });
        ok = ShowPlaySettings(owner.handle);
        EXPECT_TRUE(watch.wait().found);
        EXPECT_FALSE(ok);
        EXPECT_TRUE(test::readAll(settingsPath) == before);
    }
}

// The pure-synthesis choices as the dialog shows them.
struct PureShown {
    std::string rate, format, level, rms;
};

std::string itemText(HWND dialog, int id) {
    char text[256] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

std::string comboText(HWND dialog, int id) {
    const LRESULT item = SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
    if (item < 0) return "<none>";
    // Across threads in Unicode (see WINE-NOTES), narrowed: the texts are ASCII.
    wchar_t text[64] = {};
    SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(text));
    std::string narrow;
    for (const wchar_t* c = text; *c; ++c) narrow += static_cast<char>(*c);
    return narrow;
}

PureShown readPure(HWND dialog) {
    return {comboText(dialog, IDC_SAMPLE_RATE), comboText(dialog, IDC_SAMPLE_FORMAT), itemText(dialog, IDC_LEVEL),
            itemText(dialog, IDC_LEVEL_RMS)};
}

void chooseItem(HWND dialog, int id, const char* text) {
    const LRESULT item = SendDlgItemMessageA(dialog, id, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                             reinterpret_cast<LPARAM>(text));
    SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
}

void typeLevel(HWND dialog, const char* text) {
    HWND edit = GetDlgItem(dialog, IDC_LEVEL);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
}

// A click on the upper or the lower arrow of the level's up-down control.
void clickLevelArrow(HWND dialog, bool up) {
    HWND spin = GetDlgItem(dialog, IDC_LEVEL_SPIN);
    RECT r;
    GetClientRect(spin, &r);
    const LPARAM at = MAKELPARAM((r.right - r.left) / 2, up ? r.bottom / 4 : r.bottom * 3 / 4);
    SendMessageA(spin, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(spin, WM_LBUTTONUP, 0, at);
}

void pressLevelKey(HWND dialog, WPARAM key) {
    HWND edit = GetDlgItem(dialog, IDC_LEVEL);
    SendMessageA(edit, WM_KEYDOWN, key, 0x00480001);
    SendMessageA(edit, WM_KEYUP, key, 0xC0480001);
}

TEST(PlaySettingsDialog, RateFormatAndLevelRoundTripWithDefaultsForBadValues) {
    struct Case {
        const char* name;
        const char* stored;  // settings.ini before, null for none
        PureShown shown;
        std::function<void(HWND)> act;
        const char* samplerate;  // written
        const char* sampleformat;
        const char* level;
        PureShown after;  // shown once `act` has run ("" where not checked)
    } const cases[] = {
        {"no file: the defaults", nullptr, {"44,100 Hz", "16-bit PCM, TPDF dither", "-12.04", "-15.05 dBFS RMS"}, {},
         "44100", "16", "-12.04", {}},
        {"good values kept",
         "[settings]\r\npuresynthesis=true\r\nsamplerate=96000\r\nsampleformat=float\r\nlevel=-1\r\n",
         {"96,000 Hz", "32-bit float", "-1.00", "-4.01 dBFS RMS"}, {}, "96000", "float", "-1.00", {}},
        {"24-bit at 192 kHz, level -140", "[settings]\r\nsamplerate=192000\r\nsampleformat=24\r\nlevel=-140\r\n",
         {"192,000 Hz", "24-bit PCM", "-140.00", "-143.01 dBFS RMS"}, {}, "192000", "24", "-140.00", {}},
        {"a rate not offered, a format by another name, three decimals",
         "[settings]\r\nsamplerate=96001\r\nsampleformat=32\r\nlevel=-12.045\r\n",
         {"44,100 Hz", "16-bit PCM, TPDF dither", "-12.04", "-15.05 dBFS RMS"}, {}, "44100", "16", "-12.04", {}},
        {"words, letter case and levels out of range",
         "[settings]\r\nsamplerate=abc\r\nsampleformat=FLOAT\r\nlevel=0.01\r\n",
         {"44,100 Hz", "16-bit PCM, TPDF dither", "-12.04", "-15.05 dBFS RMS"}, {}, "44100", "16", "-12.04", {}},
        {"below the lowest level", "[settings]\r\nlevel=-140.01\r\nsamplerate=\r\n",
         {"44,100 Hz", "16-bit PCM, TPDF dither", "-12.04", "-15.05 dBFS RMS"}, {}, "44100", "16", "-12.04", {}},
        {"each choice changed", "[settings]\r\npuresynthesis=true\r\n",
         {"44,100 Hz", "16-bit PCM, TPDF dither", "-12.04", "-15.05 dBFS RMS"},
         [](HWND d) {
             chooseItem(d, IDC_SAMPLE_RATE, "48,000 Hz");
             chooseItem(d, IDC_SAMPLE_FORMAT, "24-bit PCM");
             typeLevel(d, "-0.5");
         },
         "48000", "24", "-0.50", {"48,000 Hz", "24-bit PCM", "-0.5", "-3.51 dBFS RMS"}},
        // Two clicks up, then three presses of the down key in the field:
        // each step is 0.01 dB, from the typed text.
        {"stepped", "[settings]\r\npuresynthesis=true\r\nlevel=-6\r\n",
         {"44,100 Hz", "16-bit PCM, TPDF dither", "-6.00", "-9.01 dBFS RMS"},
         [](HWND d) {
             clickLevelArrow(d, true);
             clickLevelArrow(d, true);
             typeLevel(d, "-3.99");
             pressLevelKey(d, VK_DOWN);
             pressLevelKey(d, VK_DOWN);
             pressLevelKey(d, VK_DOWN);
         },
         "44100", "16", "-4.02", {"", "", "-4.02", "-7.03 dBFS RMS"}},
        {"stepped up to 0 and no further", "[settings]\r\npuresynthesis=true\r\nlevel=-0.01\r\n",
         {"44,100 Hz", "16-bit PCM, TPDF dither", "-0.01", "-3.02 dBFS RMS"},
         [](HWND d) {
             pressLevelKey(d, VK_UP);
             pressLevelKey(d, VK_UP);
         },
         "44100", "16", "0.00", {"", "", "0.00", "-3.01 dBFS RMS"}},
    };
    ScratchFolder folder("zelvaro-playsettings");
    test::OwnerWindow owner;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(settingsPath);
        if (c.stored) writeSettings(c.stored);
        PureShown shown, after;
        EXPECT_TRUE(runDialog(owner.handle, [&](HWND d) {
            shown = readPure(d);
            if (c.act) c.act(d);
            after = readPure(d);
        }, IDOK));
        EXPECT_EQ(shown.rate, c.shown.rate);
        EXPECT_EQ(shown.format, c.shown.format);
        EXPECT_EQ(shown.level, c.shown.level);
        EXPECT_EQ(shown.rms, c.shown.rms);
        if (!c.after.rate.empty()) {
            EXPECT_EQ(after.rate, c.after.rate);
        }
        if (!c.after.format.empty()) {
            EXPECT_EQ(after.format, c.after.format);
        }
        if (!c.after.level.empty()) {
            EXPECT_EQ(after.level, c.after.level);
        }
        if (!c.after.rms.empty()) {
            EXPECT_EQ(after.rms, c.after.rms);
        }
        EXPECT_EQ(test::iniValue("samplerate"), c.samplerate);
        EXPECT_EQ(test::iniValue("sampleformat"), c.sampleformat);
        EXPECT_EQ(test::iniValue("level"), c.level);
    }
}

TEST(PlaySettingsDialog, PureSynthesisEnablesItsChoicesAndGreysTheVolume) {
    struct Enabled {
        bool rate, format, level, spin, volume;
        bool operator==(const Enabled& o) const {
            return rate == o.rate && format == o.format && level == o.level && spin == o.spin && volume == o.volume;
        }
    };
    auto read = [](HWND d) {
        auto on = [&](int id) { return IsWindowEnabled(GetDlgItem(d, id)) != FALSE; };
        return Enabled{on(IDC_SAMPLE_RATE), on(IDC_SAMPLE_FORMAT), on(IDC_LEVEL), on(IDC_LEVEL_SPIN),
                       on(IDC_PLAY_VOLUME)};
    };
    const Enabled chain{false, false, false, false, true};
    const Enabled pure{true, true, true, true, false};
    ScratchFolder folder("zelvaro-playsettings");
    test::OwnerWindow owner;
    for (const char* stored : {"[settings]\r\n", "[settings]\r\npuresynthesis=true\r\n"}) {
        SCOPED_TRACE(stored);
        writeSettings(stored);
        const bool startsPure = std::string(stored).find("true") != std::string::npos;
        Enabled before{}, clicked{}, back{};
        runDialog(owner.handle, [&](HWND d) {
            before = read(d);
            clickPure(d);
            clicked = read(d);
            clickPure(d);
            back = read(d);
        }, IDCANCEL);
        EXPECT_TRUE(before == (startsPure ? pure : chain));
        EXPECT_TRUE(clicked == (startsPure ? chain : pure));
        EXPECT_TRUE(back == before);
    }
}

TEST(PlaySettingsDialog, AnUnreadableLevelHoldsBackOkAndWritesNothing) {
    ScratchFolder folder("zelvaro-playsettings");
    test::OwnerWindow owner;
    struct Row {
        const char* typed;
        bool readable;
    } const rows[] = {{"abc", false}, {"-12.345", false}, {"0.01", false}, {"-140.01", false}, {"", false},
                      {"-", false},   {"1e1", false},     {"-140", true},  {"+0", true},       {"-.5", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        writeSettings("[settings]\r\npuresynthesis=true\r\nlevel=-6\r\n");
        const std::vector<uint8_t> before = test::readAll(settingsPath);
        bool okEnabled = true;
        std::string rms;
        DialogWatch watch("#32770", "Play Settings", 0, [&](HWND dialog) {
            typeLevel(dialog, row.typed);
            okEnabled = IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE;
            rms = itemText(dialog, IDC_LEVEL_RMS);
            // Enter as well as the button: neither may take the level.
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
            PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        });
        const bool ok = ShowPlaySettings(owner.handle);
        ASSERT_TRUE(watch.wait().found);
        EXPECT_EQ(okEnabled, row.readable);
        if (row.readable) {
            EXPECT_TRUE(ok);
        } else {
            EXPECT_FALSE(ok);
            EXPECT_EQ(rms, "type -140.00 to 0.00");
            EXPECT_TRUE(test::readAll(settingsPath) == before);
        }
    }
}

TEST(PlaySettingsDialog, ShowsWhatTheLastPlaybackSaidOfItsFormat) {
    ScratchFolder folder("zelvaro-playsettings");
    test::OwnerWindow owner;
    const std::string note = "The device refused 96,000 Hz 24-bit; it plays 48,000 Hz 16-bit.";
    for (const std::string& said : {note, std::string()}) {
        SetPlaybackFormatNote(said);
        std::string shown = "<unread>";
        runDialog(owner.handle, [&](HWND d) { shown = itemText(d, IDC_FORMAT_NOTE); }, IDCANCEL);
        EXPECT_EQ(shown, said);
    }
}

// What the dialog asked the help system for.
struct HelpCall {
    HWND owner;
    std::string file;
    UINT command;
    ULONG_PTR data;
};
std::vector<HelpCall> g_helpCalls;
BOOL WINAPI recordHelp(HWND owner, LPCSTR file, UINT command, ULONG_PTR data) {
    g_helpCalls.push_back({owner, file, command, data});
    return TRUE;
}

TEST(PlaySettingsDialog, HelpButtonAndF1OpenTopic101AndKeepTheDialogOpen) {
    ScratchFolder folder("zelvaro-playsettings");
    setProgramFolder(folder.path);
    test::OwnerWindow owner;
    g_helpCalls.clear();
    auto* const previous = PlaySettingsDialog::openHelp;
    PlaySettingsDialog::openHelp = recordHelp;
    HWND dialogWindow = nullptr;
    bool openAfterHelp = false;
    DialogWatch watch("#32770", "Play Settings", 0, [&](HWND dialog) {
        dialogWindow = dialog;
        SendMessageA(GetDlgItem(dialog, IDHELP), BM_CLICK, 0, 0);
        HELPINFO info = {};
        info.cbSize = sizeof info;
        info.iContextType = HELPINFO_WINDOW;
        SendMessageA(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));  // F1, or the caption's "?"
        openAfterHelp = IsWindowVisible(dialog) != FALSE;
        PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    });
    const bool ok = ShowPlaySettings(owner.handle);
    PlaySettingsDialog::openHelp = previous;
    setProgramFolder("");
    ASSERT_TRUE(watch.wait().found);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(openAfterHelp);
    ASSERT_EQ(g_helpCalls.size(), 2u);
    for (const HelpCall& call : g_helpCalls) {
        EXPECT_EQ(call.owner, dialogWindow);
        EXPECT_EQ(call.file, folder.file("tone.hlp")) << "beside the program, whatever the current directory";
        EXPECT_EQ(call.command, static_cast<UINT>(HELP_CONTEXT));
        EXPECT_EQ(call.data, 101u);
    }
}

TEST(PlaySettingsDialog, TemplateHoldsItsControls) {
    struct Control {
        int id;
        const char* className;
        const char* text;
        DWORD style;  // bits that must be set
    } const controls[] = {
        {IDC_PLAY_DEVICE, "ComboBox", nullptr, CBS_DROPDOWNLIST | WS_TABSTOP},
        {IDC_PLAY_VOLUME, "LDBEdit", "", SS_SUNKEN},
        {IDC_AUTOPLAY, "Button", "Automatically start tone playback when Zelvaro runs", BS_AUTOCHECKBOX | WS_TABSTOP},
        {IDC_PURE_SYNTHESIS, "Button", "Pure synthesis: play and save in double precision",
         BS_AUTOCHECKBOX | WS_TABSTOP},
        {IDC_SAMPLE_RATE, "ComboBox", nullptr, CBS_DROPDOWNLIST | WS_TABSTOP},
        {IDC_SAMPLE_FORMAT, "ComboBox", nullptr, CBS_DROPDOWNLIST | WS_TABSTOP},
        {IDC_LEVEL, "Edit", nullptr, WS_TABSTOP},
        {IDC_LEVEL_SPIN, "msctls_updown32", nullptr, UDS_ARROWKEYS},
        {IDC_LEVEL_RMS, "Static", nullptr, 0},
        {IDC_PURE_NOTE, "Static",
         "Rate, format and level apply only with pure synthesis; Sound Play Volume then does not. The level is in "
         "the samples: it holds at the output only with the device's own volume at 100 %.",
         0},
        {IDC_FORMAT_NOTE, "Static", "", 0},
        {IDOK, "Button", "OK", WS_TABSTOP},
        {IDCANCEL, "Button", "Cancel", WS_TABSTOP},
        {IDHELP, "Button", "Help", WS_TABSTOP},
    };
    ScratchFolder folder("zelvaro-playsettings");
    test::OwnerWindow owner;
    runDialog(owner.handle, [&](HWND dialog) {
        EXPECT_TRUE(GetWindowLongA(dialog, GWL_STYLE) & DS_CONTEXTHELP) << "the caption's help button";
        for (const Control& c : controls) {
            SCOPED_TRACE(c.id);
            HWND control = GetDlgItem(dialog, c.id);
            ASSERT_NE(control, nullptr);
            char name[32] = {}, text[256] = {};
            GetClassNameA(control, name, sizeof name);
            GetWindowTextA(control, text, sizeof text);
            EXPECT_STRCASEEQ(name, c.className);
            if (c.text) {
                EXPECT_STREQ(text, c.text);
            }
            EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE)) & c.style, c.style);
        }
    }, IDCANCEL);
}

}  // namespace
}  // namespace zelvaro
