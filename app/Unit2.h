#pragma once
// The parameter edit dialog `TForm2` ("Установка параметра"): created once at start,
// hidden until a tree row is edited. It shows the edit box for numbers, telephone numbers
// and texts, or the one list of a choice kind, preset to the row's current value and
// offering only its items. Main (GUI) thread only.
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPoint>
#include <QPushButton>
#include <array>

namespace lum {

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    // The dialog's outer height while it edits a row.
    static constexpr int kOuterHeight = 70;

    // Shows the control for a row of kind `kind` (field 7) holding `value` (field 1) and
    // hides the others. False, with nothing changed, for a kind the dialog does not edit
    // (group headings, read-only rows, an empty or unknown kind).
    bool Prepare(const QString& kind, const QString& value);
    // True when the prepared control is a list.
    bool UsesList() const { return list_ != nullptr; }
    // The list shown for the prepared row, or nullptr for the edit box.
    QComboBox* ShownList() const { return list_; }
    // The text the dialog returns: the edit box's text as typed, or the list's chosen
    // item (empty when the row's value was none of the list's items and none was picked).
    QString ResultText() const;
    // Places the dialog next to the mouse pointer: left edge at x - 30, top edge at
    // y - kOuterHeight / 2 - 10, moved back inside `screen` where it would stick out.
    void PlaceAt(QPoint pointer, const QRect& screen);

    QPushButton* Button1;
    QLineEdit* Edit1;
    QComboBox* ComboBox1;
    QComboBox* ComboBox2;
    QComboBox* ComboBox3;
    QComboBox* ComboBox4;
    QComboBox* ComboBox5;
    QComboBox* ComboBox6;

protected:
    void showEvent(QShowEvent* e) override;  // FormActivate: the edit box takes the focus

private:
    QComboBox* ListForKind(int kind) const;
    QComboBox* list_ = nullptr;
};

}  // namespace lum
