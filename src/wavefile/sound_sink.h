// The write-side counterpart of SoundSource: the render loop pushes blocks of
// int32 frames (the chain's scale) into a sink, which owns its output.
#pragma once

#include <cstdint>

#include "signal/sound_source.h"

namespace zelvaro {

// Status bit of SoundSink::status: a write to the sink's file failed (a full
// disk and the like), so the file does not hold what was accepted.
constexpr uint8_t kStatusWriteError = 2;
// Status bit: the codec of a compressed format refused the stream or failed
// while encoding (see SoundSink::codecError).
constexpr uint8_t kStatusCodecError = 4;

class SoundSink {
public:
    // A channel count of 0 becomes 1 and marks the sink failed.
    SoundSink(int32_t rate, int32_t peak, uint8_t channelCount);
    virtual ~SoundSink() = default;

    SoundSink(const SoundSink&) = delete;
    SoundSink& operator=(const SoundSink&) = delete;

    // Accepts `frames` frames (frames <= kMaxBlockFrames).
    virtual void write(const int32_t* samples, int frames) = 0;
    // Cuts the data back to `frames` frames; the base does nothing.
    virtual void truncate(int frames);
    // Completes the output now rather than at the last release; true when
    // every byte the sink had to store reached its file. The sink takes no
    // further data afterwards.
    virtual bool finish();
    // How many more frames the sink's format can hold.
    virtual int64_t framesLeft() const;
    // The number of frames the sink will be given in all, told before the
    // first write, so that an output that cannot go back to its header gets
    // a header with the true length. The base does nothing.
    virtual void expectFrames(int64_t frames);

    bool failed() const { return (status & kStatusFailed) != 0; }
    bool writeError() const { return (status & kStatusWriteError) != 0; }
    bool codecFailed() const { return (status & kStatusCodecError) != 0; }
    void markFailed() { status |= kStatusFailed; }

    int32_t framesWritten = 0;
    int32_t sampleRate;
    int32_t peakLevel;
    uint8_t channels;
    uint8_t status = 0;
    uint16_t refCount = 0;
    // The system's error code behind the first failure of the output file (see
    // FileStream::lastError); 0 when none is known.
    int systemError = 0;
    // The codec's error number behind kStatusCodecError; 0 when the codec
    // reported none but stopped taking data.
    int codecError = 0;
};

// Counted handle. The holder whose release brings the count to 0 deletes the sink.
class SoundSinkRef {
public:
    SoundSinkRef() = default;
    explicit SoundSinkRef(SoundSink* sink) { assign(sink); }
    SoundSinkRef(const SoundSinkRef& other) { assign(other.sink_); }
    SoundSinkRef& operator=(const SoundSinkRef& other) {
        assign(other.sink_);
        return *this;
    }
    SoundSinkRef& operator=(SoundSink* sink) {
        assign(sink);
        return *this;
    }
    ~SoundSinkRef() { release(); }

    void assign(SoundSink* sink);
    void release();

    SoundSink* get() const { return sink_; }
    SoundSink* operator->() const { return sink_; }
    explicit operator bool() const { return sink_ != nullptr; }
    // Present and not failed: what the render loop accepts as a sink.
    bool usable() const { return sink_ != nullptr && !sink_->failed(); }

private:
    SoundSink* sink_ = nullptr;
};

}  // namespace zelvaro
