// What the player tells its owner. Every call arrives on the thread that
// created the player; each operation does nothing unless overridden.
#pragma once

#include <cstdint>

#include "audio/level_meter.h"

namespace zelvaro {

class LSoundPlayerListener {
public:
    // Playback runs: after open without the start-paused flag, and after resume.
    virtual void onPlaying(int32_t listenerData) { (void)listenerData; }
    // The player closed, by stop or at the end of its source.
    virtual void onStopped(int32_t listenerData) { (void)listenerData; }
    // Hold mode began.
    virtual void onHolding(int32_t listenerData) { (void)listenerData; }
    // After pause, and after open with the start-paused flag.
    virtual void onPaused(int32_t listenerData) { (void)listenerData; }
    // The time now heard, in 100-microsecond units.
    virtual void onPosition(int32_t listenerData, int32_t time) {
        (void)listenerData;
        (void)time;
    }
    // Levels of the block now heard; only while metering is enabled.
    virtual void onLevels(const ChannelLevels* levels, int32_t listenerData) {
        (void)levels;
        (void)listenerData;
    }

protected:
    // Listeners are never deleted through this interface.
    ~LSoundPlayerListener() = default;
};

}  // namespace zelvaro
