// The three small interfaces through which the core reaches the user. The desktop
// implements them with its windows, the command line with a terminal progress bar
// and stderr, the tests with recorders.
#pragma once

#include <string>

namespace tavro {

// The progress window: shown, captioned with the current stage, a bar from 0 to 100.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void Show() = 0;  // resets the bar to 0
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetPosition(int percent) = 0;
    virtual void Close() = 0;
};

// The icon list that extraction fills.
class IconList {
public:
    virtual ~IconList() = default;
    virtual void Append(const std::string& name) = 0;
    virtual void SelectFirst() = 0;
};

// The two message boxes of the core, each returning when the user has closed it, and
// the warnings of packing.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Box captioned "Error": a raw copy could not be created; text is its path.
    virtual void ShowError(const std::string& text) = 0;
    // Box captioned "Not Found": a converted file is missing while packing.
    virtual void ShowNotFound(const std::string& text) = 0;
    // Packing took a file as it is although the user may have meant something else
    // (an icon whose every pixel is transparent); it carries on. Nothing by default.
    virtual void ShowWarning(const std::string& path, const std::string& text) {
        static_cast<void>(path);
        static_cast<void>(text);
    }
};

// Sinks that do nothing, for callers that want no feedback.
class NullProgress : public ProgressSink {
public:
    void Show() override {}
    void SetCaption(const std::string&) override {}
    void SetPosition(int) override {}
    void Close() override {}
};

class NullIconList : public IconList {
public:
    void Append(const std::string&) override {}
    void SelectFirst() override {}
};

class NullMessages : public MessageSink {
public:
    void ShowError(const std::string&) override {}
    void ShowNotFound(const std::string&) override {}
};

// Closes a progress sink when an operation stops early with an error. The normal end
// closes the sink itself, in its own order, and disarms the guard first.
class ProgressCloser {
public:
    explicit ProgressCloser(ProgressSink& progress) : progress_(progress) {}
    ~ProgressCloser() {
        if (!armed_) return;
        try {
            progress_.Close();
        } catch (...) {
            // Already unwinding with the error that stopped the operation.
        }
    }
    ProgressCloser(const ProgressCloser&) = delete;
    ProgressCloser& operator=(const ProgressCloser&) = delete;
    void Disarm() { armed_ = false; }

private:
    ProgressSink& progress_;
    bool armed_ = true;
};

// The bar's position after item i (from 0) of n: 100 x i / (n - 1), rounded to the
// nearest integer with halves to even. A single item counts as finished: 100.
int ProgressPercent(long long i, long long n);

}  // namespace tavro
