// A waveOut device for the player's tests that behaves as the player expects
// of a real one, but plays only when told to: complete() finishes the
// buffers at the front of its queue. It logs every call and keeps a copy of
// every block written.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/wave_out_device.h"

namespace zelvaro::test {

struct WriteRecord {
    int buffer;            // ring index of the header (order of preparation)
    DWORD bytes;           // dwBufferLength
    DWORD flags;           // dwFlags as written
    DWORD loops;           // dwLoops
    int queuedBefore;      // buffers the device held when this one arrived
    bool paused;           // device paused at the time
    std::vector<int16_t> samples;
    std::vector<uint8_t> data;  // the block as written, whatever its format
};

// Rate, bits and kind of a format asked for, as "96000/24/ext",
// "44100/16/pcm" or "48000/32/ext-float".
std::string formatKey(const WAVEFORMATEX& format);

class ScriptedWaveOut : public zelvaro::WaveOutDevice {
public:
    ~ScriptedWaveOut() override;

    // Results of successive open calls (missing entries succeed).
    std::vector<MMRESULT> openResults;
    // The n-th prepareHeader call (0-based) fails; -1 for none.
    int failPrepareAt = -1;
    // This many unprepareHeader calls answer WAVERR_STILLPLAYING whatever
    // the queue holds, as a device that does not let go; -1 for every call.
    int stillPlayingAnswers = 0;
    // The formats (by formatKey) the device takes, in open and query alike;
    // empty takes every format.
    std::vector<std::string> takes;
    // False: query answers MMSYSERR_NOTSUPPORTED, as a layer that cannot tell.
    bool answersQueries = true;

    MMRESULT open(UINT deviceId, const WAVEFORMATEX& format, HANDLE event, DWORD flags) override;
    MMRESULT query(UINT deviceId, const WAVEFORMATEX& format, DWORD flags) override;
    MMRESULT prepareHeader(WAVEHDR* header) override;
    MMRESULT unprepareHeader(WAVEHDR* header) override;
    MMRESULT write(WAVEHDR* header) override;
    MMRESULT pause() override;
    MMRESULT restart() override;
    MMRESULT reset() override;
    MMRESULT breakLoop() override;
    MMRESULT close() override;

    // Finishes up to n buffers from the front of the queue, as a running
    // device would; nothing while paused, and a looping buffer only after
    // breakLoop. Returns how many finished.
    int complete(int n);
    // Plays by itself: one buffer every `period` (until stopClock).
    void startClock(std::chrono::microseconds period);
    void stopClock();

    // Waits until at least n blocks have been written.
    bool waitForWrites(size_t n, int timeoutMs = 5000);
    std::vector<WriteRecord> writes();
    std::vector<std::string> log();
    size_t writeCount();
    int queued();
    int prepared();
    // Every unprepareHeader call, answered or refused.
    int unprepareCalls();
    bool isPaused();
    HANDLE event();
    WAVEFORMATEX format();
    // The whole format of the last open, with an extensible tail if it had one.
    WAVEFORMATEXTENSIBLE extensibleFormat();
    // formatKey of every query, in order.
    std::vector<std::string> queries();
    std::vector<UINT> openIds();
    std::vector<DWORD> openFlags();

private:
    int indexOf(const WAVEHDR* header) const;
    void finish(WAVEHDR* header);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<WAVEHDR*> headers_;
    std::deque<WAVEHDR*> queue_;
    std::vector<WriteRecord> writes_;
    std::vector<std::string> log_;
    std::vector<UINT> openIds_;
    std::vector<DWORD> openFlags_;
    bool taken(const WAVEFORMATEX& format) const;

    WAVEFORMATEXTENSIBLE format_ = {};
    std::vector<std::string> queries_;
    HANDLE event_ = nullptr;
    bool paused_ = false;
    bool breakRequested_ = false;
    int prepareCalls_ = 0;
    int unprepareCalls_ = 0;
    size_t openCalls_ = 0;
    std::atomic<bool> clockRunning_{false};
    std::thread clock_;
};

}  // namespace zelvaro::test
