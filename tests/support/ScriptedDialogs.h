#pragma once
// A dialogs service for tests: records every box and answers from queues. Main (GUI)
// thread only, as the window's dialogs.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "common/Dialogs.h"

namespace lum {

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
    int appendChoices = 0;                   // AppendFileName calls

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
    std::optional<std::string> AppendFileName(const std::string&, const std::string&) override {
        ++appendChoices;
        return nextFile();
    }
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
