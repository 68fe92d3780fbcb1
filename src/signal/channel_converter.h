// Nodes that change a chain's channel count.
#pragma once

#include <memory>

#include "signal/sound_filter.h"

namespace zelvaro {

class ChannelConverter : public SoundFilter {
protected:
    ChannelConverter(const SoundSourceRef& source, uint8_t outputChannels);

    // Pulls `frames` upstream frames into `buffer`, one block at a time, and
    // hands each block to `convert`.
    template <typename Convert>
    void readBlocks(int32_t* samples, int frames, Convert convert);

    // kMaxBlockFrames frames of the upstream's channel count.
    std::unique_ptr<int32_t[]> buffer;
};

// Each upstream sample is written twice, as left and right.
class MonoToStereo : public ChannelConverter {
public:
    explicit MonoToStereo(const SoundSourceRef& source);
    void read(int32_t* samples, int frames) override;
};

// Keeps the left sample of each frame; the right one is dropped, not mixed in,
// so a tone on the left keeps its full level.
class StereoToMono : public ChannelConverter {
public:
    explicit StereoToMono(const SoundSourceRef& source);
    void read(int32_t* samples, int frames) override;
};

}  // namespace zelvaro
