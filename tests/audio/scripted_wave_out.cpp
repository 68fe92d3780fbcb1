#include "scripted_wave_out.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace zelvaro::test {

ScriptedWaveOut::~ScriptedWaveOut() { stopClock(); }

std::string formatKey(const WAVEFORMATEX& format) {
    std::string kind = "pcm";
    if (format.wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
        const auto& wide = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(format);
        kind = wide.SubFormat.Data1 == 3 ? "ext-float" : wide.SubFormat.Data1 == 1 ? "ext" : "ext-other";
    } else if (format.wFormatTag != WAVE_FORMAT_PCM) {
        kind = "tag" + std::to_string(format.wFormatTag);
    }
    return std::to_string(format.nSamplesPerSec) + "/" + std::to_string(format.wBitsPerSample) + "/" + kind;
}

bool ScriptedWaveOut::taken(const WAVEFORMATEX& format) const {
    return takes.empty() || std::find(takes.begin(), takes.end(), formatKey(format)) != takes.end();
}

MMRESULT ScriptedWaveOut::query(UINT, const WAVEFORMATEX& format, DWORD flags) {
    std::lock_guard<std::mutex> guard(mutex_);
    queries_.push_back(formatKey(format));
    if (!answersQueries || !(flags & WAVE_FORMAT_QUERY))
        return MMSYSERR_NOTSUPPORTED;
    return taken(format) ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
}

MMRESULT ScriptedWaveOut::open(UINT deviceId, const WAVEFORMATEX& format, HANDLE event,
                               DWORD flags) {
    std::lock_guard<std::mutex> guard(mutex_);
    log_.push_back("open");
    openIds_.push_back(deviceId);
    openFlags_.push_back(flags);
    MMRESULT result = openCalls_ < openResults.size() ? openResults[openCalls_] : MMSYSERR_NOERROR;
    ++openCalls_;
    if (result == MMSYSERR_NOERROR && !taken(format))
        result = WAVERR_BADFORMAT;
    if (result == MMSYSERR_NOERROR) {
        format_ = {};
        const size_t size = format.wFormatTag == WAVE_FORMAT_EXTENSIBLE ? sizeof(WAVEFORMATEXTENSIBLE)
                                                                         : sizeof(WAVEFORMATEX);
        std::memcpy(&format_, &format, size);
        event_ = event;
        paused_ = false;
        headers_.clear();
        queue_.clear();
    }
    return result;
}

