// The main window's dialogs, message boxes, menus and shut-down, driven as a
// user would: dialogs are typed into and their buttons pressed from a second
// thread while the window's thread runs them.
#include "tests/app/main_window_harness.h"

#include "app/web_links.h"
#include "tests/ui/timer_recorder.h"
#include "ui/l_text_edit_dlg_res.h"

namespace zelvaro::test {
namespace {

constexpr int kFileNameBox = 0x47c;  // cmb13: the file name in the common file dialogs

class MainWindowUser : public ::testing::Test {
protected:
    TempFolder folder;
    MainWindowHarness ui{folder};
};

TEST_F(MainWindowUser, SaveAsToneUnderANewNameThenLoadToneOpensThere) {
    ASSERT_NE(ui.open(), nullptr);
    ui.command(IDM_STEREO);
    ui.command(IDM_TONES_1 + 2);
    const std::string path = folder.file("a.tdf");
    {
        DialogDriver user({{"Save As Tone", path.c_str(), IDOK, kFileNameBox}});
        ui.command(IDM_SAVE_AS_TONE);
        ASSERT_EQ(user.wait(), 1u);
    }
    // A new name is accepted: the file exists with the tone's 536 bytes.
    EXPECT_EQ(readFile(path), toneBytes(ui.main->tone));
    EXPECT_EQ(ui.setting("file"), path);
    EXPECT_EQ(ui.setting("filedir"), folder.path() + "\\");

    // A short file replaces only the leading bytes: flags 0 (mono,
    // continuous), waveform 1 (square), one tone.
    const std::string shortPath = folder.file("short.tdf");
    writeFile(shortPath, std::string("\x00\x00\x01\x01", 4));
    {
        DialogDriver user({{"Load Tone", shortPath.c_str(), IDOK, kFileNameBox}});
        ui.command(IDM_LOAD_TONE);
        ASSERT_EQ(user.wait(), 1u);
        ASSERT_EQ(user.shownText.size(), 1u);
        // The dialog shows the last file's name, in its folder.
        EXPECT_EQ(user.shownText[0], "a.tdf") << "the last file is preset";
    }
    EXPECT_EQ(ui.rows(), (std::vector<Row>{{"Square 1 Frequency", "1000.00Hz"}}));
    EXPECT_TRUE(ui.menuChecked(IDM_SQUARE));
    EXPECT_EQ(ui.setting("file"), shortPath);
}

// The value list has the keyboard again after the dialog, wherever it was.
TEST_F(MainWindowUser, CancelledFileDialogsChangeNothing) {
    ASSERT_NE(ui.open(), nullptr);
    for (WORD command : {IDM_SAVE_AS_TONE, IDM_LOAD_TONE}) {
        const char* title = command == IDM_SAVE_AS_TONE ? "Save As Tone" : "Load Tone";
        SCOPED_TRACE(title);
        SetFocus(GetDlgItem(ui.window, IDC_PLAY));
        DialogDriver user({{title, "x.tdf", IDCANCEL, kFileNameBox}});
        ui.command(command);
        ASSERT_EQ(user.wait(), 1u);
        EXPECT_EQ(GetFocus(), ui.list());
    }
    EXPECT_EQ(ui.setting("file"), "");
    EXPECT_EQ(ui.setting("filedir"), "");
    EXPECT_EQ(readFile(folder.file("x.tdf")), "");
}

// The edit dialog walks the selected rows; Cancel stops the walk.
TEST_F(MainWindowUser, EditValueWalksTheSelectedRowsByEnterMenuAndDoubleClick) {
    ToneSettings tone;
    setDefaults(tone);
    tone.flags = kFlagFixedDuration | kFlagVariableAmplitude;
    writeFile(folder.file("Current.tdf"), toneBytes(tone));
    ASSERT_NE(ui.open(), nullptr);
    ASSERT_EQ(ui.rows().size(), 3u);

    // Enter with three rows: the first typed, the second cancelled.
    ui.select({0, 1, 2});
    {
        DialogDriver user({{"Sine 1 Frequency", "440", IDOK, IDC_TEXT_EDIT},
                           {"Sine 1 Relative Amplitude", "-200", IDCANCEL, IDC_TEXT_EDIT}});
        ui.keyDown(VK_RETURN);
        ASSERT_EQ(user.wait(), 2u);
        EXPECT_EQ(user.shownText, (std::vector<std::string>{"1000.00Hz", "0dB"}));
    }
    EXPECT_EQ(ui.rows(), (std::vector<Row>{{"Sine 1 Frequency", "440.00Hz"},
                                           {"Sine 1 Relative Amplitude", "0dB"},
                                           {"Sine Duration", "1000ms"}}));
    EXPECT_TRUE(IsWindow(ui.window)) << "Enter never presses a default button";

    // Edit Value... on one row; typed text without digits gives 1000 ms.
    ui.select({2});
    {
        DialogDriver user({{"Sine Duration", "abc", IDOK, IDC_TEXT_EDIT}});
        ui.command(IDM_EDIT_VALUE);
        ASSERT_EQ(user.wait(), 1u);
    }
    ui.select({2});
    {
        DialogDriver user({{"Sine Duration", "2500", IDOK, IDC_TEXT_EDIT}});
        ui.command(IDM_EDIT_VALUE);
        ASSERT_EQ(user.wait(), 1u);
    }
    EXPECT_EQ(ui.rows()[2].second, "2500ms");
    EXPECT_EQ(GetFocus(), ui.list()) << "the list has the keyboard after the dialogs";

    // A double click on the amplitude row edits that row.
    RECT row = {LVIR_BOUNDS, 0, 0, 0};
    SendMessageA(ui.list(), LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
    const LPARAM at = MAKELPARAM(row.left + 5, (row.top + row.bottom) / 2);
    {
        DialogDriver user({{"Sine 1 Relative Amplitude", "-12", IDOK, IDC_TEXT_EDIT}});
        PostMessageA(ui.list(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(ui.list(), WM_LBUTTONUP, 0, at);
        PostMessageA(ui.list(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        PostMessageA(ui.list(), WM_LBUTTONUP, 0, at);
        // The dialog runs from the list's notification, inside the pumped loop.
        const DWORD start = GetTickCount();
        while (!user.finished() && GetTickCount() - start < 30000)
            ui.pump(20);
        ui.pump(100);
        EXPECT_EQ(user.wait(), 1u);
    }
    EXPECT_EQ(ui.rows()[1].second, "-12dB");
}

TEST_F(MainWindowUser, ADeviceThatDoesNotExistGivesTheSoundPlayError) {
    ui.writeSetting("playdevice", "100");
    ASSERT_NE(ui.open(), nullptr);
    WindowCloser box("Sound Play Error", IDOK);
    SetFocus(GetDlgItem(ui.window, IDC_PLAY));  // as a click on it leaves it
    ui.command(IDC_PLAY);
    ASSERT_TRUE(box.wait()) << "no Sound Play Error message";
    EXPECT_NE(box.text.find("Unable to start playback."), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("Sound Play Device using Play Settings."), std::string::npos);
    EXPECT_FALSE(ui.main->player.isOpen());
    EXPECT_EQ(ui.buttonPicture(IDC_PLAY), IDB_PLAY);
    EXPECT_EQ(ui.buttonPicture(IDC_STOP), IDB_STOP_GREY);
    EXPECT_TRUE(ui.menuEnabled(IDM_PLAY));
    EXPECT_EQ(GetFocus(), ui.list());
}

TEST_F(MainWindowUser, AboutBoxOpensAndClosesWithOk) {
    ASSERT_NE(ui.open(), nullptr);
    WindowCloser box("About Zelvaro", IDOK);
    SetFocus(GetDlgItem(ui.window, IDC_STOP));
    ui.command(IDM_ABOUT);
    ASSERT_TRUE(box.wait());
    EXPECT_NE(box.text.find("Zelvaro v 2.00"), std::string::npos) << box.text;
    EXPECT_TRUE(IsWindow(ui.window));
    EXPECT_EQ(GetFocus(), ui.list());
}

// A right click on the list opens the Tone menu at the cursor; Shift+F10,
// the context-menu key and the system's keyboard request open it at the
// selected row, and play nothing. A right click on the status line, and a
// left click there, open the Internet Resources menu.
TEST_F(MainWindowUser, ContextMenusOpenTheirPopups) {
    ASSERT_NE(ui.open(), nullptr);
    ui.command(IDM_TONES_1 + 2);
    ui.select({2});
    RECT row = {LVIR_BOUNDS, 0, 0, 0};
    SendMessageA(ui.list(), LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&row));
    MapWindowPoints(ui.list(), nullptr, reinterpret_cast<POINT*>(&row), 2);
    enum Input { Message, Shifted };
    struct Case {
        const char* name;
        Input input;
        UINT message;
        WPARAM what;  // the control, or the key
        LPARAM lParam;
        const char* firstItem;
        bool atTheRow;
    } const cases[] = {
        {"right click on the list", Message, WM_CONTEXTMENU, IDC_VALUES, MAKELPARAM(200, 200),
         "Increase Value\t+", false},
        {"right click on the status line", Message, WM_CONTEXTMENU, IDC_STATUS, MAKELPARAM(200, 200),
         "Zelvaro Home Page", false},
        {"click on the status line", Message, WM_COMMAND, IDC_STATUS, 0, "Zelvaro Home Page", false},
        {"Shift+F10", Shifted, WM_SYSKEYDOWN, VK_F10, 0, "Increase Value\t+", true},
        {"context-menu key", Message, WM_KEYDOWN, VK_APPS, 0, "Increase Value\t+", true},
        {"menu asked for from the keyboard", Message, WM_CONTEXTMENU, IDC_VALUES, -1, "Increase Value\t+", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PopupMenuReader menu;
        HWND control = GetDlgItem(ui.window, static_cast<int>(c.what));
        if (c.input == Shifted)
            ui.shiftedKey(c.message, c.what);
        else if (c.message == WM_KEYDOWN)
            ui.keyDown(c.what);
        else if (c.message == WM_CONTEXTMENU)
            SendMessageA(ui.window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control), c.lParam);
        else
            SendMessageA(ui.window, WM_COMMAND, MAKEWPARAM(c.what, STN_CLICKED), reinterpret_cast<LPARAM>(control));
        const std::vector<std::string> items = menu.wait();
        ASSERT_FALSE(items.empty());
        EXPECT_EQ(items[0], c.firstItem);
        if (c.atTheRow) {
            EXPECT_NEAR(menu.shownAt.left, row.left, 2) << "below the selected row";
            EXPECT_NEAR(menu.shownAt.top, row.bottom, 2) << "below the selected row";
        }
        EXPECT_FALSE(ui.main->player.isOpen());
    }
}

TEST_F(MainWindowUser, StatusLineStartsAfterHalfASecondAndCyclesItsFiveTexts) {
    TimerRecorder timers;
    ASSERT_TRUE(timers.active());
    ASSERT_NE(ui.open(), nullptr);
    char text[128] = {};
    GetDlgItemTextA(ui.window, IDC_STATUS, text, sizeof text);
    EXPECT_STREQ(text, "");
    ui.pump(700);
    GetDlgItemTextA(ui.window, IDC_STATUS, text, sizeof text);
    EXPECT_STREQ(text, "Zelvaro v 2.00");
    // The next texts, each on its timer, and back to the first.
    for (int i = 1; i <= kStatusTextCount; ++i) {
        SendMessageA(ui.window, WM_TIMER, 1, 0);
        GetDlgItemTextA(ui.window, IDC_STATUS, text, sizeof text);
        EXPECT_STREQ(text, kStatusTexts[i % kStatusTextCount]) << i;
    }
    EXPECT_STREQ(kStatusTexts[2], "Download more audio software...");
    EXPECT_STREQ(kStatusTexts[4], "Click here to view software list.");
    // Half a second to the first text, then six seconds for each.
    std::vector<UINT> periods(kStatusTextCount + 2, 6000);
    periods[0] = 500;
    EXPECT_EQ(timers.periods(ui.window, 1), periods);
}

// Sees the player stop: whether Current.tdf was already written then.
class StopWitness final : public LSoundPlayerListener {
public:
    StopWitness(MainWindow& main, std::string toneFile) : toneFile(std::move(toneFile)) {
        main.player.listener = this;
    }
    void onPlaying(int32_t) override {}
    void onStopped(int32_t) override {
        ++stops;
        toneFileWritten = !readFile(toneFile).empty();
    }
    std::string toneFile;
    int stops = 0;
    bool toneFileWritten = false;
};

// Every way of closing writes Current.tdf; closing while playing stops and
// detaches the player before that.
TEST_F(MainWindowUser, EveryWayOfClosingWritesCurrentTdf) {
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool post;
        bool playing;
    } const cases[] = {
        {"close box", WM_SYSCOMMAND, SC_CLOSE, 0, false, false},
        {"Alt+F4", WM_SYSKEYDOWN, VK_F4, 0x20000001, true, false},
        {"File > Exit", WM_COMMAND, IDM_EXIT, 0, false, false},
        {"end of session", WM_ENDSESSION, TRUE, 0, false, false},
        {"end of session (not ending)", WM_ENDSESSION, FALSE, 0, false, false},
        // Last: without a sound device it is skipped.
        {"close box while playing", WM_SYSCOMMAND, SC_CLOSE, 0, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder caseFolder;
        MainWindowHarness caseUi(caseFolder);
        ASSERT_NE(caseUi.open(), nullptr);
        caseUi.command(IDM_DURATION);
        caseUi.select({0});
        caseUi.character('+');
        std::unique_ptr<StopWitness> witness;
        if (c.playing) {
            caseUi.command(IDC_PLAY);
            if (!caseUi.main->player.isOpen())
                GTEST_SKIP() << "no sound device to play on";
            witness = std::make_unique<StopWitness>(*caseUi.main, caseFolder.file("Current.tdf"));
        }
        if (c.post)
            PostMessageA(caseUi.window, c.message, c.wParam, c.lParam);
        else
            SendMessageA(caseUi.window, c.message, c.wParam, c.lParam);
        caseUi.pump(200);
        EXPECT_FALSE(IsWindow(caseUi.window));
        EXPECT_EQ(caseUi.main->window, nullptr);
        ToneSettings expected;
        setDefaults(expected);
        expected.flags = kFlagFixedDuration;
        expected.startLeft[0] = 1000.0 * 1.0594630943592953;
        EXPECT_EQ(readFile(caseFolder.file("Current.tdf")), toneBytes(expected));
        EXPECT_FALSE(caseUi.main->player.isOpen());
        EXPECT_EQ(caseUi.main->player.listener, nullptr) << "detached";
        if (witness) {
            EXPECT_EQ(witness->stops, 1);
            EXPECT_FALSE(witness->toneFileWritten) << "stopped before Current.tdf was written";
        }
    }
}

// A tone file that cannot be replaced (here: held open by another program)
// keeps its old bytes, and no temporary file is left beside it.
TEST_F(MainWindowUser, AFailedSaveLeavesTheOldToneFileWhole) {
    ToneSettings old;
    setDefaults(old);
    old.startLeft[0] = 440.0;
    const std::string current = folder.file("Current.tdf");
    const std::string saved = folder.file("saved.tdf");
    writeFile(current, toneBytes(old));
    writeFile(saved, toneBytes(old));
    HANDLE holders[2];
    int held = 0;
    for (const std::string* path : {&current, &saved})
        holders[held++] = CreateFileA(path->c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);

    ASSERT_NE(ui.open(), nullptr);
    ui.command(IDM_STEREO);
    {
        DialogDriver user({{"Save As Tone", saved.c_str(), IDOK, kFileNameBox}});
        ui.command(IDM_SAVE_AS_TONE);
        ASSERT_EQ(user.wait(), 1u);
    }
    ui.command(IDM_EXIT);
    ui.pump(200);
    ASSERT_FALSE(IsWindow(ui.window));

    for (HANDLE holder : holders)
        CloseHandle(holder);
    EXPECT_EQ(readFile(saved), toneBytes(old));
    EXPECT_EQ(readFile(current), toneBytes(old));
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(folder.file("*.tmp").c_str(), &found);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "left behind: " << found.cFileName;
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
}

}  // namespace
}  // namespace zelvaro::test
