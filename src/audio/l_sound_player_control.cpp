// Pause, hold, seek and the overview of the source: the parts of the player's
// interface beyond plain playing and stopping.
#include <cstring>
#include <new>

#include "audio/l_sound_player.h"
#include "audio/play_time.h"
#include "signal/block_level.h"

namespace zelvaro {

namespace {

constexpr int kOverviewPoints = 512;

}  // namespace

void LSoundPlayer::pause() {
    if (state == 0 || (state & Paused))
        return;
    EnterCriticalSection(&lock);
    waveOut_->pause();
    state |= Paused;
    LeaveCriticalSection(&lock);
    if (listener != nullptr)
        listener->onPaused(listenerData);
}

void LSoundPlayer::resume() {
    if (!(state & Open))
        return;
    EnterCriticalSection(&lock);
    if (state & Holding) {
        // The loop runs out after its current pass and the device goes on
        // with the buffers queued behind it; the worker must keep up at once.
        waveOut_->breakLoop();
        setWorkerPriority(THREAD_PRIORITY_HIGHEST);
        state &= static_cast<uint16_t>(~(Holding | RaisePriority));
    }
    if (state & Paused) {
        waveOut_->restart();
        state &= static_cast<uint16_t>(~Paused);
    }
    LeaveCriticalSection(&lock);
    if (listener != nullptr)
        listener->onPlaying(listenerData);
}

void LSoundPlayer::hold() {
    if (state == 0)
        return;
    if ((state & Holding) && !(state & Paused))
        return;
    if ((state & Holding) && (state & Paused)) {
        EnterCriticalSection(&lock);
        waveOut_->restart();
        state &= static_cast<uint16_t>(~Paused);
        LeaveCriticalSection(&lock);
        return;
    }
    EnterCriticalSection(&lock);
    resetDeviceAndSeek(playPosition);
    queueLoopBuffer();
    state = Open | Holding | RaisePriority;
    pending = 0;
    setWorkerPriority(THREAD_PRIORITY_LOWEST);
    LeaveCriticalSection(&lock);
    restartFinishedWorker();
    if (listener != nullptr) {
        listener->onHolding(listenerData);
        listener->onPosition(listenerData, timeOf(playPosition));
    }
}

void LSoundPlayer::resetDeviceAndSeek(int frame) {
    waveOut_->reset();
    for (PlayBuffer& buffer : buffers)
        buffer.header.dwUser = NoPosition;
    if (source) {
        source->seek(frame);
        playPosition = source->position();
    }
}

void LSoundPlayer::queueLoopBuffer() {
    if (state == 0)
        return;
    PlayBuffer& buffer = buffers[0];
    if (buffer.memory == nullptr)
        return;
    const int q = (bufferFrames + 3) >> 2;
    fillBuffer(buffer, q);
    // The whole buffer is the q-frame block four times over, the last copy cut
    // short, so that the loop repeats a stretch short enough to sound held.
    char* data = buffer.header.lpData;
    const size_t frameBytes = static_cast<size_t>(frameBytes_);
    const size_t blockBytes = static_cast<size_t>(q) * frameBytes;
    std::memcpy(data + blockBytes, data, blockBytes);
    std::memcpy(data + 2 * blockBytes, data, blockBytes);
    std::memcpy(data + 3 * blockBytes, data,
                static_cast<size_t>(bufferFrames - 3 * q) * frameBytes);
    buffer.header.dwUser = static_cast<uint32_t>(sourcePosition());
    buffer.header.dwBufferLength = static_cast<DWORD>(buffer.capacity);
    buffer.header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    buffer.header.dwFlags |= WHDR_BEGINLOOP | WHDR_ENDLOOP;
    buffer.header.dwLoops = 0x7FFFFFFF;
    waveOut_->write(&buffer.header);
    ringIndex = 1;
    if (meteringEnabled && listener != nullptr) {
        measure(buffer, q);
        listener->onLevels(&buffer.levels, listenerData);
    }
}

void LSoundPlayer::seek(int frame) {
    if (state == 0)
        return;
    EnterCriticalSection(&lock);
    resetDeviceAndSeek(frame);
    if (state & Paused)
        waveOut_->pause();
    if (state & Holding)
        queueLoopBuffer();
    else
        ringIndex = 0;
    setWorkerPriority(THREAD_PRIORITY_LOWEST);
    state |= RaisePriority;
    pending = 0;
    LeaveCriticalSection(&lock);
    restartFinishedWorker();
    if (listener != nullptr)
        listener->onPosition(listenerData, timeOf(playPosition));
}

void LSoundPlayer::restartFinishedWorker() {
    // A worker that reached the end of its source has returned and posted
    // Ended; hold and seek clear that, so without a new worker the player
    // would stay open and silent for good. The flag, not the thread's exit
    // code, tells: a worker just past its last unlock still counts as running.
    EnterCriticalSection(&lock);
    const bool ended = workerEnded_;
    LeaveCriticalSection(&lock);
    if (state == 0 || (!ended && isRunning()))
        return;
    // It has nothing left to do but return, so the wait is short.
    waitForThreadEnd(5000);
    workerEnded_ = false;
    startThread(THREAD_PRIORITY_LOWEST);
}

void LSoundPlayer::computeOverview(uint8_t* out, int32_t start, int32_t span) {
    if (out == nullptr)
        return;
    EnterCriticalSection(&lock);
    std::memset(out, 0, kOverviewPoints);
    if (!(state & Holding)) {
        LeaveCriticalSection(&lock);
        return;
    }
    const int remembered = source ? source->position() : 0;
    const int32_t rate = source ? source->sampleRate : 44100;
    const int32_t startFrame = timeToFrames(start, rate);
    // Formed in 64 bits so that spans past 4,194,303 frames do not overflow;
    // each point still reads at most one block.
    const int64_t t = span < 0 ? 0 : span;
    const int64_t spanFrames = (t / 10000) * rate + ((t % 10000) * rate) / 10000;
    int64_t capacity = (spanFrames >> 9) + 2;
    if (capacity > kMaxBlockFrames)
        capacity = kMaxBlockFrames;
    int32_t* block =
        new (std::nothrow) int32_t[static_cast<size_t>(capacity) * (channels ? channels : 1)];
    if (block != nullptr) {
        if (source)
            source->seek(startFrame);
        int64_t previousEnd = 0;
        for (int i = 0; i < kOverviewPoints; ++i) {
            const int64_t end = ((i + 1) * spanFrames) >> 9;
            int64_t n = end - previousEnd;
            previousEnd = end;
            if (n > capacity)
                n = capacity;
            const int frames = static_cast<int>(n);
            const int samples = frames * channels;
            if (frames <= 0)
                continue;
            if (source)
                source->read(block, frames);
            else
                std::memset(block, 0, sizeof(int32_t) * static_cast<size_t>(samples));
            int32_t peak = blockPeak(block, samples) >> 11;
            out[i] = static_cast<uint8_t>(peak > 255 ? 255 : peak);
        }
        delete[] block;
        if (source)
            source->seek(remembered);
    }
    LeaveCriticalSection(&lock);
}

}  // namespace zelvaro
