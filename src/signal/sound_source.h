// The pull-model source interface shared by generators, converters and file
// readers. Samples are int32, frames interleaved left then right; full scale
// is +-524,288 (a 16-bit PCM value times 16).
#pragma once

#include <cstdint>

#include "base/block_frames.h"

namespace zelvaro {

// Status bit of SoundSource::status and SoundSink::status.
constexpr uint8_t kStatusFailed = 1;

class SoundSource {
public:
    // A rate below 1 becomes 44100 and a channel count of 0 becomes 1; each
    // marks the source failed.
    SoundSource(int32_t rate, int32_t peak, uint8_t channelCount);
    virtual ~SoundSource() = default;

    SoundSource(const SoundSource&) = delete;
    SoundSource& operator=(const SoundSource&) = delete;

    // Writes exactly `frames` frames (frames * channels samples); frames <= kMaxBlockFrames.
    virtual void read(int32_t* samples, int frames) = 0;
    // Moves the read position to an absolute frame; generators ignore it.
    virtual void seek(int frame);
    // Frames delivered so far.
    virtual int position() = 0;
    // Total frames; a continuous source reports sampleRate * 60 and never advances.
    virtual int length() = 0;

    bool failed() const { return (status & kStatusFailed) != 0; }
    void markFailed() { status |= kStatusFailed; }

    int32_t sampleRate;
    int32_t peakLevel;
    uint8_t channels;
    uint8_t status = 0;
    uint16_t refCount = 0;
};

// A count that reaches this value stays there and the source is never deleted:
// leaking one object beats deleting it while 65,536 handles still point at it.
constexpr uint16_t kRefCountSaturated = 0xFFFF;

// Counted handle. The holder whose release brings the count to 0 deletes the source.
class SoundSourceRef {
public:
    SoundSourceRef() = default;
    explicit SoundSourceRef(SoundSource* source) { assign(source); }
    SoundSourceRef(const SoundSourceRef& other) { assign(other.source_); }
    SoundSourceRef(SoundSourceRef&& other) noexcept : source_(other.source_) {
        other.source_ = nullptr;
    }
    SoundSourceRef& operator=(const SoundSourceRef& other) {
        assign(other.source_);
        return *this;
    }
    SoundSourceRef& operator=(SoundSourceRef&& other) noexcept {
        if (this != &other) {
            release();
            source_ = other.source_;
            other.source_ = nullptr;
        }
        return *this;
    }
    SoundSourceRef& operator=(SoundSource* source) {
        assign(source);
        return *this;
    }
    ~SoundSourceRef() { release(); }

    void assign(SoundSource* source);
    void release();

    SoundSource* get() const { return source_; }
    SoundSource* operator->() const { return source_; }
    explicit operator bool() const { return source_ != nullptr; }
    // Present and not failed: what consumers accept as a source.
    bool usable() const { return source_ != nullptr && !source_->failed(); }

private:
    SoundSource* source_ = nullptr;
};

}  // namespace zelvaro
