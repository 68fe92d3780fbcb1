// What the main window plays, recorded from the sink's monitor by the
// script that runs each of these tests (see tests/app/CMakeLists.txt): the
// test drives the window, the script checks the recording.
#include "tests/app/main_window_harness.h"

namespace zelvaro::test {
namespace {

class MainWindowSound : public ::testing::Test {
protected:
    void SetUp() override { ui.writeSetting("playvolume", "0dB"); }
    // Play, then returns false (with the reason) when there is no device.
    bool play() {
        ui.command(IDC_PLAY);
        return ui.main->player.isOpen();
    }
    TempFolder folder;
    MainWindowHarness ui{folder};
};

// Recorded: 1000 Hz, then one semitone up, 1059.46 Hz.
TEST_F(MainWindowSound, PlusWhilePlayingRestartsOneStepUp) {
    ASSERT_NE(ui.open(), nullptr);
    ASSERT_TRUE(play()) << "no sound device";
    ui.pump(1500);
    ui.select({0});
    ui.character('+');
    EXPECT_TRUE(ui.main->player.isOpen()) << "the tone plays on with its new value";
    EXPECT_EQ(ui.rows()[0].second, "1059.46Hz");
    ui.pump(1500);
    ui.keyDown(VK_ESCAPE);
    EXPECT_FALSE(ui.main->player.isOpen());
}

// Recorded: 1000 Hz for one second; the window then shows the stopped
// pictures by itself.
TEST_F(MainWindowSound, AToneOfOneSecondEndsAndTheWindowShowsStopped) {
    ASSERT_NE(ui.open(), nullptr);
    ui.command(IDM_DURATION);
    ASSERT_EQ(ui.rows()[1].second, "1000ms");
    ASSERT_TRUE(play()) << "no sound device";
    EXPECT_EQ(ui.buttonPicture(IDC_PLAY), IDB_PLAY_GREY);
    const DWORD start = GetTickCount();
    while (ui.main->player.isOpen() && GetTickCount() - start < 5000)
        ui.pump(20);
    EXPECT_FALSE(ui.main->player.isOpen()) << "a one-second tone ends by itself";
    EXPECT_EQ(ui.buttonPicture(IDC_PLAY), IDB_PLAY);
    EXPECT_EQ(ui.buttonPicture(IDC_STOP), IDB_STOP_GREY);
    EXPECT_TRUE(ui.menuEnabled(IDM_PLAY));
    EXPECT_FALSE(ui.menuEnabled(IDM_STOP));
}

// Recorded: 440 Hz from the saved tone, started by the opening window.
TEST_F(MainWindowSound, AutoplayPlaysTheSavedTone) {
    ToneSettings tone;
    setDefaults(tone);
    tone.startLeft[0] = 440.0;
    writeFile(folder.file("Current.tdf"), toneBytes(tone));
    ui.writeSetting("autoplay", "true");
    ASSERT_NE(ui.open(), nullptr);
    ASSERT_TRUE(ui.main->player.isOpen()) << "no sound device";
    ui.pump(1500);
    ui.command(IDC_STOP);
}

// Recorded by pure_sound_check.sh through a float sink at 96,000 Hz: with
// pure synthesis the window plays 997 Hz at -1.00 dBFS in float, and leaves
// the mixer alone, which "playvolume" would otherwise set 20 dB lower.
TEST_F(MainWindowSound, PureSynthesisPlaysItsLevelAndLeavesTheMixer) {
    ToneSettings tone;
    setDefaults(tone);
    tone.flags = kFlagStereo;
    tone.startLeft[0] = tone.startRight[0] = 997.0;
    writeFile(folder.file("Current.tdf"), toneBytes(tone));
    ui.writeSetting("playvolume", "-20dB");
    ui.writeSetting("puresynthesis", "true");
    ui.writeSetting("samplerate", "96000");
    ui.writeSetting("sampleformat", "float");
    ui.writeSetting("level", "-1");
    ASSERT_NE(ui.open(), nullptr);
    ASSERT_TRUE(play()) << "no sound device";
    ui.pump(3000);
    ui.command(IDC_STOP);
}

}  // namespace
}  // namespace zelvaro::test
