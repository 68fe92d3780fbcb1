// The base of every converter node: a source that wraps another one.
#pragma once

#include "signal/sound_source.h"

namespace zelvaro {

// Header values used where a node has no upstream to copy them from.
constexpr int32_t kDefaultSampleRate = 44100;
constexpr int32_t kDefaultPeakLevel = 2097152;

class SoundFilter : public SoundSource {
public:
    // Copies the upstream's header (the defaults above without one) and holds a
    // reference to it; marked failed when the upstream is absent or failed.
    explicit SoundFilter(const SoundSourceRef& source);

    // Forwarded to the upstream; without one, seek does nothing and both
    // position and length are 0.
    void seek(int frame) override;
    int position() override;
    int length() override;

    SoundSourceRef upstream;

protected:
    // Channels per frame that the upstream delivers (1 without an upstream).
    int upstreamChannels() const;
    // Reads `frames` upstream frames, or writes that many frames of silence
    // when there is no upstream.
    void pull(int32_t* samples, int frames);
};

}  // namespace zelvaro
