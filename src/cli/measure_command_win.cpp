// zelvaro-render measure: plays an exponential sweep through a waveOut
// device while recording a waveIn device, then deconvolves the recording
// into the loop's impulse response.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_impulse_files.h"
#include "cli/cli_options.h"
#include "cli/cli_output_set.h"
#include "impulse/exp_sweep.h"
#include "impulse/impulse_measurement.h"
#include "wavefile/pure_quantiser.h"
#include "wavefile/sample_file.h"

namespace zelvaro::cli {

namespace {

// Seconds of recording past the sweep: the loop's own delay (a sound
// server's monitor of an idle sink answers up to about 2 s late) and the
// response's tail.
constexpr double kRecordPastSweepSeconds = 4.0;
// Silence played before the sweep, so that the recording is running when the
// sweep starts: a capture stream starts later than it is asked to (under a
// sound server, by tens of milliseconds).
constexpr double kSilenceBeforeSweepSeconds = 1.0;
// Silence played after the sweep, so that a device that stops at the end
// of its last buffer has passed the sweep's end through.
constexpr double kSilenceAfterSweepSeconds = 0.5;

// The 16-bit steps in full scale 1.0, both ways: the quantiser plays the
// sweep at this scale and the recording is read back at it, so that a loop
// of gain 1 measures 0 dB.
constexpr double kPcm16StepsPerFullScale = 32768.0;
// The dither's seed: the same noise on every run and every build.
constexpr uint64_t kDitherSeed = 1;

// The sweep in 16-bit samples with triangular dither of ±1 step, after
// `leadFrames` and before `tailFrames` of silence.
std::vector<int16_t> toPcm16(const std::vector<double>& samples, size_t leadFrames, size_t tailFrames) {
    std::vector<int16_t> out(leadFrames + samples.size() + tailFrames, 0);
    // The quantiser writes little-endian 16-bit samples, as waveOut takes them.
    PureQuantiser(SampleEncoding::kPcm16, kDitherSeed)
        .convert(samples.data(), samples.size(), 1.0, reinterpret_cast<uint8_t*>(out.data() + leadFrames));
    return out;
}

std::string deviceName(bool input, UINT id) {
    if (input) {
        WAVEINCAPSA caps = {};
        if (waveInGetDevCapsA(id, &caps, sizeof caps) == MMSYSERR_NOERROR)
            return caps.szPname;
    } else {
        WAVEOUTCAPSA caps = {};
        if (waveOutGetDevCapsA(id, &caps, sizeof caps) == MMSYSERR_NOERROR)
            return caps.szPname;
    }
    return "the default device";
}

// Frames of each recording buffer: 50 ms at 44.1 kHz.
constexpr size_t kRecordBufferFrames = 2205;

class Loop {
public:
    ~Loop() {
        if (out) {
            waveOutReset(out);
            if (outHeader.dwFlags & WHDR_PREPARED)
                waveOutUnprepareHeader(out, &outHeader, sizeof outHeader);
            waveOutClose(out);
        }
        if (in) {
            waveInReset(in);
            for (WAVEHDR& header : inHeaders)
                if (header.dwFlags & WHDR_PREPARED)
                    waveInUnprepareHeader(in, &header, sizeof header);
            waveInClose(in);
        }
    }

