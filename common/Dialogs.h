#pragma once
// The dialogs service: every message box and file choice of the program goes through
// one IDialogs, so that tests can answer them. Main thread only.
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace lum {

enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgResult { Ok, Cancel, Yes, No };

// Fixed captions of the program's message boxes.
inline constexpr const char* kCaptionError = "Error";
inline constexpr const char* kCaptionErrorRu = "Ошибка";
inline constexpr const char* kCaptionInfo = "info";
inline constexpr const char* kCaptionWarning = "Warning";

// The box of an operation that found no controller to answer it ("Ошибка").
inline constexpr const char* kNoLinkRetryText =
    "Нет связи. Устройство занято или не подключено. Попробуйте еще раз.";

class IDialogs {
public:
    virtual ~IDialogs() = default;
    // A message box with a fixed text and caption; returns the button pressed.
    virtual MsgResult MessageBox(const std::string& text, const std::string& caption,
                                 MsgButtons buttons = MsgButtons::Ok) = 0;
    // The application's standard error box, for an error that escaped a handler.
    virtual void ErrorBox(const std::string& text) = 0;
    // File choices: the chosen path, or nothing when the user cancelled.
    virtual std::optional<std::string> OpenFileName(const std::string& initialDir, const std::string& filter) = 0;
    virtual std::optional<std::string> SaveFileName(const std::string& initialDir, const std::string& filter) = 0;
    // A save choice that proposes a file name (a bare name goes into initialDir, a path
    // stands for itself). By default the proposal is not shown.
    virtual std::optional<std::string> SaveFileNameAs(const std::string& initialDir, const std::string& filter,
                                                      const std::string& initialName) {
        (void)initialName;
        return SaveFileName(initialDir, filter);
    }
};

// A dialogs service for tests: records every box and answers from queues
// (an empty queue answers Ok / cancel).
class ScriptedDialogs : public IDialogs {
public:
    struct Box {
        std::string text;
        std::string caption;
        MsgButtons buttons;
    };
    std::vector<Box> boxes;                 // every MessageBox, in order
    std::vector<std::string> errors;        // every ErrorBox, in order
    std::deque<MsgResult> answers;          // answers for the next message boxes
    std::deque<std::optional<std::string>> fileAnswers;  // answers for the next file choices
    std::vector<std::string> proposedNames;  // the name each SaveFileNameAs proposed, in order

    MsgResult MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons) override {
        boxes.push_back({text, caption, buttons});
        if (answers.empty()) return MsgResult::Ok;
        MsgResult r = answers.front();
        answers.pop_front();
        return r;
    }
    void ErrorBox(const std::string& text) override { errors.push_back(text); }
    std::optional<std::string> OpenFileName(const std::string&, const std::string&) override { return nextFile(); }
    std::optional<std::string> SaveFileName(const std::string&, const std::string&) override { return nextFile(); }
    std::optional<std::string> SaveFileNameAs(const std::string&, const std::string&,
                                              const std::string& initialName) override {
        proposedNames.push_back(initialName);
        return nextFile();
    }

private:
    std::optional<std::string> nextFile() {
        if (fileAnswers.empty()) return std::nullopt;
        auto r = fileAnswers.front();
        fileAnswers.pop_front();
        return r;
    }
};

}  // namespace lum
