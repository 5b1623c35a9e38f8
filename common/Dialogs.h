#pragma once
// The dialogs service: every message box and file choice of the program goes through
// one IDialogs, so that tests can answer them. Main thread only.
#include <optional>
#include <string>

namespace lum {

// SaveDiscardCancel: "Сохранить", "Не сохранять", "Отмена" (answers Save, Discard, Cancel).
enum class MsgButtons { Ok, OkCancel, YesNo, SaveDiscardCancel };
enum class MsgResult { Ok, Cancel, Yes, No, Save, Discard };

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
    // A file to append to: an existing file is a valid choice and is not offered for
    // replacing (nothing of it is lost). By default the plain save choice.
    virtual std::optional<std::string> AppendFileName(const std::string& initialDir, const std::string& filter) {
        return SaveFileName(initialDir, filter);
    }
};

}  // namespace lum
