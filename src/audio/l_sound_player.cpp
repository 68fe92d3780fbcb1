#include "audio/l_sound_player.h"

#include <cstring>
#include <new>

#include "audio/play_format.h"
#include "audio/play_time.h"
#include "signal/block_level.h"
#include "signal/peak_limiter.h"

namespace zelvaro {

namespace {

const char kWindowClass[] = "LSoundPlayer_Window";

// The device sets WHDR_DONE from its own thread, so the flag is read afresh
// on every look.
bool isDone(const WAVEHDR& header) {
    return (*static_cast<const volatile DWORD*>(&header.dwFlags) & WHDR_DONE) != 0;
}

uint32_t userValue(const WAVEHDR& header) { return static_cast<uint32_t>(header.dwUser); }

void setUserValue(WAVEHDR& header, uint32_t value) { header.dwUser = value; }

int32_t clampToInt32(int64_t value) {
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

}  // namespace

LSoundPlayer::LSoundPlayer() : waveOut_(&winmm_) { construct(); }

LSoundPlayer::LSoundPlayer(WaveOutDevice& device) : waveOut_(&device) { construct(); }

void LSoundPlayer::construct() {
    InitializeCriticalSection(&lock);
    deviceEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    levels.count = 0;
    std::memset(buffers, 0, sizeof buffers);

    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA existing;
    if (!GetClassInfoA(instance, kWindowClass, &existing)) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = &LSoundPlayer::windowProc;
        windowClass.cbWndExtra = 4;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kWindowClass;
        RegisterClassA(&windowClass);
    }
    window = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, instance,
                             nullptr);
    if (window != nullptr)
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

LSoundPlayer::~LSoundPlayer() {
    stop();
    if (window != nullptr) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
        window = nullptr;
    }
    releaseBuffers(0);
    releaseSources();
    if (deviceEvent != nullptr)
        CloseHandle(deviceEvent);
    DeleteCriticalSection(&lock);
}

