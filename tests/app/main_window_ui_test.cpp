// The main window in the test program: start-up, the value list, commands,
// keys and the controls' states, read back from the real window.
#include "tests/app/main_window_harness.h"

#include <algorithm>

#include "ui/l_text_edit_dlg_res.h"

namespace zelvaro::test {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    TempFolder folder;
    MainWindowHarness ui{folder};
};

TEST_F(MainWindowTest, FirstStartShowsTheDefaultToneAndTheIdleStates) {
    ASSERT_NE(ui.open(), nullptr);
    EXPECT_EQ(ui.rows(), (std::vector<Row>{{"Sine 1 Frequency", "1000.00Hz"}}));

    // Nothing selected, nothing playing.
    EXPECT_EQ(ui.buttonPicture(IDC_PLAY), IDB_PLAY);
    EXPECT_EQ(ui.buttonPicture(IDC_STOP), IDB_STOP_GREY);
    EXPECT_EQ(ui.buttonPicture(IDC_INCREASE), IDB_INCREASE_GREY);
    EXPECT_EQ(ui.buttonPicture(IDC_DECREASE), IDB_DECREASE_GREY);
    struct MenuCase {
        UINT id;
        bool enabled, checked;
    } const menus[] = {
        {IDM_PLAY, true, false},        {IDM_STOP, false, false},
        {IDM_INCREASE, false, false},   {IDM_DECREASE, false, false},
        {IDM_EDIT_VALUE, false, false}, {IDM_TONES_1, true, true},
        {IDM_TONES_1 + 1, true, false}, {IDM_CONTINUOUS, true, true},
        {IDM_DURATION, true, false},    {IDM_MONO, true, true},
        {IDM_STEREO, true, false},      {IDM_SINE, true, true},
        {IDM_SQUARE, true, false},      {IDM_VARIABLE_AMPLITUDE, true, false},
    };
    for (const MenuCase& c : menus) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(ui.menuEnabled(c.id), c.enabled);
        EXPECT_EQ(ui.menuChecked(c.id), c.checked);
    }

    // Two columns: the label takes 70 % of the client width, the value the rest.
    RECT client;
    GetClientRect(ui.list(), &client);
    const int label = static_cast<int>(SendMessageA(ui.list(), LVM_GETCOLUMNWIDTH, 0, 0));
    const int value = static_cast<int>(SendMessageA(ui.list(), LVM_GETCOLUMNWIDTH, 1, 0));
    EXPECT_EQ(label, client.right * 70 / 100);
    EXPECT_EQ(label + value, client.right);

    EXPECT_EQ(SendMessageA(ui.main->tooltip, TTM_GETTOOLCOUNT, 0, 0), 6);
    struct Tip {
        int control;
        const char* text;
    } const tips[] = {
        {IDC_PLAY, "Start tone"},
        {IDC_STOP, "Stop tone"},
        {IDC_INCREASE, "Increase selected tone value"},
        {IDC_DECREASE, "Decrease the selected tone value"},
        {IDC_STATUS, "Click to view Quorrel Internet Resources"},
        {IDC_VALUES, "Tone data values (double click to change)"},
    };
    for (const Tip& tip : tips) {
        char text[80] = {};
        TTTOOLINFOA tool = {};
        tool.cbSize = TTTOOLINFOA_V1_SIZE;
        tool.hwnd = ui.window;
        tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(ui.window, tip.control));
        tool.lpszText = text;
        SendMessageA(ui.main->tooltip, TTM_GETTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
        EXPECT_STREQ(text, tip.text) << tip.control;
    }
    EXPECT_TRUE(IsWindow(ui.main->splash.window)) << "the splash shows at start";
    EXPECT_EQ(ui.main->player.listener, static_cast<LSoundPlayerListener*>(ui.main.get()));

    // Every UpdateControls gives the buttons new pictures: the ones they
    // replace are deleted, so the program's GDI objects stay as many.
    std::vector<HGDIOBJ> replaced;
    const DWORD objectsBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    for (int i = 0; i < 100; ++i) {
        for (int id : {IDC_PLAY, IDC_STOP, IDC_INCREASE, IDC_DECREASE})
            replaced.push_back(reinterpret_cast<HGDIOBJ>(SendDlgItemMessageA(ui.window, id, BM_GETIMAGE, IMAGE_BITMAP, 0)));
        ui.main->UpdateControls();
    }
    int alive = 0;
    for (HGDIOBJ picture : replaced)
        alive += GetObjectType(picture) != 0;
    EXPECT_EQ(alive, 0) << "of " << replaced.size() << " pictures replaced";
    if (objectsBefore) {  // where the system counts them (not under Wine)
        EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), objectsBefore);
    }

    // The keyboard starts in the list; Tab goes on to the buttons.
    EXPECT_EQ(GetFocus(), ui.list());
    EXPECT_EQ(GetNextDlgTabItem(ui.window, ui.list(), FALSE), GetDlgItem(ui.window, IDC_PLAY));
}

