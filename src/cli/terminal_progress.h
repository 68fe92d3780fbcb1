// The render loop's progress display on a console: one line on stderr,
// rewritten in place, shown only on a terminal and only once a render has run
// for a moment. Ctrl+C cancels the render at its next block.
#pragma once

#include <chrono>
#include <string>

#include "render/render_to_sink.h"

namespace zelvaro::cli {

class TerminalProgress final : public RenderProgress {
public:
    // Installs the Ctrl+C handler for the life of the object.
    explicit TerminalProgress(std::string outputName);
    ~TerminalProgress() override;

    // Blanks the progress line, so that a message can follow on a clean line.
    void clearLine();

    void setText(int line, const std::string& text) override;
    void setProgress(double fraction) override;
    bool pump() override;

private:
    using Clock = std::chrono::steady_clock;
    std::string outputName_;
    std::string caption_;
    bool terminal_;
    bool shown_ = false;
    size_t lineWidth_ = 0;
    Clock::time_point start_;
    Clock::time_point lastDraw_;
    void (*previousHandler_)(int);
};

}  // namespace zelvaro::cli