bool LSoundPlayer::open(const SoundSourceRef& input, uint16_t flags) {
    stop();
    if (window == nullptr)
        return false;
    if (!input.usable())
        return false;
    source = input;
    if (source->peakLevel > OutputPeak) {
        // Keeps every sample inside the 16-bit range after the conversion,
        // which does not clamp.
        PeakLimitAdapter adapter(OutputPeak);
        const SoundSourceRef limited = adapter.apply(source);
        source = limited;
        if (!source.usable()) {
            source.release();
            return false;
        }
    }

    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = source->channels;
    format.nSamplesPerSec = static_cast<DWORD>(source->sampleRate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(2 * source->channels);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    format.cbSize = 0;
    if (!openDevice(format)) {
        source.release();
        return false;
    }

    bufferFrames = source->sampleRate / 10;
    if (bufferFrames > kMaxBlockFrames)
        bufferFrames = kMaxBlockFrames;
    if (bufferFrames < 20)
        bufferFrames = 20;
    channels = source->channels;
    frameBytes_ = 2 * channels;
    scratch = new (std::nothrow) int32_t[static_cast<size_t>(channels) * bufferFrames];
    return startRing(flags);
}

bool LSoundPlayer::openPure(PureSourcePtr input, SampleEncoding encoding, double gain,
                            std::optional<uint64_t> ditherSeed, uint16_t flags) {
    stop();
    if (window == nullptr || input == nullptr || input->channels == 0 || input->sampleRate < 1)
        return false;
    const WAVEFORMATEXTENSIBLE format = waveFormatFor({input->sampleRate, encoding}, input->channels);
    if (!openDevice(format.Format))
        return false;
    pure_ = std::move(input);
    quantiser_.emplace(encoding, ditherSeed);
    gain_ = gain;
    pureFramesRead_ = 0;
    // A tenth of a second at every rate: 192,000 frames/s queues as long as 44,100.
    bufferFrames = pure_->sampleRate / 10;
    if (bufferFrames < 20)
        bufferFrames = 20;
    channels = pure_->channels;
    frameBytes_ = encodingBytes(encoding) * channels;
    try {
        pureScratch_.assign(static_cast<size_t>(channels) * bufferFrames, 0.0);
        // The int32 scratch serves the overview, which reads nothing here.
        scratch = new int32_t[static_cast<size_t>(channels) * bufferFrames];
    } catch (const std::bad_alloc&) {
        scratch = nullptr;
    }
    return startRing(flags);
}

bool LSoundPlayer::openDevice(const WAVEFORMATEX& format) {
    // Sign-extended, so -1 is WAVE_MAPPER.
    const UINT id = static_cast<UINT>(static_cast<int32_t>(deviceId));
    return waveOut_->open(id, format, deviceEvent, CALLBACK_EVENT) == MMSYSERR_NOERROR ||
           waveOut_->open(id, format, deviceEvent, CALLBACK_EVENT | WAVE_MAPPED) == MMSYSERR_NOERROR;
}

void LSoundPlayer::releaseSources() {
    source.release();
    pure_.reset();
    quantiser_.reset();
    pureScratch_ = std::vector<double>();
}

bool LSoundPlayer::startRing(uint16_t flags) {
    if (scratch == nullptr || !prepareBuffers()) {
        releaseBuffers(0);
        delete[] scratch;
        scratch = nullptr;
        waveOut_->close();
        releaseSources();
        return false;
    }

    state = Open | RaisePriority;
    if (flags & (kOpenPaused | kOpenPrebuffered)) {
        waveOut_->pause();
        if (flags & kOpenPaused)
            state |= Paused;
        else
            state |= StartPending | NoTailThrottle;
    }
    pending = 0;
    workerEnded_ = false;
    ringIndex = 0;
    playPosition = sourcePosition();

    startThread(THREAD_PRIORITY_LOWEST);
    if (thread == nullptr) {
        // Without a worker nothing would ever play or end: report the failure.
        waveOut_->reset();
        releaseBuffers(0);
        delete[] scratch;
        scratch = nullptr;
        releaseSources();
        waveOut_->close();
        state = 0;
        playPosition = 0;
        return false;
    }

    if (listener != nullptr) {
        if (flags & kOpenPaused)
            listener->onPaused(listenerData);
        else
            listener->onPlaying(listenerData);
        listener->onPosition(listenerData, timeOf(playPosition));
    }
    return true;
}

int32_t LSoundPlayer::sourcePosition() const {
    if (pure_)
        // A tone without a length is continuous and, like the generators, stays at 0.
        return pure_->lengthFrames > 0 ? clampToInt32(pureFramesRead_) : 0;
    return source ? source->position() : 0;
}

int32_t LSoundPlayer::sourceLength() const {
    if (pure_)
        return pure_->lengthFrames > 0 ? clampToInt32(pure_->lengthFrames) : pure_->sampleRate * 60;
    return source ? source->length() : 0;
}

bool LSoundPlayer::prepareBuffers() {
    const int32_t capacity = frameBytes_ * bufferFrames;
    bool allPrepared = true;
    // Every buffer is attempted, so that a failure leaves a consistent ring to release.
    for (PlayBuffer& buffer : buffers) {
        buffer.memory = nullptr;
        buffer.levels.count = 0;
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, static_cast<SIZE_T>(capacity));
        void* data = memory != nullptr ? GlobalLock(memory) : nullptr;
        if (data == nullptr) {
            if (memory != nullptr)
                GlobalFree(memory);
            allPrepared = false;
            continue;
        }
        buffer.capacity = capacity;
        std::memset(&buffer.header, 0, sizeof buffer.header);
        buffer.header.lpData = static_cast<LPSTR>(data);
        buffer.header.dwBufferLength = static_cast<DWORD>(capacity);
        if (waveOut_->prepareHeader(&buffer.header) != MMSYSERR_NOERROR) {
            GlobalUnlock(memory);
            GlobalFree(memory);
            allPrepared = false;
            continue;
        }
        buffer.memory = memory;
        buffer.header.dwFlags |= WHDR_DONE;
        setUserValue(buffer.header, NoPosition);
    }
    return allPrepared;
}

