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

std::string EscapeControls(const std::string& text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        // C1 controls arrive decoded as UTF-8: C2 80 to C2 9F.
        const bool c1 = c == 0xC2 && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80;
        if (c < 0x20 || c == 0x7F || c1) {
            const unsigned code = c1 ? static_cast<unsigned char>(text[++i]) : c;
            out += "\\x";
            out += kHex[code >> 4];
            out += kHex[code & 0xF];
        } else {
            out += text[i];
        }
    }
    return out;
}

void PrintError(const std::string& text) {
    std::fflush(stdout);
    // Written as bytes: a name from an archive may hold any byte. On a terminal its
    // control bytes are escaped, as they are on stdout.
    static const bool terminal = ::isatty(STDERR_FILENO) == 1;
    std::string line = "tavro: " + (terminal ? EscapeControls(text) : text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void PrintWarning(const std::string& path, const std::string& text) { PrintError("warning: " + path + ": " + text); }

}  // namespace tavro::cli