TEST_F(MainWindowTest, TheMenuCarriesEveryTextAndKey) {
    ASSERT_NE(ui.open(), nullptr);
    struct Item {
        UINT id;
        const char* text;
    } const items[] = {
        {IDM_PLAY, "Play\tF9"},
        {IDM_STOP, "Stop\tF4"},
        {IDM_SAVE_AS_WAV, "Save As Wav..."},
        {IDM_SAVE_AS_TONE, "Save As Tone..."},
        {IDM_LOAD_TONE, "Load Tone..."},
        {IDM_PLAY_SETTINGS, "Play Settings..."},
        {IDM_EXIT, "Exit\tAlt+F4"},
        {IDM_INCREASE, "Increase Value\t+"},
        {IDM_DECREASE, "Decrease Value\t-"},
        {IDM_EDIT_VALUE, "Edit Value...\tEnter"},
        {2101, "1"},
        {2116, "16"},
        {IDM_CONTINUOUS, "Constant (Continuous)"},
        {IDM_DURATION, "Constant (Specified Duration)"},
        {IDM_SWEEP_LINEAR, "Sweep (Linear)"},
        {IDM_SWEEP_LOG, "Sweep (Log)"},
        {IDM_MONO, "Mono"},
        {IDM_STEREO, "Stereo"},
        {IDM_VARIABLE_AMPLITUDE, "Variable Amplitude"},
        {IDM_SINE, "Sine"},
        {IDM_SQUARE, "Square"},
        {IDM_TRIANGULAR, "Triangular"},
        {IDM_SAW_TOOTH, "Saw Tooth"},
        {IDM_IMPULSE, "Impulse"},
        {IDM_WHITE_NOISE, "White Noise"},
        {IDM_PINK_NOISE, "Pink Noise"},
        {IDHELP, "&Help Contents\tF1"},
        {IDM_ABOUT, "&About"},
    };
    HMENU menu = GetMenu(ui.window);
    for (const Item& item : items) {
        SCOPED_TRACE(item.text);
        char text[64] = {};
        GetMenuStringA(menu, item.id, text, sizeof text, MF_BYCOMMAND);
        EXPECT_STREQ(text, item.text);
    }
    // The popups by position, as the context menus take them.
    const char* const popups[] = {"&File", "&Tone", "&Help"};
    for (int i = 0; i < 3; ++i) {
        char text[32] = {};
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, popups[i]);
    }
    HMENU help = GetSubMenu(menu, 2);
    char text[32] = {};
    GetMenuStringA(help, 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Internet Resources");
    HMENU links = GetSubMenu(help, 1);
    ASSERT_NE(links, nullptr);
    for (int i = 0; i < GetMenuItemCount(links); ++i) {
        const UINT id = GetMenuItemID(links, i);
        if (id != 0) {  // separators
            EXPECT_TRUE(id >= IDM_LINK_FIRST && id <= IDM_LINK_LAST) << id;
        }
    }
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE;
    GetMenuItemInfoA(menu, 2, TRUE, &info);
    EXPECT_TRUE(info.fType & MFT_RIGHTJUSTIFY) << "Help sits at the right of the menu bar";
}