void LSoundPlayer::releaseBuffers(int budgetMs) {
    for (PlayBuffer& buffer : buffers) {
        if (buffer.memory == nullptr)
            continue;
        MMRESULT result = waveOut_->unprepareHeader(&buffer.header);
        while (result == WAVERR_STILLPLAYING && budgetMs > 0) {
            Sleep(50);
            budgetMs -= 50;
            result = waveOut_->unprepareHeader(&buffer.header);
        }
        GlobalUnlock(buffer.memory);
        GlobalFree(buffer.memory);
        buffer.memory = nullptr;
    }
}

void LSoundPlayer::stop() {
    if (state == 0)
        return;
    stopThread(5000);
    waveOut_->reset();
    releaseBuffers(1000);
    delete[] scratch;
    scratch = nullptr;
    releaseSources();
    waveOut_->close();
    state = 0;
    pending = 0;
    playPosition = 0;
    if (listener != nullptr)
        listener->onStopped(listenerData);
}

void LSoundPlayer::readSource(int frames) {
    if (frames <= 0)
        return;
    if (source)
        source->read(scratch, frames);
    else
        std::memset(scratch, 0, sizeof(int32_t) * static_cast<size_t>(frames) * channels);
}

void LSoundPlayer::convertToBuffer(PlayBuffer& buffer, int frames) {
    uint16_t* out = reinterpret_cast<uint16_t*>(buffer.header.lpData);
    const int count = frames * channels;
    for (int i = 0; i < count; ++i) {
        // (v + 8) >> 4 with the sum wrapping like the 32-bit register it was
        // designed for; no clamping, the limiter keeps values in range.
        const int32_t rounded = static_cast<int32_t>(static_cast<uint32_t>(scratch[i]) + 8u);
        out[i] = static_cast<uint16_t>(rounded >> 4);
    }
}

void LSoundPlayer::fillBuffer(PlayBuffer& buffer, int frames) {
    if (!pure_) {
        readSource(frames);
        convertToBuffer(buffer, frames);
        return;
    }
    if (frames <= 0)
        return;
    pure_->read(pureScratch_.data(), frames);
    pureFramesRead_ += frames;
    quantiser_->convert(pureScratch_.data(), static_cast<size_t>(frames) * channels, gain_,
                        reinterpret_cast<uint8_t*>(buffer.header.lpData));
}

void LSoundPlayer::measure(PlayBuffer& buffer, int frames) {
    buffer.levels.count = channels;
    for (int c = 0; c < channels; ++c) {
        uint32_t meanSquare;
        if (pure_) {
            // On the int32 chain's scale, so that the meter reads alike.
            double sum = 0;
            const double scale = gain_ * kChainFullScale;
            for (int f = 0; f < frames; ++f) {
                const double v = pureScratch_[static_cast<size_t>(f) * channels + c] * scale;
                sum += v * v;
            }
            const double mean = frames > 0 ? sum / frames : 0.0;
            meanSquare = mean >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(mean);
        } else {
            meanSquare = channelMeanSquare(scratch, frames, channels, c);
        }
        buffer.levels.levels[c] = levelFromMeanSquare(meanSquare);
    }
}

void LSoundPlayer::post() {
    if (window != nullptr)
        PostMessageA(window, WM_USER, 0, 0);
}

int32_t LSoundPlayer::timeOf(int32_t frames) const {
    return framesToTime(frames, pure_ ? pure_->sampleRate : source ? source->sampleRate : 44100);
}

void LSoundPlayer::setWorkerPriority(int priority) {
    if (thread != nullptr)
        SetThreadPriority(thread, priority);
}

