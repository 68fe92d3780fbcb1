// The player and the mixer volume on the system's real waveOut device.
// Exits 77 (skip) when the system has no waveOut device.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "audio/l_sound_player.h"
#include "audio/output_devices.h"
#include "player_test_support.h"

namespace zelvaro {
namespace {

using test::PatternSource;
using test::pumpUntil;
using test::RampSource;
using test::RecordingListener;

TEST(PlayerOnWinmm, AShortSourceEndsByItselfAtItsLength) {
    RecordingListener listener;
    LSoundPlayer player;
    player.listener = &listener;
    SoundSourceRef source(new RampSource(1000, 1));
    ASSERT_TRUE(player.open(source, 0));
    ASSERT_TRUE(pumpUntil([&] { return listener.count('S') > 0; }, 10000)) << listener.summary();
    ASSERT_GE(listener.events.size(), 4u);
    EXPECT_EQ(listener.events.front().kind, 'P');
    const size_t n = listener.events.size();
    EXPECT_EQ(listener.events[n - 2], (test::ListenerEvent{'T', 226})) << listener.summary();
    EXPECT_EQ(listener.events[n - 1].kind, 'S');
    EXPECT_EQ(listener.count('S'), 1);
    EXPECT_FALSE(player.isOpen());
    EXPECT_EQ(source->refCount, 1);
}

std::string withoutPositions(const RecordingListener& listener) {
    std::string kinds;
    for (const test::ListenerEvent& e : listener.events)
        if (e.kind != 'T')
            kinds += e.kind;
    return kinds;
}

TEST(PlayerOnWinmm, ReopeningStopsTheOldPlaybackFirst) {
    RecordingListener listener;
    LSoundPlayer player;
    player.listener = &listener;
    SoundSourceRef first(new PatternSource({0, 160, 0, -160}, 2));
    SoundSourceRef second(new PatternSource({0, 160, 0, -160}, 1));
    ASSERT_TRUE(player.open(first, 0));
    test::pumpFor(200);
    ASSERT_TRUE(player.open(second, 0));
    // Positions of a continuous source are all 0; the order of the rest matters.
    EXPECT_EQ(withoutPositions(listener), "PSP");
    player.stop();
    EXPECT_EQ(withoutPositions(listener), "PSPS");
    player.stop();
    EXPECT_EQ(listener.count('S'), 2);
}

TEST(PlayerOnWinmm, ADeviceThatDoesNotExistFailsWithoutLeaking) {
    RecordingListener listener;
    LSoundPlayer player;
    player.listener = &listener;
    player.deviceId = 100;
    SoundSourceRef source(new PatternSource({0}, 1));
    DWORD handlesBefore = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
    for (int i = 0; i < 20; ++i)
        ASSERT_FALSE(player.open(source, 0));
    DWORD handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_EQ(handlesAfter, handlesBefore);
    EXPECT_EQ(source->refCount, 1);
    EXPECT_FALSE(player.isOpen());
    EXPECT_TRUE(listener.events.empty());
    // The same player then plays on a device that exists.
    player.deviceId = 0;
    ASSERT_TRUE(player.open(source, 0));
    player.stop();
    EXPECT_EQ(listener.summary(), "P T0 S");
}

// Reads the first fader or volume control of a line of the device's mixer.
bool readLineVolume(UINT device, DWORD componentType, DWORD* value) {
    UINT mixer = 0;
    if (mixerGetID(reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(device)), &mixer,
                   MIXER_OBJECTF_WAVEOUT) != MMSYSERR_NOERROR)
        return false;
    MIXERLINEA line = {};
    line.cbStruct = sizeof line;
    line.dwComponentType = componentType;
    HMIXEROBJ object = reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(mixer));
    if (mixerGetLineInfoA(object, &line, MIXER_OBJECTF_MIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) !=
            MMSYSERR_NOERROR ||
        line.cControls == 0)
        return false;
    std::vector<MIXERCONTROLA> controls(line.cControls);
    MIXERLINECONTROLSA request = {};
    request.cbStruct = sizeof request;
    request.dwLineID = line.dwLineID;
    request.cControls = line.cControls;
    request.cbmxctrl = sizeof(MIXERCONTROLA);
    request.pamxctrl = controls.data();
    if (mixerGetLineControlsA(object, &request, MIXER_OBJECTF_MIXER | MIXER_GETLINECONTROLSF_ALL) !=
        MMSYSERR_NOERROR)
        return false;
    for (const MIXERCONTROLA& control : controls) {
        if (control.dwControlType != MIXERCONTROL_CONTROLTYPE_VOLUME &&
            control.dwControlType != MIXERCONTROL_CONTROLTYPE_FADER)
            continue;
        MIXERCONTROLDETAILS_UNSIGNED detail = {};
        MIXERCONTROLDETAILS details = {};
        details.cbStruct = sizeof details;
        details.dwControlID = control.dwControlID;
        details.cChannels = 1;
        details.cbDetails = sizeof detail;
        details.paDetails = &detail;
        if (mixerGetControlDetailsA(object, &details,
                                    MIXER_OBJECTF_MIXER | MIXER_GETCONTROLDETAILSF_VALUE) !=
            MMSYSERR_NOERROR)
            return false;
        *value = detail.dwValue;
        return true;
    }
    return false;
}

TEST(PlayVolumeOnWinmm, TheSpeakerVolumeReadsBackAsSet) {
    DWORD value = 0;
    if (!readLineVolume(0, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, &value))
        GTEST_SKIP() << "device 0 has no speaker volume control in its mixer";
    const int volumes[] = {-20, -6, 0, -127};
    for (int volume : volumes) {
        SCOPED_TRACE(volume);
        setPlayVolume(0, static_cast<DbValue>(volume), 0);
        ASSERT_TRUE(readLineVolume(0, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, &value));
        EXPECT_EQ(value, mixerVolumeValue(static_cast<DbValue>(volume)));
    }
    setPlayVolume(0, 0, 0);
}

}  // namespace
}  // namespace zelvaro

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (waveOutGetNumDevs() == 0) {
        std::printf("SKIP: no waveOut device on this system\n");
        return 77;
    }
    return RUN_ALL_TESTS();
}
