// Streams a SoundSource to a waveOut device as 16-bit PCM, or a PureSource as
// 16- or 24-bit PCM or 32-bit float, through a ring of prepared buffers that
// a worker thread keeps queued. Every operation is
// called on the thread that created the player (the user-interface thread),
// and every listener call arrives there, carried by a hidden window.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "audio/l_thread.h"
#include "audio/level_meter.h"
#include "audio/play_format.h"
#include "audio/sound_player_listener.h"
#include "audio/wave_out_device.h"
#include "signal/pure_source.h"
#include "signal/sound_source.h"
#include "wavefile/pure_quantiser.h"

namespace zelvaro {

// open flags.
constexpr uint16_t kOpenPaused = 0x1;       // start paused
constexpr uint16_t kOpenPrebuffered = 0x2;  // start only once 42 buffers are queued

class LSoundPlayer : public LThread {
public:
    static constexpr int BufferCount = 70;
    // A header's user value when its buffer holds no block to report.
    static constexpr uint32_t NoPosition = 0x80000000u;
    // The ring index at which a prebuffered start lets the device run.
    static constexpr int StartIndex = 42;
    // Consecutive passes that find the current buffer still queued before the
    // device is given up as stalled (each waits at most 100 ms).
    static constexpr int StallLimit = 280;
    // Sources that may exceed this are played through a peak limiter.
    static constexpr int32_t OutputPeak = 0x7FFF0;

    // state bits.
    enum : uint16_t {
        Open = 0x01,
        Paused = 0x02,
        Holding = 0x04,
        StartPending = 0x08,
        RaisePriority = 0x10,
        NoTailThrottle = 0x20,
    };
    // pending bits.
    enum : uint16_t {
        PositionChanged = 0x1,
        LevelsChanged = 0x2,
        Ended = 0x4,
    };

    // Plays through the system's waveOut devices.
    LSoundPlayer();
    // Plays through the given device layer, which must outlive the player.
    explicit LSoundPlayer(WaveOutDevice& device);
    ~LSoundPlayer() override;

    // Starts playing source (the caller's handle is not changed); a player that
    // is open is stopped first. False, with nothing left open, when the source
    // is absent or failed, the device cannot be opened directly or through the
    // mapper, or the buffers cannot be prepared.
    bool open(const SoundSourceRef& source, uint16_t flags);
    // Starts playing a pure source at its own rate, each sample multiplied by
    // `gain` and quantised to `encoding` (with TPDF dither where a seed is
    // given and the format is 16- or 24-bit); nothing is limited here, so the
    // caller holds the source within full scale. A buffer holds a tenth of a
    // second at every rate, so the ring queues the same time of sound. Fails
    // as open does; a source with a length of 0 plays until stopped. Seek is
    // ignored, as generators ignore it.
    bool openPure(PureSourcePtr source, SampleEncoding encoding, double gain,
                  std::optional<uint64_t> ditherSeed, uint16_t flags);
    // The format openPure should be given for `wanted` on the device deviceId
    // names: `wanted` or the nearest one the device says it takes.
    PlayFormatChoice chooseFormat(const PlayFormat& wanted, uint8_t channelCount) {
        return choosePlayFormat(*waveOut_, static_cast<UINT>(static_cast<int32_t>(deviceId)), wanted,
                                channelCount);
    }
    // Plays through `device` (which must outlive the player) from the next
    // open on; ignored while open. For a test's scripted device in a window
    // that owns its player.
    void useDevice(WaveOutDevice& device) {
        if (state.load() == 0)
            waveOut_ = &device;
    }
    // Stops and releases everything; does nothing when closed.
    void stop();
    bool isOpen() const { return state.load() != 0; }

    void pause();
    // Leaves hold mode and pause.
    void resume();
    // Loops a short block at the play position while the ring refills behind it.
    void hold();
    // Moves playback to a source frame.
    void seek(int frame);
    // 512 peak values (0..255) of the source over [start, start + span), both
    // in 100-microsecond units; all zero outside hold mode.
    void computeOverview(uint8_t* out, int32_t start, int32_t span);

    // Owner-set before open: the waveOut device index; negative means the mapper.
    int8_t deviceId = 0;
    LSoundPlayerListener* listener = nullptr;
    int32_t listenerData = 0;
    // Read by the worker while the owner may set it.
    std::atomic<uint8_t> meteringEnabled{0};

    // For tests and diagnostics.
    uint16_t stateBits() const { return state.load(); }
    HWND windowHandle() const { return window; }

protected:
    void run() override;

private:
    struct PlayBuffer {
        HGLOBAL memory;
        int32_t capacity;
        WAVEHDR header;
        ChannelLevels levels;
    };

    void construct();
    // Opens the device directly, then through the mapper.
    bool openDevice(const WAVEFORMATEX& format);
    // After the device is open: the ring, the state and the worker. False,
    // with everything released and closed, when any of them fails.
    bool startRing(uint16_t flags);
    void releaseSources();
    int32_t sourcePosition() const;
    int32_t sourceLength() const;
    bool prepareBuffers();
    void releaseBuffers(int budgetMs);
    void queueLoopBuffer();
    // Under the lock: drops what the device holds and moves the source to `frame`.
    void resetDeviceAndSeek(int frame);
    void convertToBuffer(PlayBuffer& buffer, int frames);
    void readSource(int frames);
    // Reads `frames` frames from whichever source plays into the buffer's data.
    void fillBuffer(PlayBuffer& buffer, int frames);
    void measure(PlayBuffer& buffer, int frames);
    void post();
    int32_t timeOf(int32_t frames) const;
    void setWorkerPriority(int priority);
    void restartFinishedWorker();
    void handleNotification();
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    WinmmWaveOutDevice winmm_;
    WaveOutDevice* waveOut_;

    CRITICAL_SECTION lock;
    HANDLE deviceEvent = nullptr;
    HWND window = nullptr;
    // Written by the worker under the lock and read without it by the
    // user-interface thread, hence atomic.
    std::atomic<int32_t> playPosition{0};
    std::atomic<uint16_t> state{0};
    uint16_t pending = 0;
    // Set under the lock by a worker that is about to return; a worker that
    // has set it will not queue again, so hold and seek must start a new one.
    bool workerEnded_ = false;
    SoundSourceRef source;
    ChannelLevels levels;
    int32_t* scratch = nullptr;
    int32_t bufferFrames = 0;
    uint8_t channels = 0;
    // Bytes of one frame on the device.
    int frameBytes_ = 0;
    // The pure path: its source, quantiser and gain, the frames read so far.
    PureSourcePtr pure_;
    std::optional<PureQuantiser> quantiser_;
    double gain_ = 1.0;
    std::vector<double> pureScratch_;
    int64_t pureFramesRead_ = 0;
    PlayBuffer buffers[BufferCount];
    uint8_t ringIndex = 0;
};

}  // namespace zelvaro
