#include "cli/terminal_progress.h"

#include <csignal>
#include <cstdio>

#include "cli/terminal.h"

namespace zelvaro::cli {

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) { interrupted = 1; }

// Short renders finish before a line would be worth drawing.
constexpr auto kShowAfter = std::chrono::milliseconds(500);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

}  // namespace

TerminalProgress::TerminalProgress(std::string outputName)
    : outputName_(std::move(outputName)), terminal_(isTerminal(stderr)), start_(Clock::now()), lastDraw_(start_) {
    interrupted = 0;
    previousHandler_ = std::signal(SIGINT, onInterrupt);
}

TerminalProgress::~TerminalProgress() {
    std::signal(SIGINT, previousHandler_ == SIG_ERR ? SIG_DFL : previousHandler_);
    clearLine();
}

void TerminalProgress::clearLine() {
    // Blank the line rather than rely on escape sequences, which older
    // Windows consoles print as text.
    if (shown_) std::fprintf(stderr, "\r%*s\r", static_cast<int>(lineWidth_), "");
    shown_ = false;
}

void TerminalProgress::setText(int line, const std::string& text) {
    if (line == 0) caption_ = text;
}

void TerminalProgress::setProgress(double fraction) {
    if (!terminal_) return;
    Clock::time_point now = Clock::now();
    if (now - start_ < kShowAfter || (shown_ && now - lastDraw_ < kRedrawEvery)) return;
    lastDraw_ = now;
    shown_ = true;
    // The loop's bar stops short of the end; show the part of the job done.
    int percent = static_cast<int>(fraction * kRenderProgressScale * 100.0);
    if (percent > 100) percent = 100;
    int width = std::fprintf(stderr, "\r%s %s: %3d%%", caption_.c_str(), outputName_.c_str(), percent);
    if (width > 0) lineWidth_ = static_cast<size_t>(width);
    std::fflush(stderr);
}

bool TerminalProgress::pump() { return interrupted == 0; }

}  // namespace zelvaro::cli
