#include "app/save_as_wav.h"

#include <cstring>
#include <string>

#include "app/file_dialog.h"
#include "app/play_choices.h"
#include "app/play_settings_dialog.h"
#include "render/pure_parallel_source.h"
#include "render/pure_render_to_sink.h"
#include "render/render_source.h"
#include "render/tone_length.h"
#include "signal/frame_count.h"
#include "signal/random_generator.h"
#include "signal/signal_source.h"
#include "wavefile/file_stream.h"
#include "wavefile/wav_file.h"
#include "wavefile/pure_wav_sink.h"

namespace zelvaro {

namespace {

constexpr char kCaption[] = "Saving Wave File";
constexpr char kNoDurationTitle[] = "No Duration Specified";
constexpr char kNoDurationText[] =
    "Tones can only be saved as wav files if they are a fixed duration tone.\r\n\r\n"
    "Select the Constant (Specified Duration) or Sweep items from the Tones menu.";
// A fixed-duration tone whose duration is still 0 ms already has the right
// kind: the user has to set the duration instead.
constexpr char kZeroDurationText[] =
    "The duration of this tone is 0 ms.\r\n\r\n"
    "Set its Duration value in the list (double click it to change it) before saving the tone as a wav file.";

constexpr int32_t kRate = 44100;
// An empty file of a new name in `path`'s folder, or "" when none can be made.
std::string temporaryFileBeside(const char* path) {
    std::string folder = folderOf(path);
    if (folder.empty()) folder = ".";
    // The ANSI function answers in MAX_PATH bytes, too few for a folder
    // whose name takes several UTF-8 bytes to a character.
    wchar_t wideFolder[MAX_PATH];
    wchar_t wideTemp[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, folder.c_str(), -1, wideFolder, MAX_PATH) ||
        !GetTempFileNameW(wideFolder, L"zel", 0, wideTemp))
        return "";
    char temp[kFileNameSize];
    if (!WideCharToMultiByte(CP_ACP, 0, wideTemp, -1, temp, sizeof temp, nullptr, nullptr)) {
        DeleteFileW(wideTemp);
        return "";
    }
    return temp;
}

}  // namespace

SaveWavProgress::SaveWavProgress(RenderJob* job, const char* path, const char* written)
    : LProgressDialog(kCaption),
      path(path),
      written(written ? written : path),
      render_([job](RenderProgress& progress) { return RenderToSink(progress, *job); }),
      sink_(&job->sink),
      failureReason_(&job->failureReason) {}

SaveWavProgress::SaveWavProgress(PureRenderJob* job, const char* path, const char* written)
    : LProgressDialog(kCaption),
      path(path),
      written(written ? written : path),
      render_([job](RenderProgress& progress) { return RenderPureToSink(progress, *job); }),
      sink_(&job->sink.sink()),
      failureReason_(&job->failureReason) {}

