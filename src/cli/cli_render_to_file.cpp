#include "cli/cli_render_to_file.h"

#include <cstdio>
#include <filesystem>

#include "app/render/render_to_sink.h"
#include "cli/cli_codec.h"
#include "cli/cli_command.h"
#include "cli/terminal_progress.h"
#include "wavefile/wav_file.h"

namespace zelvaro::cli {

bool removeOutputFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && std::filesystem::remove(path, ec);
}

int renderToWavFile(const SoundSourceRef& source, const std::string& outPath, const OutputFormat& format,
                    int64_t expectedFrames) {
    const bool compressed = format.compressed.formatTag != 0;
    SoundSinkRef sink = compressed ? createWavSinkForFormat(outPath.c_str(), format.compressed)
                                   : createWavSink(outPath.c_str(), format.sampleRate, 0, format.bitsPerSample,
                                                   format.channels);
    if (!sink) {
        printError("out of memory");
        return kExitFailed;
    }
    if (sink->failed()) {
        printError("cannot create " + outPath);
        return kExitFailed;
    }

    RenderJob job;
    job.source = source;
    job.sink = sink;
    job.expectedFrames = expectedFrames;
    int result;
    {
        TerminalProgress progress(outPath);
        result = RenderToSink(progress, job);
    }
    const int32_t frames = sink->framesWritten;
    const bool written = sink->finish();

    if (!written) {
        const bool removed = removeOutputFile(outPath);
        printError("writing " + outPath + " failed (is the disk full?)" +
                   (removed ? "; the incomplete file was removed" : ""));
        return kExitFailed;
    }
    if (result == kRenderUnusable) {
        printError(job.failureReason);
        removeOutputFile(outPath);
        return kExitRefused;
    }
    if (result == kRenderCancelled) {
        printError("cancelled; " + outPath + " holds the first " + std::to_string(frames) + " frames");
        return kExitCancelled;
    }
    const std::string encoding = compressed ? formatTagName(format.compressed.formatTag)
                                 : std::to_string(format.bitsPerSample <= 8    ? 8
                                                  : format.bitsPerSample <= 16 ? 16
                                                                               : 32) + "-bit";
    std::printf("%s: %d frames (%.3f s), %d channel%s, %s, %d Hz\n", outPath.c_str(), frames,
                static_cast<double>(frames) / sink->sampleRate, sink->channels, sink->channels == 1 ? "" : "s",
                (encoding.empty() ? "format tag " + std::to_string(format.compressed.formatTag) : encoding).c_str(),
                sink->sampleRate);
    return kExitOk;
}

}  // namespace zelvaro::cli