// Commands from the defaults, and the list and radio marks they leave.
TEST_F(MainWindowTest, ToneCommandsRebuildTheListAndMoveTheMarks) {
    struct Case {
        std::vector<WORD> commands;
        std::vector<Row> rows;
        UINT tones, kind, channels, waveform;
        bool variable;
    } const cases[] = {
        {{}, {{"Sine 1 Frequency", "1000.00Hz"}}, 2101, 3021, 3031, 3041, false},
        {{3022}, {{"Sine 1 Frequency", "1000.00Hz"}, {"Sine Duration", "1000ms"}},
         2101, 3022, 3031, 3041, false},
        {{3023},
         {{"Sine 1 Start Frequency", "1000.00Hz"},
          {"Sine 1 End Frequency", "1000.00Hz"},
          {"Sine Duration", "1000ms"}},
         2101, 3023, 3031, 3041, false},
        {{3024, 3032},
         {{"Sine 1 Start Left Frequency", "1000.00Hz"},
          {"Sine 1 End Left Frequency", "1000.00Hz"},
          {"Sine 1 Start Right Frequency", "1000.00Hz"},
          {"Sine 1 End Right Frequency", "1000.00Hz"},
          {"Sine Duration", "1000ms"}},
         2101, 3024, 3032, 3041, false},
        // Sweep (Linear) then Constant (Continuous) clears all three kind bits.
        {{3023, 3021}, {{"Sine 1 Frequency", "1000.00Hz"}}, 2101, 3021, 3031, 3041, false},
        {{2102, 3051, 3042},
         {{"Square 1 Frequency", "1000.00Hz"},
          {"Square 1 Relative Amplitude", "0dB"},
          {"Square 2 Frequency", "1000.00Hz"},
          {"Square 2 Relative Amplitude", "0dB"}},
         2102, 3021, 3031, 3042, true},
        // Stereo then Mono leaves the kind and the variable amplitude alone.
        {{3051, 3022, 3032, 3031},
         {{"Sine 1 Frequency", "1000.00Hz"},
          {"Sine 1 Relative Amplitude", "0dB"},
          {"Sine Duration", "1000ms"}},
         2101, 3022, 3031, 3041, true},
        {{3046}, {}, 2101, 3021, 3031, 3046, false},
        {{3047, 3022}, {{"Pink Noise Duration", "1000ms"}}, 2101, 3022, 3031, 3047, false},
        {{3045, 3051, 3051}, {{"Impulse 1 Frequency", "1000.00Hz"}}, 2101, 3021, 3031, 3045,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.commands));
        TempFolder caseFolder;
        MainWindowHarness caseUi(caseFolder);
        ASSERT_NE(caseUi.open(), nullptr);
        for (WORD id : c.commands)
            caseUi.command(id);
        EXPECT_EQ(caseUi.rows(), c.rows);
        for (UINT id = 2101; id <= 2116; ++id)
            EXPECT_EQ(caseUi.menuChecked(id), id == c.tones) << id;
        for (UINT id = 3021; id <= 3024; ++id)
            EXPECT_EQ(caseUi.menuChecked(id), id == c.kind) << id;
        for (UINT id = 3031; id <= 3032; ++id)
            EXPECT_EQ(caseUi.menuChecked(id), id == c.channels) << id;
        for (UINT id = 3041; id <= 3047; ++id)
            EXPECT_EQ(caseUi.menuChecked(id), id == c.waveform) << id;
        EXPECT_EQ(caseUi.menuChecked(IDM_VARIABLE_AMPLITUDE), c.variable);
    }
}

TEST_F(MainWindowTest, SixteenTonesListSixteenRowsWithTheMarkOnSixteen) {
    ASSERT_NE(ui.open(), nullptr);
    ui.command(2116);
    const std::vector<Row> rows = ui.rows();
    ASSERT_EQ(rows.size(), 16u);
    EXPECT_EQ(rows[15].first, "Sine 16 Frequency");
    EXPECT_TRUE(ui.menuChecked(2116));
    EXPECT_EQ(ui.main->tone.toneCount, 16);

    // More rows than fit: the columns share the width beside the vertical
    // scroll bar 70 : 30, so no horizontal one covers the last row and the
    // widest value of a frequency shows whole. Back to one row, they share
    // the whole width again.
    for (WORD tones : {2116, 2101}) {
        SCOPED_TRACE(tones);
        ui.command(tones);
        const LONG style = GetWindowLongA(ui.list(), GWL_STYLE);
        EXPECT_EQ((style & WS_VSCROLL) != 0, tones == 2116);
        EXPECT_FALSE(style & WS_HSCROLL);
        RECT client;
        GetClientRect(ui.list(), &client);
        const int label = static_cast<int>(SendMessageA(ui.list(), LVM_GETCOLUMNWIDTH, 0, 0));
        const int value = static_cast<int>(SendMessageA(ui.list(), LVM_GETCOLUMNWIDTH, 1, 0));
        EXPECT_EQ(label + value, client.right);
        // Room for the text and the 6 pixels the list view leaves on either
        // side of it, taken from the label when 30 % is too little.
        const int widest = static_cast<int>(
            SendMessageA(ui.list(), LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>("20000.00Hz")));
        EXPECT_EQ(value, std::max<int>(client.right - client.right * 70 / 100, widest + 12)) << widest;
    }
}