MMRESULT ScriptedWaveOut::prepareHeader(WAVEHDR* header) {
    std::lock_guard<std::mutex> guard(mutex_);
    const int call = prepareCalls_++;
    headers_.push_back(header);
    if (call == failPrepareAt)
        return MMSYSERR_NOMEM;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT ScriptedWaveOut::unprepareHeader(WAVEHDR* header) {
    std::lock_guard<std::mutex> guard(mutex_);
    ++unprepareCalls_;
    if (stillPlayingAnswers != 0) {
        if (stillPlayingAnswers > 0)
            --stillPlayingAnswers;
        return WAVERR_STILLPLAYING;
    }
    if (std::find(queue_.begin(), queue_.end(), header) != queue_.end())
        return WAVERR_STILLPLAYING;
    log_.push_back("unprepare");
    header->dwFlags &= ~static_cast<DWORD>(WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT ScriptedWaveOut::write(WAVEHDR* header) {
    std::lock_guard<std::mutex> guard(mutex_);
    log_.push_back("write");
    WriteRecord record;
    record.buffer = indexOf(header);
    record.bytes = header->dwBufferLength;
    record.flags = header->dwFlags;
    record.loops = header->dwLoops;
    record.queuedBefore = static_cast<int>(queue_.size());
    record.paused = paused_;
    const int16_t* data = reinterpret_cast<const int16_t*>(header->lpData);
    record.samples.assign(data, data + header->dwBufferLength / 2);
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(header->lpData);
    record.data.assign(raw, raw + header->dwBufferLength);
    writes_.push_back(std::move(record));
    header->dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    header->dwFlags |= WHDR_INQUEUE;
    if ((header->dwFlags & WHDR_BEGINLOOP) && (header->dwFlags & WHDR_ENDLOOP))
        breakRequested_ = false;
    queue_.push_back(header);
    changed_.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT ScriptedWaveOut::pause() {
    std::lock_guard<std::mutex> guard(mutex_);
    log_.push_back("pause");
    paused_ = true;
    return MMSYSERR_NOERROR;
}

MMRESULT ScriptedWaveOut::restart() {
    std::lock_guard<std::mutex> guard(mutex_);
    log_.push_back("restart");
    paused_ = false;
    return MMSYSERR_NOERROR;
}

MMRESULT ScriptedWaveOut::reset() {
    std::lock_guard<std::mutex> guard(mutex_);
    log_.push_back("reset");
    for (WAVEHDR* header : queue_)
        finish(header);
    queue_.clear();
    // A reset device runs again, as the real one does.
    paused_ = false;
    if (event_ != nullptr)
        SetEvent(event_);
    return MMSYSERR_NOERROR;
}

MMRESULT ScriptedWaveOut::breakLoop() {
    std::lock_guard<std::mutex> guard(mutex_);
    log_.push_back("breakloop");
    breakRequested_ = true;
    return MMSYSERR_NOERROR;
}

MMRESULT ScriptedWaveOut::close() {
    std::lock_guard<std::mutex> guard(mutex_);
    log_.push_back("close");
    event_ = nullptr;
    return MMSYSERR_NOERROR;
}

void ScriptedWaveOut::finish(WAVEHDR* header) {
    header->dwFlags &= ~static_cast<DWORD>(WHDR_INQUEUE);
    header->dwFlags |= WHDR_DONE;
}

int ScriptedWaveOut::complete(int n) {
    std::lock_guard<std::mutex> guard(mutex_);
    int done = 0;
    while (done < n && !paused_ && !queue_.empty()) {
        WAVEHDR* header = queue_.front();
        const bool looping = (header->dwFlags & WHDR_BEGINLOOP) && (header->dwFlags & WHDR_ENDLOOP);
        if (looping && !breakRequested_)
            break;
        if (looping)
            breakRequested_ = false;
        queue_.pop_front();
        finish(header);
        ++done;
    }
    if (done > 0 && event_ != nullptr)
        SetEvent(event_);
    return done;
}

void ScriptedWaveOut::startClock(std::chrono::microseconds period) {
    stopClock();
    clockRunning_ = true;
    clock_ = std::thread([this, period] {
        while (clockRunning_) {
            std::this_thread::sleep_for(period);
            complete(1);
        }
    });
}

void ScriptedWaveOut::stopClock() {
    clockRunning_ = false;
    if (clock_.joinable())
        clock_.join();
}

bool ScriptedWaveOut::waitForWrites(size_t n, int timeoutMs) {
    std::unique_lock<std::mutex> guard(mutex_);
    return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                             [&] { return writes_.size() >= n; });
}

std::vector<WriteRecord> ScriptedWaveOut::writes() {
    std::lock_guard<std::mutex> guard(mutex_);
    return writes_;
}

std::vector<std::string> ScriptedWaveOut::log() {
    std::lock_guard<std::mutex> guard(mutex_);
    return log_;
}

size_t ScriptedWaveOut::writeCount() {
    std::lock_guard<std::mutex> guard(mutex_);
    return writes_.size();
}

int ScriptedWaveOut::queued() {
    std::lock_guard<std::mutex> guard(mutex_);
    return static_cast<int>(queue_.size());
}

int ScriptedWaveOut::prepared() {
    std::lock_guard<std::mutex> guard(mutex_);
    return prepareCalls_;
}

int ScriptedWaveOut::unprepareCalls() {
    std::lock_guard<std::mutex> guard(mutex_);
    return unprepareCalls_;
}

bool ScriptedWaveOut::isPaused() {
    std::lock_guard<std::mutex> guard(mutex_);
    return paused_;
}

HANDLE ScriptedWaveOut::event() {
    std::lock_guard<std::mutex> guard(mutex_);
    return event_;
}

WAVEFORMATEX ScriptedWaveOut::format() {
    std::lock_guard<std::mutex> guard(mutex_);
    return format_.Format;
}

WAVEFORMATEXTENSIBLE ScriptedWaveOut::extensibleFormat() {
    std::lock_guard<std::mutex> guard(mutex_);
    return format_;
}

std::vector<std::string> ScriptedWaveOut::queries() {
    std::lock_guard<std::mutex> guard(mutex_);
    return queries_;
}

std::vector<UINT> ScriptedWaveOut::openIds() {
    std::lock_guard<std::mutex> guard(mutex_);
    return openIds_;
}

std::vector<DWORD> ScriptedWaveOut::openFlags() {
    std::lock_guard<std::mutex> guard(mutex_);
    return openFlags_;
}

int ScriptedWaveOut::indexOf(const WAVEHDR* header) const {
    // The player prepares its ring in order; the last 70 prepared are the ring.
    const size_t count = headers_.size();
    const size_t first = count > 70 ? count - 70 : 0;
    for (size_t i = first; i < count; ++i)
        if (headers_[i] == header)
            return static_cast<int>(i - first);
    return -1;
}

}  // namespace zelvaro::test
