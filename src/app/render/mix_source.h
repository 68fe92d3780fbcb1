// Adds the samples of two sources of one format, with 32-bit wrap-around as
// the tone generator adds its oscillators: two shares of a tone, rendered
// side by side, make the whole tone again.
#pragma once

#include "signal/sound_filter.h"

#include <memory>

namespace zelvaro {

class MixSource : public SoundFilter {
public:
    // Position, length and peak level are the first source's (each share of
    // a tone declares the whole tone's peak). Failed when either source is
    // unusable or their rate or channel count differ.
    MixSource(const SoundSourceRef& first, const SoundSourceRef& second);

    void read(int32_t* samples, int frames) override;
    void seek(int frame) override;

    SoundSourceRef other;

private:
    std::unique_ptr<int32_t[]> scratch;
};

}  // namespace zelvaro