// Steps through buttons, menu items and keys on a selection, read back as the
// rows' value texts. The list: frequency, amplitude, duration.
TEST_F(MainWindowTest, StepsByButtonMenuAndKeyChangeTheSelectedRowsOnly) {
    enum Input { Command, Key, Char };
    struct Case {
        const char* name;
        Input input;
        WPARAM what;
        std::initializer_list<int> selected;
        const char* frequency;
        const char* amplitude;
        const char* duration;
    } const cases[] = {
        {"Increase button", Command, IDC_INCREASE, {0}, "1059.46Hz", "-6dB", "1000ms"},
        {"Decrease button", Command, IDC_DECREASE, {0, 1, 2}, "943.87Hz", "-7dB", "900ms"},
        {"Tone > Increase Value", Command, IDM_INCREASE, {1, 2}, "1000.00Hz", "-5dB", "2000ms"},
        {"Tone > Decrease Value", Command, IDM_DECREASE, {2}, "1000.00Hz", "-6dB", "900ms"},
        {"+", Char, '+', {0, 2}, "1059.46Hz", "-6dB", "2000ms"},
        {"-", Char, '-', {1}, "1000.00Hz", "-7dB", "1000ms"},
        {"Page Up", Key, VK_PRIOR, {0, 1, 2}, "2000.00Hz", "-5dB", "6000ms"},
        {"Page Down", Key, VK_NEXT, {0, 2}, "500.00Hz", "-6dB", "500ms"},
        {"+ with nothing selected", Char, '+', {}, "1000.00Hz", "-6dB", "1000ms"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder caseFolder;
        ToneSettings tone;
        setDefaults(tone);
        tone.flags = kFlagFixedDuration | kFlagVariableAmplitude;
        tone.relativeAmplitude[0] = -6;
        writeFile(caseFolder.file("Current.tdf"), toneBytes(tone));
        MainWindowHarness caseUi(caseFolder);
        ASSERT_NE(caseUi.open(), nullptr);
        ASSERT_EQ(caseUi.rows().size(), 3u);
        caseUi.select(c.selected);
        if (c.input == Command)
            caseUi.command(static_cast<WORD>(c.what));
        else if (c.input == Key)
            caseUi.keyDown(c.what);
        else
            caseUi.character(static_cast<char>(c.what));
        const std::vector<Row> rows = caseUi.rows();
        EXPECT_EQ(rows[0].second, c.frequency);
        EXPECT_EQ(rows[1].second, c.amplitude);
        EXPECT_EQ(rows[2].second, c.duration);
        // The selection stays, and the pictures follow it.
        EXPECT_EQ(SendMessageA(caseUi.list(), LVM_GETSELECTEDCOUNT, 0, 0),
                  static_cast<LRESULT>(c.selected.size()));
        EXPECT_EQ(caseUi.buttonPicture(IDC_INCREASE),
                  c.selected.size() ? IDB_INCREASE : IDB_INCREASE_GREY);
        EXPECT_EQ(caseUi.buttonPicture(IDC_DECREASE),
                  c.selected.size() ? IDB_DECREASE : IDB_DECREASE_GREY);
        EXPECT_EQ(caseUi.menuEnabled(IDM_INCREASE), c.selected.size() > 0);
        EXPECT_EQ(caseUi.menuEnabled(IDM_EDIT_VALUE), c.selected.size() == 1);
    }
}

TEST_F(MainWindowTest, CurrentTdfIsReadAtStartAndWrittenAtClose) {
    ToneSettings saved;
    setDefaults(saved);
    saved.flags = kFlagStereo;
    saved.startLeft[0] = 440.0;
    saved.startRight[0] = 660.0;
    writeFile(folder.file("Current.tdf"), toneBytes(saved));

    ASSERT_NE(ui.open(), nullptr);
    EXPECT_EQ(ui.rows(), (std::vector<Row>{{"Sine 1 Left Frequency", "440.00Hz"},
                                           {"Sine 1 Right Frequency", "660.00Hz"}}));
    ui.select({1});
    ui.keyDown(VK_PRIOR);
    // The current directory moves (as the open-file dialog moves it); the
    // tone still goes beside the program.
    TempFolder elsewhere;
    ui.command(IDM_EXIT);  // posts WM_CLOSE
    ui.pump(100);
    EXPECT_FALSE(IsWindow(ui.window));
    ToneSettings expected = saved;
    expected.startRight[0] = 1320.0;
    EXPECT_EQ(readFile(folder.file("Current.tdf")), toneBytes(expected));
    EXPECT_EQ(readFile(elsewhere.file("Current.tdf")), "");
}

TEST_F(MainWindowTest, EscapeAndEnterNeverCloseTheWindow) {
    ASSERT_NE(ui.open(), nullptr);
    ui.keyDown(VK_ESCAPE);
    ui.command(IDOK);
    EXPECT_TRUE(IsWindow(ui.window));
    // Enter with nothing selected opens no dialog and changes nothing.
    ui.keyDown(VK_RETURN);
    EXPECT_TRUE(IsWindow(ui.window));
    EXPECT_EQ(ui.rows(), (std::vector<Row>{{"Sine 1 Frequency", "1000.00Hz"}}));
}

// Every way of starting and stopping, in turn: pictures and menu states follow.
TEST_F(MainWindowTest, PlayAndStopByButtonMenuAndKeySwapThePicturesAndMenuStates) {
    ASSERT_NE(ui.open(), nullptr);
    ui.command(IDC_PLAY);
    if (!ui.main->player.isOpen())
        GTEST_SKIP() << "no sound device to play on";
    ui.command(IDC_STOP);
    enum Input { Command, Key, SystemKey };
    struct Case {
        const char* name;
        Input input;
        WPARAM what;
        bool playing;
    } const cases[] = {
        {"Play button", Command, IDC_PLAY, true},   {"Stop button", Command, IDC_STOP, false},
        {"File > Play", Command, IDM_PLAY, true},   {"File > Stop", Command, IDM_STOP, false},
        {"F9", Key, VK_F9, true},                   {"F3", Key, VK_F3, false},
        {"F10", Key, VK_F10, true},                 {"F4", Key, VK_F4, false},
        {"F10 as the keyboard sends it", SystemKey, VK_F10, true}, {"F3 again", Key, VK_F3, false},
        {"Play again", Command, IDC_PLAY, true},    {"F9 while playing", Key, VK_F9, true},
        {"Esc", Key, VK_ESCAPE, false},             {"Stop while idle", Command, IDC_STOP, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.input == Command)
            ui.command(static_cast<WORD>(c.what));
        else if (c.input == SystemKey)
            ui.systemKeyDown(c.what);
        else
            ui.keyDown(c.what);
        EXPECT_EQ(ui.main->player.isOpen(), c.playing);
        EXPECT_EQ(ui.buttonPicture(IDC_PLAY), c.playing ? IDB_PLAY_GREY : IDB_PLAY);
        EXPECT_EQ(ui.buttonPicture(IDC_STOP), c.playing ? IDB_STOP : IDB_STOP_GREY);
        EXPECT_EQ(ui.menuEnabled(IDM_PLAY), !c.playing);
        EXPECT_EQ(ui.menuEnabled(IDM_STOP), c.playing);
        EXPECT_TRUE(IsWindow(ui.window));
    }
}

// Every change of the tone starts a playing tone again from its beginning,
// even a step with nothing selected; while idle nothing starts.
TEST_F(MainWindowTest, ChangesRestartAPlayingToneAndStartNothingWhenIdle) {
    // A minute long, so that no tone of specified duration ends by itself.
    ToneSettings tone;
    setDefaults(tone);
    tone.durationMs = 60000;
    writeFile(folder.file("Current.tdf"), toneBytes(tone));
    writeFile(folder.file("load.tdf"), toneBytes(tone));
    ASSERT_NE(ui.open(), nullptr);
    StartCounter counter(*ui.main);
    ui.character('+');
    ui.command(IDM_STEREO);
    ui.command(IDM_MONO);
    EXPECT_EQ(counter.starts, 0);
    EXPECT_FALSE(ui.main->player.isOpen());
    ui.command(IDC_PLAY);
    if (!ui.main->player.isOpen())
        GTEST_SKIP() << "no sound device to play on";
    constexpr int kFileNameBox = 0x47c;  // cmb13: the file name in the common file dialogs
    const std::string loaded = folder.file("load.tdf");
    enum Input { Command, Char, Key, Dialog };
    struct Case {
        const char* name;
        Input input;
        WPARAM what;  // command, character or key
        const char* dialog = nullptr;
        const char* typed = nullptr;
        int editId = 0;
    } const cases[] = {
        {"+ with nothing selected", Char, '+'},
        {"- with nothing selected", Char, '-'},
        {"Page Up", Key, VK_PRIOR},
        {"Page Down", Key, VK_NEXT},
        {"Tone > Increase Value", Command, IDM_INCREASE},
        {"Tone > Decrease Value", Command, IDM_DECREASE},
        {"Edit Value", Dialog, IDM_EDIT_VALUE, "Sine 1 Frequency", "440", IDC_TEXT_EDIT},
        {"Load Tone", Dialog, IDM_LOAD_TONE, "Load Tone", loaded.c_str(), kFileNameBox},
        {"Play again", Command, IDC_PLAY},
        {"Stereo", Command, IDM_STEREO},
        {"Mono", Command, IDM_MONO},
        {"Constant (Specified Duration)", Command, IDM_DURATION},
        {"Sweep (Linear)", Command, IDM_SWEEP_LINEAR},
        {"Constant (Continuous)", Command, IDM_CONTINUOUS},
        {"Number of Tones 2", Command, 2102},
        {"Square", Command, IDM_SQUARE},
        {"White Noise", Command, IDM_WHITE_NOISE},
        {"Pink Noise", Command, IDM_PINK_NOISE},
        {"Sine", Command, IDM_SINE},
        {"Variable Amplitude", Command, IDM_VARIABLE_AMPLITUDE},
        {"Sweep (Log)", Command, IDM_SWEEP_LOG},
    };
    int starts = counter.starts;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.select({0});
        if (c.input == Command) {
            ui.command(static_cast<WORD>(c.what));
        } else if (c.input == Char) {
            ui.character(static_cast<char>(c.what));
        } else if (c.input == Key) {
            ui.keyDown(c.what);
        } else {
            DialogDriver user({{c.dialog, c.typed, IDOK, c.editId}});
            ui.command(static_cast<WORD>(c.what));
            EXPECT_EQ(user.wait(), 1u);
        }
        EXPECT_EQ(counter.starts, ++starts);
        EXPECT_TRUE(ui.main->player.isOpen());
    }
    ui.command(IDC_STOP);
}

