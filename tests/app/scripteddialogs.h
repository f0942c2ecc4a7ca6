// Dialogs that answer from a script and record what was asked, for driving the real
// windows in tests.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/dialogs.h"

namespace tavro::test {

struct FileAnswer {
    std::string fileName;
    int filterIndex = 1;
};

class ScriptedDialogs : public app::Dialogs {
public:
    std::deque<std::optional<FileAnswer>> files;  // the next answer: a file, or cancel
    std::deque<std::optional<std::uint32_t>> colors;
    std::vector<std::string> asked;  // "title|filter|file name" as each file dialog opened
    std::vector<std::string> boxes;  // "caption|text|detail", the error box with "stop:" before

    bool RunFileDialog(app::FileDialogKind, app::FileDialogState& state) override {
        asked.push_back(state.title + "|" + state.filter + "|" + state.fileName);
        const std::optional<FileAnswer> answer = files.empty() ? std::nullopt : files.front();
        if (!files.empty()) files.pop_front();
        if (!answer) return false;
        state.fileName = answer->fileName;
        state.filterIndex = answer->filterIndex;
        return true;
    }
    std::optional<std::uint32_t> PickColor(std::uint32_t) override {
        const std::optional<std::uint32_t> color = colors.empty() ? std::nullopt : colors.front();
        if (!colors.empty()) colors.pop_front();
        return color;
    }
    void ShowStopBox(const std::string& caption, const std::string& text, const std::string& detail) override {
        boxes.push_back("stop:" + caption + "|" + text + "|" + detail);
    }
    void ShowMessageBox(const std::string& caption, const std::string& text, bool owned) override {
        boxes.push_back(caption + "|" + text + (owned ? "|owned" : "|"));
    }
};

}  // namespace tavro::test
