#include "app/QtDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace lum {

MsgResult QtDialogs::MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons) {
    QMessageBox box(parent_);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    const QString cap = QString::fromStdString(caption);
    if (cap == kCaptionError || cap == kCaptionErrorRu) box.setIcon(QMessageBox::Critical);
    else if (cap == kCaptionWarning) box.setIcon(QMessageBox::Warning);
    else box.setIcon(QMessageBox::Information);
    switch (buttons) {
        case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
        case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case MsgButtons::SaveDiscardCancel:
            box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
            box.button(QMessageBox::Save)->setText(QStringLiteral("Сохранить"));
            box.button(QMessageBox::Discard)->setText(QStringLiteral("Не сохранять"));
            box.button(QMessageBox::Cancel)->setText(QStringLiteral("Отмена"));
            box.setDefaultButton(QMessageBox::Save);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Cancel: return MsgResult::Cancel;
        case QMessageBox::Yes: return MsgResult::Yes;
        case QMessageBox::No: return MsgResult::No;
        case QMessageBox::Save: return MsgResult::Save;
        case QMessageBox::Discard: return MsgResult::Discard;
        default: return MsgResult::Ok;
    }
}

void QtDialogs::ErrorBox(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("ПО Конфигуратор v2a"), QString::fromStdString(text),
                    QMessageBox::Ok, parent_);
    box.exec();
}

QString QtDialogs::QtFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts[i];
        if (!desc.contains('(')) desc += " (" + parts[i + 1] + ")";
        out << desc;
    }
    return out.join(";;");
}

std::optional<std::string> QtDialogs::OpenFileName(const std::string& initialDir, const std::string& filter) {
    const QString f = QFileDialog::getOpenFileName(parent_, {}, QString::fromStdString(initialDir), QtFilter(filter));
    if (f.isEmpty()) return std::nullopt;
    return f.toStdString();
}

std::optional<std::string> QtDialogs::SaveFileName(const std::string& initialDir, const std::string& filter) {
    const QString f = QFileDialog::getSaveFileName(parent_, {}, QString::fromStdString(initialDir), QtFilter(filter));
    if (f.isEmpty()) return std::nullopt;
    return f.toStdString();
}

std::optional<std::string> QtDialogs::AppendFileName(const std::string& initialDir, const std::string& filter) {
    QFileDialog dialog(parent_, QStringLiteral("Файл, в конец которого дописывается лог"),
                       QString::fromStdString(initialDir), QtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Выбрать"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> QtDialogs::SaveFileNameAs(const std::string& initialDir, const std::string& filter,
                                                     const std::string& initialName) {
    const QString name = QString::fromStdString(initialName);
    const QString start = QDir::isAbsolutePath(name) ? name : QDir(QString::fromStdString(initialDir)).filePath(name);
    const QString f = QFileDialog::getSaveFileName(parent_, {}, start, QtFilter(filter));
    if (f.isEmpty()) return std::nullopt;
    return f.toStdString();
}

}  // namespace lum
