#include "cli/cli_render_to_file.h"

#include <cstdio>

#include "render/render_to_sink.h"
#include "cli/cli_codec.h"
#include "cli/cli_command.h"
#include "cli/cli_output_file.h"
#include "cli/cli_quality_options.h"
#include "cli/terminal.h"
#include "cli/terminal_progress.h"
#include "wavefile/file_stream.h"

namespace zelvaro::cli {

namespace {

// Why a sink failed (`creating`: at its creation): the system's reason, the
// codec's, or the size limit.
std::string reasonOf(const SoundSink& sink, const OutputFormat& format, bool creating) {
    if (sink.systemError != 0) return FileStream::describeError(sink.systemError);
    if (!sink.codecFailed()) return "the output would pass the size limit";
    const uint16_t tag = format.compressed.formatTag;
    const std::string name = formatTagName(tag);
    const std::string codec = name.empty() ? "format tag " + std::to_string(tag) : name;
    const std::string error = sink.codecError != 0 ? " (error " + std::to_string(sink.codecError) + ")" : "";
    if (creating) return "no installed codec writes " + codec + error;
    return "the " + codec + (sink.codecError != 0 ? " codec failed" + error : " codec stopped taking data");
}

// What became of the output after a failure, for the end of a message.
std::string afterFailure(OutputFile& out) {
    const bool dropped = out.discard();
    if (out.replacesWhole()) return out.existed() ? "; " + out.name() + " was left as it was" : "";
    return dropped ? "; the incomplete file was emptied" : "";
}

// Writes the output with the sink that `render` is given (a pure writer
// when format.pure is set), which it fills; the render returns a
// RenderResult and sets its failure reason for kRenderUnusable.
using Render = std::function<int(RenderProgress& progress, const SoundSinkRef& sink,
                                 const PureWavSinkRef& pureSink, std::string& failureReason)>;

int renderOutput(const Render& render, const std::string& outPath, const OutputFormat& format) {
    const bool compressed = format.compressed.formatTag != 0;
    OutputFile out(outPath);
    if (outPath == "-" && isTerminal(stdout)) {
        printError("will not write a WAV file to the terminal; redirect standard output to a file or a pipe");
        return kExitRefused;
    }
    // Ctrl+C is caught from here on, so that no temporary file outlives it.
    TerminalProgress progress(out.name());
    SoundSinkRef sink;
    PureWavSinkRef pureSink;
    if (compressed) {
        sink = out.createSink(format.compressed);
    } else if (format.pure) {
        PureWavFormat pure = *format.pure;
        pure.sampleRate = format.sampleRate;
        pure.channels = format.channels;
        pureSink = out.createSink(pure);
        sink = pureSink.sink();
    } else {
        sink = out.createSink(format.sampleRate, format.bitsPerSample, format.channels);
    }
    if (!sink) {
        printError("out of memory");
        return kExitFailed;
    }
    if (sink->failed()) {
        printError("cannot create " + out.name() + ": " + reasonOf(*sink.get(), format, true));
        return kExitFailed;
    }

    std::string failureReason;
    const int result = render(progress, sink, pureSink, failureReason);
    progress.clearLine();
    const int32_t frames = sink->framesWritten;
    const bool written = sink->finish();

    if (!written) {
        printError("writing " + out.name() + " failed: " + reasonOf(*sink.get(), format, false) + afterFailure(out));
        return kExitFailed;
    }
    if (result == kRenderUnusable) {
        printError(failureReason + afterFailure(out));
        return kExitRefused;
    }
    if (result == kRenderCancelled) {
        // The part rendered so far is kept, but never in place of a file that was there.
        if (out.replacesWhole() && out.existed()) {
            printError("cancelled" + afterFailure(out));
        } else if (int error = out.commit()) {
            printError("cancelled; keeping the part rendered so far failed: " + FileStream::describeError(error));
        } else {
            printError("cancelled; " + out.name() + " holds the first " + std::to_string(frames) + " frames");
        }
        return kExitCancelled;
    }
    if (int error = out.commit()) {
        printError("cannot replace " + out.name() + ": " + FileStream::describeError(error));
        return kExitFailed;
    }
    const std::string encoding = compressed    ? formatTagName(format.compressed.formatTag)
                                 : format.pure ? describeEncoding(*format.pure)
                                               : std::to_string(format.bitsPerSample <= 8    ? 8
                                                                : format.bitsPerSample <= 16 ? 16
                                                                                             : 32) + "-bit";
    std::fprintf(stderr, "%s: %d frames (%.3f s), %d channel%s, %s, %d Hz\n", out.name().c_str(), frames,
                 static_cast<double>(frames) / sink->sampleRate, sink->channels, sink->channels == 1 ? "" : "s",
                 (encoding.empty() ? "format tag " + std::to_string(format.compressed.formatTag) : encoding).c_str(),
                 sink->sampleRate);
    return kExitOk;
}

}  // namespace

int renderToWavFile(const SoundSourceRef& source, const std::string& outPath, const OutputFormat& format,
                    int64_t expectedFrames) {
    return renderOutput(
        [&](RenderProgress& progress, const SoundSinkRef& sink, const PureWavSinkRef&, std::string& failureReason) {
            RenderJob job;
            job.source = source;
            job.sink = sink;
            job.expectedFrames = expectedFrames;
            const int result = RenderToSink(progress, job);
            failureReason = job.failureReason;
            return result;
        },
        outPath, format);
}

int renderToWavFile(const PureSinkFiller& fill, const std::string& outPath, const OutputFormat& format) {
    return renderOutput(
        [&](RenderProgress& progress, const SoundSinkRef&, const PureWavSinkRef& pureSink,
            std::string& failureReason) {
            PureRenderJob job;
            job.sink = pureSink;
            // Without a pure format there is no pure writer, which the job refuses.
            const int result = fill(progress, job);
            failureReason = job.failureReason;
            return result;
        },
        outPath, format);
}

}  // namespace zelvaro::cli