int SaveWavProgress::Work() {
    rendered = true;
    const SoundSinkRef& sink = *sink_;
    const bool fileCreated = sink.usable();
    const int result = render_(*this);
    // The final header is written now, while the dialog can still say that it
    // could not be.
    const bool closed = !sink || sink->finish();
    const bool inPlace = std::strcmp(written, path) == 0;
    std::string message = std::string(path) + " was not saved: ";
    if (closed && (result == kRenderCancelled || result == kRenderFinished)) {
        if (inPlace || MoveFileExA(written, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return result == kRenderFinished;
        message += "the finished file could not take its name: " +
                   FileStream::describeError(static_cast<int>(GetLastError()));
    } else {
        const int error = sink ? sink->systemError : 0;
        message += result == kRenderUnusable ? *failureReason_
                   : error != 0              ? "writing the file failed: " + FileStream::describeError(error)
                                             : "writing the file failed (is the disk full?)";
    }
    message += ".";
    if (fileCreated && DeleteFileA(written) && inPlace) message += "\r\n\r\nThe incomplete file was removed.";
    if (!inPlace && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        message += "\r\n\r\nThe file that was there is unchanged.";
    ShowError(message.c_str());
    return false;
}

void SaveWavProgress::setProgress(double fraction) {
    const int percent = static_cast<int>(fraction * 100);
    if (percent == shownPercent) return;
    shownPercent = percent;
    SetProgress(fraction);
}

bool SaveWavProgress::pump() {
    const DWORD now = GetTickCount();
    if (pumped && now - lastPump < kPumpIntervalMs) return window != nullptr;
    pumped = true;
    lastPump = now;
    return !Pump();
}

void SaveToneAsWav(HWND owner, const ToneSettings& tone, const char* path) {
    // Read at each save, as the dialog wrote it last: with pure synthesis the
    // file has the rate, sample format and level that playback has.
    const PlayChoices choices = ReadPlayChoices();
    const bool pure = choices.pure;
    // The samples playback makes, read ahead on the machine's cores.
    SoundSourceRef source = pure ? SoundSourceRef() : createRenderSource(tone);
    const int32_t rate = pure ? choices.format.sampleRate : source ? source->sampleRate : kRate;
    const uint8_t channels = pure ? signalChannels(tone) : source ? source->channels : 1;
    // A writer truncates its file at once: written under a temporary name, a
    // render that fails cannot cost the user a file that was there. Where no
    // temporary file can be made beside it, the file is written in place.
    const std::string temp = temporaryFileBeside(path);
    const char* written = temp.empty() ? path : temp.c_str();
    // The generators' own lengths stop at their int32 limit; the true
    // length shows a tone that would be cut short.
    // The pure sources count a duration at their own rate, as playback does.
    const int64_t frames = pure ? framesOfDuration(tone.durationMs, rate)
                                : framesAtRate(toneFrames(tone.durationMs), kRate, rate);
    SoundSinkRef sink;
    bool created = false;
    bool rendered = false;
    if (pure) {
        PureWavFormat format;
        format.sampleRate = rate;
        format.channels = channels;
        format.encoding = choices.format.encoding;
        format.ditherSeed = DitherSeedFor(format.encoding);
        format.gain = pureLevelGain(LevelDbfs(choices));
        PureRenderJob job;
        job.caption = kCaption;
        job.sink = createPureWavSink(written, format);
        sink = job.sink.sink();
        created = sink.usable();
        const uint64_t noiseSeed = clockSeed();
        job.makeSource = [&tone, rate, channels, noiseSeed] {
            return createPureRenderSource(tone, rate, channels, noiseSeed, pureRenderThreads());
        };
        job.frames = frames;
        SaveWavProgress progress(&job, path, written);
        progress.Run(owner);
        rendered = progress.rendered;
    } else {
        RenderJob job;
        job.caption = kCaption;
        job.source = source;
        job.sink = createWavSink(written, rate, 0, 16, channels);
        sink = job.sink;
        created = sink.usable();
        job.expectedFrames = frames;
        SaveWavProgress progress(&job, path, written);
        progress.Run(owner);
        rendered = progress.rendered;
    }
    // The last reference to the writer closes the file with its final header.
    sink.release();
    source.release();
    if (temp.empty()) return;
    // Cancelled before the render began: its empty file takes the name, as a
    // file written in place would have.
    if (created && !rendered)
        MoveFileExA(temp.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    // Whatever is still under the temporary name was not to be kept.
    DeleteFileA(temp.c_str());
}

void SaveAsWav(HWND owner, const ToneSettings& tone) {
    // The generators take a duration of 0 for none and would run for a minute.
    if (!tone.fixedDuration() || tone.durationMs == 0) {
        MessageBoxA(owner, tone.fixedDuration() ? kZeroDurationText : kNoDurationText, kNoDurationTitle,
                    MB_ICONWARNING | MB_OK);
        return;
    }
    char file[kFileNameSize] = "";
    FileDialogRequest request;
    request.save = true;
    request.title = "Save As Wav File";
    request.filter = "Wave Files\0*.wav\0";
    request.defaultExtension = "wav";
    if (!askFileName(owner, request, file)) return;
    SaveToneAsWav(owner, tone, file);
}

}  // namespace zelvaro
