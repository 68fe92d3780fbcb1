// File > Save As Wav...: the current tone rendered into a WAV file (16-bit
// at 44,100 Hz, or with pure synthesis in the playback rate and format)
// behind a progress dialog that can be cancelled.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "render/pure_render_to_sink.h"
#include "render/render_to_sink.h"
#include "tone/tone_settings.h"
#include "ui/l_progress_dialog.h"

namespace zelvaro {

// The progress dialog of a render: a job of the chain runs RenderToSink, a
// job of the pure path RenderPureToSink.
class SaveWavProgress final : public LProgressDialog, public RenderProgress {
public:
    // `path` is the file the user asked for. The job's sink writes `written`:
    // a temporary file beside it that takes its name once closed (after a
    // finished or a cancelled render), or `path` itself when `written` is
    // null. What the sink wrote is removed when the render fails, so that no
    // short file is left looking complete, and a file that was at `path`
    // stays as it was unless it was written in place. The job outlives the
    // dialog.
    SaveWavProgress(RenderJob* job, const char* path, const char* written = nullptr);
    SaveWavProgress(PureRenderJob* job, const char* path, const char* written = nullptr);

    // True when the whole tone reached the file. Otherwise, unless the user
    // cancelled, says why in a message box owned by the dialog.
    int Work() override;

    void setText(int line, const std::string& text) override { SetText(text.c_str(), line); }
    // The bar moves in whole percents: a block that would not move it costs
    // no message.
    void setProgress(double fraction) override;
    // Services the dialog's messages at most every kPumpIntervalMs: a block
    // takes well under a millisecond, and asking the window system once per
    // block would cost more than the render itself takes.
    bool pump() override;

    const char* path;
    const char* written;
    // Set once the job has begun (a Cancel at once stops it before).
    bool rendered = false;

    static constexpr DWORD kPumpIntervalMs = 15;

private:
    // The job's render, its writer, and its reason for a refusal.
    std::function<int(RenderProgress&)> render_;
    const SoundSinkRef* sink_;
    const std::string* failureReason_;
    int shownPercent = -1;
    bool pumped = false;
    DWORD lastPump = 0;
};

// The command: refuses a tone without a fixed duration, or with a duration of
// 0 ms, with a "No Duration Specified" message that says which; asks for a
// file name (starting in "filedir", which it then updates) and renders the
// tone into that file.
void SaveAsWav(HWND owner, const ToneSettings& tone);

// The render into `path` without the questions. A cancelled render leaves
// the frames written so far in a valid file; a failed one leaves no new file,
// and a file that was there untouched. With the Play Settings choice of
// double precision, the same 16-bit file is rendered on the pure path with
// TPDF dither of one step.
void SaveToneAsWav(HWND owner, const ToneSettings& tone, const char* path);

}  // namespace zelvaro
