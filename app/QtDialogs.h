#pragma once
// The dialogs service on Qt: message boxes, the standard error box and file choices.
// Main (GUI) thread only.
#include <QWidget>

#include "common/Dialogs.h"

namespace lum {

class QtDialogs : public IDialogs {
public:
    // parentWindow: the window the boxes are centred on (may change later, e.g. once the
    // main window exists).
    explicit QtDialogs(QWidget* parentWindow = nullptr) : parent_(parentWindow) {}
    void setParentWindow(QWidget* w) { parent_ = w; }

    MsgResult MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons) override;
    void ErrorBox(const std::string& text) override;
    std::optional<std::string> OpenFileName(const std::string& initialDir, const std::string& filter) override;
    std::optional<std::string> SaveFileName(const std::string& initialDir, const std::string& filter) override;
    // A save dialog that does not ask to replace an existing file, its button "Выбрать".
    std::optional<std::string> AppendFileName(const std::string& initialDir, const std::string& filter) override;
    std::optional<std::string> SaveFileNameAs(const std::string& initialDir, const std::string& filter,
                                              const std::string& initialName) override;

    // "Text files (*.txt)|*.txt" (description|pattern pairs) to Qt's "Text files (*.txt)".
    static QString QtFilter(const std::string& filter);

private:
    QWidget* parent_;
};

}  // namespace lum
