#include "cli/terminal.h"

#include <unistd.h>

#include <algorithm>


namespace tavro::cli {

namespace {

constexpr int kBarWidth = 30;
constexpr int kCaptionWidth = 26;

}  // namespace

TerminalProgress::TerminalProgress() : TerminalProgress(stderr, ::isatty(STDERR_FILENO) == 1) {}

TerminalProgress::TerminalProgress(std::FILE* out, bool enabled) : out_(out), enabled_(enabled) {}

TerminalProgress::~TerminalProgress() { Close(); }

void TerminalProgress::Show() {
    // Drawn once the caller has set its caption, right after showing.
    visible_ = true;
    percent_ = 0;
}

void TerminalProgress::SetCaption(const std::string& caption) {
    caption_ = caption;
    Draw();
}

void TerminalProgress::SetPosition(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (percent == percent_ && onLine_) return;
    percent_ = percent;
    Draw();
}

void TerminalProgress::Close() {
    Interrupt();
    visible_ = false;
}

void TerminalProgress::Interrupt() {
    if (!enabled_ || !onLine_) return;
    std::fputc('\n', out_);
    std::fflush(out_);
    onLine_ = false;
}

void TerminalProgress::Draw() {
    if (!enabled_ || !visible_) return;
    int filled = percent_ * kBarWidth / 100;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kBarWidth - filled), ' ');
    std::fprintf(out_, "\r%-*s [%s] %3d%%", kCaptionWidth, caption_.c_str(), bar.c_str(), percent_);
    std::fflush(out_);
    onLine_ = true;
}

void StderrMessages::ShowError(const std::string& text) {
    progress_.Interrupt();
    PrintError("Error: " + text);
}

void StderrMessages::ShowNotFound(const std::string& text) {
    progress_.Interrupt();
    PrintError("Not Found: " + text);
}

void StderrMessages::ShowWarning(const std::string& path, const std::string& text) {
    progress_.Interrupt();
    PrintWarning(path, text);
}

void PrintError(const std::string& text) {
    std::fflush(stdout);
    // Written as bytes: a name from an archive may hold any byte.
    std::string line = "tavro: " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void PrintWarning(const std::string& path, const std::string& text) { PrintError("warning: " + path + ": " + text); }

}  // namespace tavro::cli
