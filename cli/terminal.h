// How the command line shows the core's progress, messages and icon list.
//
// Progress goes to stderr as a one-line bar, and only when stderr is a terminal:
// piped or redirected output stays free of it. The core's two message boxes become
// lines on stderr.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "archive/sinks.h"

namespace tavro::cli {

// A progress bar redrawn in place on one terminal line: "Caption [#####     ]  42%".
class TerminalProgress : public ProgressSink {
public:
    // A bar on stderr when stderr is a terminal, none otherwise.
    TerminalProgress();
    // Draws on `out` when `enabled`; otherwise every call does nothing.
    TerminalProgress(std::FILE* out, bool enabled);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void Show() override;
    void SetCaption(const std::string& caption) override;
    void SetPosition(int percent) override;
    void Close() override;

    // Ends the bar's line, so that a message can be printed on a line of its own;
    // the next change draws the bar again below it.
    void Interrupt();

    bool Enabled() const { return enabled_; }

private:
    void Draw();

    std::FILE* out_;
    bool enabled_;
    bool visible_ = false;
    bool onLine_ = false;  // the cursor stands at the end of a drawn bar
    std::string caption_;
    int percent_ = 0;
};

// The "Error" and "Not Found" boxes as lines on stderr: "tavro: Not Found: a.g";
// warnings as "tavro: warning: icons/a.bmp: every pixel is transparent".
class StderrMessages : public MessageSink {
public:
    explicit StderrMessages(TerminalProgress& progress) : progress_(progress) {}
    void ShowError(const std::string& text) override;
    void ShowNotFound(const std::string& text) override;
    void ShowWarning(const std::string& path, const std::string& text) override;

private:
    TerminalProgress& progress_;
};

// Collects the names extraction lists.
class CollectingIconList : public IconList {
public:
    void Append(const std::string& name) override { names_.push_back(name); }
    void SelectFirst() override {}
    const std::vector<std::string>& Names() const { return names_; }

private:
    std::vector<std::string> names_;
};

// A text as a terminal shows it: control characters (C0, DEL, and C1 in UTF-8)
// written as \xNN, everything else as it is.
std::string EscapeControls(const std::string& text);

// Writes "tavro: " and the text on a line of stderr (escaped when it is a terminal).
void PrintError(const std::string& text);
// Writes "tavro: warning: PATH: TEXT" on a line of stderr.
void PrintWarning(const std::string& path, const std::string& text);

}  // namespace tavro::cli