// Help opens the contents of tone.hlp: the menu item, F1 and WM_HELP.
std::vector<std::string> g_helpCalls;
BOOL WINAPI recordHelp(HWND, LPCSTR file, UINT command, ULONG_PTR data) {
    g_helpCalls.push_back(std::string(file) + " " + std::to_string(command) + " " +
                          std::to_string(data));
    return TRUE;
}

TEST_F(MainWindowTest, HelpContentsByMenuF1AndHelpMessage) {
    ASSERT_NE(ui.open(), nullptr);
    auto* const previous = MainWindow::openHelp;
    MainWindow::openHelp = recordHelp;
    g_helpCalls.clear();
    ui.command(IDHELP);
    ui.keyDown(VK_F1);
    SendMessageA(ui.window, WM_HELP, 0, 0);
    MainWindow::openHelp = previous;
    EXPECT_EQ(g_helpCalls, (std::vector<std::string>(3, folder.file("tone.hlp") + " 3 0")))
        << "the help file beside the program, whatever the current directory";
}

// Only "true", in any letter case, starts the tone as the window opens.
TEST_F(MainWindowTest, AutoplayStartsTheToneOnlyWhenTrue) {
    struct Case {
        const char* value;
        bool plays;
    } const cases[] = {
        {"true", true}, {"TRUE", true}, {"yes", false}, {"1", false}, {nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(missing)");
        TempFolder caseFolder;
        MainWindowHarness caseUi(caseFolder);
        if (c.value)
            caseUi.writeSetting("autoplay", c.value);
        // Without a device the play error would come up over the opening window.
        WindowCloser box("Sound Play Error", IDOK, c.plays ? 1000 : 0);
        ASSERT_NE(caseUi.open(), nullptr);
        if (box.wait())
            GTEST_SKIP() << "no sound device to play on";
        EXPECT_EQ(caseUi.main->player.isOpen(), c.plays);
        EXPECT_EQ(caseUi.buttonPicture(IDC_PLAY), c.plays ? IDB_PLAY_GREY : IDB_PLAY);
    }
}

}  // namespace
}  // namespace zelvaro::test
