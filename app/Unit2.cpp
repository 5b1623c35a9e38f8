#include "app/Unit2.h"

namespace lum {

namespace {

QComboBox* MakeList(QWidget* parent, const char* name, const QStringList& items, const QString& text) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    box->addItems(items);
    box->setEditText(text);
    box->setGeometry(5, 5, 98, 21);
    box->hide();
    return box;
}

}  // namespace

TForm2::TForm2(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("Form2");
    setWindowTitle(QStringLiteral("Установка параметра"));
    setFixedSize(174, 29);
    setModal(true);

    Button1 = new QPushButton(QStringLiteral("Установить"), this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(107, 4, 61, 20);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(4, 4, 98, 21);

    ComboBox1 = MakeList(this, "ComboBox1", {"выкл.", "вкл."}, "выкл.");
    ComboBox2 = MakeList(this, "ComboBox2", {"англ.", "рус."}, "англ.");
    ComboBox3 = MakeList(this, "ComboBox3", {"только аварии", "основн. события", "все события"}, "только аварии");
    ComboBox4 = MakeList(this, "ComboBox4", {"бензин", "дизель", "сухой контакт"}, "бензин");
    ComboBox5 = MakeList(this, "ComboBox5", {"выкл.", "информир.", "управление"}, "выкл.");
    ComboBox6 = MakeList(this, "ComboBox6", {"выкл.", "без подключ. нагр.", "с подключ. нагр."}, "выкл.");
}

}  // namespace lum
