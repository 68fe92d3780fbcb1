// Adapters decide whether a source needs a converter node to fit a target
// (a sink's channel count, rate or peak level) and insert one.
#pragma once

#include <cstdint>

#include "signal/sound_source.h"

namespace zelvaro {

class FormatAdapter {
public:
    virtual ~FormatAdapter() = default;
    // The input itself when it already fits, is absent or failed; otherwise a
    // new node over it (an empty handle when the node cannot be allocated).
    // The input handle is not changed.
    virtual SoundSourceRef apply(const SoundSourceRef& input) const = 0;
};

// 1 over a stereo input gives a StereoToMono, 2 over a mono input a
// MonoToStereo; every other combination passes the input through.
class ChannelCountAdapter : public FormatAdapter {
public:
    explicit ChannelCountAdapter(uint16_t count) : channelCount(count) {}
    SoundSourceRef apply(const SoundSourceRef& input) const override;

    uint16_t channelCount;
};

}  // namespace zelvaro
