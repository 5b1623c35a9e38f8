#pragma once
// The parameter edit dialog `TForm2` ("Установка параметра"): created once at start,
// hidden until a tree row is edited. Main (GUI) thread only.
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

namespace lum {

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    QPushButton* Button1;
    QLineEdit* Edit1;
    QComboBox* ComboBox1;
    QComboBox* ComboBox2;
    QComboBox* ComboBox3;
    QComboBox* ComboBox4;
    QComboBox* ComboBox5;
    QComboBox* ComboBox6;
};

}  // namespace lum
