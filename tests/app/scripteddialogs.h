// Dialogs that answer from a script and record what was asked, and a desktop built
// with them, for driving the real windows in tests.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/desktop.h"
#include "app/dialogs.h"

namespace tavro::test {

struct FileAnswer {
    std::string fileName;
    int filterIndex = 1;
};

class ScriptedDialogs : public app::Dialogs {
public:
    struct Asked {
        app::FileDialogKind kind;
        app::FileDialogState state;  // as the dialog was shown
    };
    struct Box {
        std::string caption;
        std::string text;
        std::string detail;
        bool stop;
        bool owned;
    };

    // A file dialog answers with the next entry: a file, or cancel (none).
    std::deque<std::optional<FileAnswer>> files;
    std::deque<std::optional<std::uint32_t>> colors;
    std::vector<Asked> asked;
    std::vector<Box> boxes;

    bool RunFileDialog(app::FileDialogKind kind, app::FileDialogState& state) override {
        asked.push_back({kind, state});
        if (files.empty()) return false;
        std::optional<FileAnswer> answer = files.front();
        files.pop_front();
        if (!answer) return false;
        state.fileName = answer->fileName;
        state.filterIndex = answer->filterIndex;
        return true;
    }
    std::optional<std::uint32_t> PickColor(std::uint32_t) override {
        if (colors.empty()) return std::nullopt;
        auto color = colors.front();
        colors.pop_front();
        return color;
    }
    void ShowStopBox(const std::string& caption, const std::string& text, const std::string& detail) override {
        boxes.push_back({caption, text, detail, true, true});
    }
    void ShowMessageBox(const std::string& caption, const std::string& text, bool owned) override {
        boxes.push_back({caption, text, "", false, owned});
    }
};

}  // namespace tavro::test