void LSoundPlayer::run() {
    int stalls = 0;
    for (;;) {
        ResetEvent(deviceEvent);
        EnterCriticalSection(&lock);
        PlayBuffer& buffer = buffers[ringIndex];
        if (isDone(buffer.header)) {
            stalls = 0;
            if (userValue(buffer.header) != NoPosition) {
                playPosition = static_cast<int32_t>(userValue(buffer.header));
                pending |= PositionChanged;
                if (meteringEnabled) {
                    levels.count = buffer.levels.count;
                    std::memcpy(levels.levels, buffer.levels.levels, buffer.levels.count);
                    pending |= LevelsChanged;
                }
                post();
            }
            int32_t remaining = clampToInt32(static_cast<int64_t>(sourceLength()) - sourcePosition());
            bool queue = true;
            if (remaining < 16 * bufferFrames) {
                if (remaining < 1) {
                    setUserValue(buffer.header, NoPosition);
                    bool allDone = true;
                    for (const PlayBuffer& other : buffers)
                        allDone = allDone && isDone(other.header);
                    if (allDone) {
                        pending |= Ended;
                        workerEnded_ = true;
                        post();
                        LeaveCriticalSection(&lock);
                        return;
                    }
                    queue = false;
                } else if (!(state & NoTailThrottle)) {
                    // The tail goes out a few buffers at a time, in shrinking
                    // blocks, so that the last of it is heard soon after it is queued.
                    int queued = 0;
                    for (const PlayBuffer& other : buffers)
                        queued += isDone(other.header) ? 0 : 1;
                    if (queued > 3) {
                        setUserValue(buffer.header, NoPosition);
                        queue = false;
                    } else if (queued <= 1 && remaining > 64) {
                        remaining >>= 1;
                    }
                }
            }
            if (queue) {
                const int frames = remaining < bufferFrames ? remaining : bufferFrames;
                fillBuffer(buffer, frames);
                DWORD length = static_cast<DWORD>(frames * frameBytes_);
                if (length > static_cast<DWORD>(buffer.capacity))
                    length = static_cast<DWORD>(buffer.capacity);
                buffer.header.dwBufferLength = length;
                buffer.header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE | WHDR_BEGINLOOP | WHDR_ENDLOOP);
                waveOut_->write(&buffer.header);
                setUserValue(buffer.header, static_cast<uint32_t>(sourcePosition()));
                if (meteringEnabled)
                    measure(buffer, frames);
            }
            ringIndex = static_cast<uint8_t>((ringIndex + 1) % BufferCount);
            if (ringIndex == StartIndex && (state & StartPending)) {
                waveOut_->restart();
                state &= static_cast<uint16_t>(~StartPending);
            }
            LeaveCriticalSection(&lock);
        } else {
            if (state & RaisePriority) {
                SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
                state &= static_cast<uint16_t>(~RaisePriority);
            }
            if (!(state & Holding)) {
                if (stalls <= StallLimit)
                    ++stalls;
                if (stalls > StallLimit) {
                    pending |= Ended;
                    post();
                }
            }
            LeaveCriticalSection(&lock);
            if (stopEvent != nullptr) {
                const HANDLE events[2] = {stopEvent, deviceEvent};
                WaitForMultipleObjects(2, events, FALSE, 100);
            }
        }
        if (stopEvent == nullptr || WaitForSingleObject(stopEvent, 0) != WAIT_TIMEOUT)
            break;
    }
    waveOut_->reset();
}

void LSoundPlayer::handleNotification() {
    EnterCriticalSection(&lock);
    const uint16_t bits = pending;
    pending &= static_cast<uint16_t>(~(PositionChanged | LevelsChanged));
    const int32_t position = playPosition;
    const int32_t length = sourceLength();
    // A copy, so that the worker may measure the next block while the
    // listener reads this one.
    ChannelLevels heard;
    heard.count = levels.count;
    std::memcpy(heard.levels, levels.levels, levels.count);
    LeaveCriticalSection(&lock);

    if (bits & Ended) {
        if (listener != nullptr)
            listener->onPosition(listenerData, timeOf(length));
        stop();
        return;
    }
    if ((bits & PositionChanged) && listener != nullptr)
        listener->onPosition(listenerData, timeOf(position));
    if ((bits & LevelsChanged) && meteringEnabled && listener != nullptr)
        listener->onLevels(&heard, listenerData);
}

LRESULT CALLBACK LSoundPlayer::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_USER)
        return DefWindowProcA(window, message, wParam, lParam);
    LSoundPlayer* player =
        reinterpret_cast<LSoundPlayer*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    // No exception may leave a window procedure; a listener that throws loses
    // this one notification.
    try {
        if (player != nullptr)
            player->handleNotification();
    } catch (...) {
    }
    return 0;
}

}  // namespace zelvaro