    // Plays `played` while recording into `recorded`, whose size is what to
    // record; `startFrame` gets the frame of the recording at which playback
    // started. A message names a failure.
    bool run(UINT outputDevice, UINT inputDevice, int rate, std::vector<int16_t>& played,
             std::vector<int16_t>& recorded, double& startFrame, std::string& error) {
        WAVEFORMATEX format = {};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = 1;
        format.nSamplesPerSec = static_cast<DWORD>(rate);
        format.wBitsPerSample = 16;
        format.nBlockAlign = 2;
        format.nAvgBytesPerSec = format.nSamplesPerSec * 2;
        if (waveInOpen(&in, inputDevice, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
            in = nullptr;
            error = "cannot open the input device (" + deviceName(true, inputDevice) + ") for 16-bit mono at " +
                    std::to_string(rate) + " Hz";
            return false;
        }
        if (waveOutOpen(&out, outputDevice, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
            out = nullptr;
            error = "cannot open the output device (" + deviceName(false, outputDevice) + ") for 16-bit mono at " +
                    std::to_string(rate) + " Hz";
            return false;
        }
        // Many short buffers rather than one: the first to come back shows
        // that sound is really arriving.
        inHeaders.resize((recorded.size() + kRecordBufferFrames - 1) / kRecordBufferFrames);
        for (size_t i = 0; i < inHeaders.size(); ++i) {
            WAVEHDR& header = inHeaders[i];
            const size_t first = i * kRecordBufferFrames;
            header.lpData = reinterpret_cast<LPSTR>(recorded.data() + first);
            header.dwBufferLength = static_cast<DWORD>(2 * std::min(kRecordBufferFrames, recorded.size() - first));
            if (waveInPrepareHeader(in, &header, sizeof header) != MMSYSERR_NOERROR ||
                waveInAddBuffer(in, &header, sizeof header) != MMSYSERR_NOERROR) {
                error = "the input device refused its buffers";
                return false;
            }
        }
        outHeader.lpData = reinterpret_cast<LPSTR>(played.data());
        outHeader.dwBufferLength = static_cast<DWORD>(played.size() * 2);
        if (waveOutPrepareHeader(out, &outHeader, sizeof outHeader) != MMSYSERR_NOERROR) {
            error = "the output device refused its buffer";
            return false;
        }
        if (waveInStart(in) != MMSYSERR_NOERROR) {
            error = "the input device did not start";
            return false;
        }
        // A sound server's capture of an idle sink can take a second or two
        // to deliver its first sound.
        if (!waitFor([&] { return (inHeaders.front().dwFlags & WHDR_DONE) != 0; }, 10000)) {
            error = "the input device delivered nothing within 10 s";
            return false;
        }
        MMTIME position = {};
        position.wType = TIME_SAMPLES;
        waveInGetPosition(in, &position, sizeof position);
        startFrame = position.wType == TIME_SAMPLES ? position.u.sample : kRecordBufferFrames;
        if (waveOutWrite(out, &outHeader, sizeof outHeader) != MMSYSERR_NOERROR) {
            error = "the output device did not start";
            return false;
        }
        const DWORD limit = static_cast<DWORD>(1000.0 * recorded.size() / rate) + 10000;
        if (!waitFor([&] { return (inHeaders.back().dwFlags & WHDR_DONE) && (outHeader.dwFlags & WHDR_DONE); }, limit)) {
            error = "the devices did not finish in time";
            return false;
        }
        return true;
    }

private:
    template <class Done>
    static bool waitFor(Done done, DWORD milliseconds) {
        const ULONGLONG limit = GetTickCount64() + milliseconds;
        while (!done()) {
            if (GetTickCount64() > limit)
                return false;
            Sleep(10);
        }
        return true;
    }

    HWAVEOUT out = nullptr;
    HWAVEIN in = nullptr;
    WAVEHDR outHeader = {};
    std::vector<WAVEHDR> inHeaders;
};

}  // namespace

int runMeasure(const std::vector<std::string>& args) {
    std::vector<OptionSpec> specs = sweepOptionSpecs();
    specs.push_back({"device", 0, 255, {}});
    specs.push_back({"input", 0, 255, {}});
    specs.push_back({"harmonics", 1, kMaxHarmonicOrder, {}});
    const ParsedArgs parsed = parseArgs(args, specs, 1);
    if (!parsed.error.empty()) {
        printError(parsed.error + " (see zelvaro-render --help)");
        return kExitRefused;
    }
    SweepRequest request;
    request.peakDbfs = -6.0;  // headroom for a loop that gains
    if (!readSweepRequest(parsed, request))
        return kExitRefused;
    const int harmonics = static_cast<int>(parsed.value("harmonics").value_or(1));
    // Every output is checked before the sweep is played, not after.
    OutputSet outputs;
    addImpulseOutputs(outputs, parsed.positional[0], harmonics);
    if (const int refused = checkOutputs(outputs)) return refused;
    const ExpSweep sweep(request);
    warnOfSweepLength(sweep, request);
    const std::vector<double> samples = sweep.samples();
    const size_t lead = static_cast<size_t>(kSilenceBeforeSweepSeconds * request.rateHz);
    std::vector<int16_t> played =
        toPcm16(samples, lead, static_cast<size_t>(kSilenceAfterSweepSeconds * request.rateHz));
    std::vector<int16_t> recorded(lead + samples.size() +
                                  static_cast<size_t>(kRecordPastSweepSeconds * request.rateHz));
    const UINT output = parsed.value("device") ? static_cast<UINT>(*parsed.value("device")) : WAVE_MAPPER;
    const UINT input = parsed.value("input") ? static_cast<UINT>(*parsed.value("input")) : WAVE_MAPPER;
    std::printf("playing a %g to %g Hz sweep of %.2f s on %s, recording %s\n", request.fromHz, request.toHz,
                sweep.lengthSeconds(), deviceName(false, output).c_str(), deviceName(true, input).c_str());
    std::fflush(stdout);
    double startFrame = 0.0;
    std::string error;
    {
        Loop loop;
        if (!loop.run(output, input, request.rateHz, played, recorded, startFrame, error)) {
            printError(error);
            return kExitFailed;
        }
    }
    SampleFile recording;
    recording.rateHz = request.rateHz;
    recording.channels.emplace_back(recorded.size());
    for (size_t n = 0; n < recorded.size(); ++n)
        recording.channels[0][n] = recorded[n] / kPcm16StepsPerFullScale;
    std::printf("playback started at frame %.0f of the recording; the delay below runs from there to the sweep's\n"
                "arrival, less the %.0f ms of silence played before it\n",
                startFrame, 1000.0 * kSilenceBeforeSweepSeconds);
    const RecordingCheck check = checkRecording(recording.channels, 0, fullScaleOf(16), sweep);
    if (const int refused = refuseOrWarn(check, "the recording", sweep)) return refused;
    return writeImpulseResponses(outputs, recording, check, sweep, harmonics, startFrame + static_cast<double>(lead));
}

}  // namespace zelvaro::cli
