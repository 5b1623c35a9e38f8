#include "app/Unit2.h"

#include <algorithm>

#include "params/Catalog.h"
#include "params/ValueCheck.h"

namespace lum {

namespace {

QComboBox* MakeList(QWidget* parent, const char* name, std::int32_t kind) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(false);  // only the kind's items: a typed text could not be packed as meant
    for (std::string_view item : ChoiceItems(kind))
        box->addItem(QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size())));
    box->setGeometry(5, 5, 98, 21);
    box->hide();
    return box;
}

}  // namespace

TForm2::TForm2(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("Form2");
    setWindowTitle(QStringLiteral("Установка параметра"));
    setFixedSize(174, 29);
    setModal(true);
    QFont font(QStringLiteral("Tahoma"));
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(10);
    setFont(font);

    Button1 = new QPushButton(QStringLiteral("Установить"), this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(107, 4, 61, 20);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(4, 4, 98, 21);

    ComboBox1 = MakeList(this, "ComboBox1", KindOnOff);
    ComboBox2 = MakeList(this, "ComboBox2", KindLanguage);
    ComboBox3 = MakeList(this, "ComboBox3", KindMessageType);
    ComboBox4 = MakeList(this, "ComboBox4", KindEngineType);
    ComboBox5 = MakeList(this, "ComboBox5", KindAccessLevel);
    ComboBox6 = MakeList(this, "ComboBox6", KindTestLoad);
}

QComboBox* TForm2::ListForKind(int kind) const {
    switch (kind) {
        case KindOnOff: return ComboBox1;
        case KindLanguage: return ComboBox2;
        case KindMessageType: return ComboBox3;
        case KindEngineType: return ComboBox4;
        case KindAccessLevel: return ComboBox5;
        case KindTestLoad: return ComboBox6;
        default: return nullptr;
    }
}

bool TForm2::Prepare(const QString& kindText, const QString& value) {
    bool isNumber = false;
    const int kind = kindText.toInt(&isNumber);
    if (!isNumber || kindText != QString::number(kind)) return false;
    QComboBox* list = ListForKind(kind);
    if (!list && !IsTextEditKind(kind)) return false;
    for (QComboBox* box : {ComboBox1, ComboBox2, ComboBox3, ComboBox4, ComboBox5, ComboBox6})
        box->setVisible(box == list);
    list_ = list;
    Edit1->setVisible(list == nullptr);
    if (list) {
        list->move(5, 5);
        list->setCurrentIndex(list->findText(value, Qt::MatchExactly));
    } else {
        Edit1->setText(value);
    }
    return true;
}

QString TForm2::ResultText() const {
    if (!list_) return Edit1->text();
    return list_->currentIndex() >= 0 ? list_->currentText() : QString();
}

void TForm2::PlaceAt(QPoint pointer, const QRect& screen) {
    const int frameWidth = std::max(frameGeometry().width(), width());
    int left = pointer.x() - 30;
    int top = pointer.y() - kOuterHeight / 2 - 10;
    if (!screen.isEmpty()) {
        left = std::clamp(left, screen.left(), std::max(screen.left(), screen.right() + 1 - frameWidth));
        top = std::clamp(top, screen.top(), std::max(screen.top(), screen.bottom() + 1 - kOuterHeight));
    }
    move(left, top);
}

void TForm2::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (Edit1->isVisible()) {
        Edit1->setFocus();
        Edit1->selectAll();
    } else if (list_) {
        list_->setFocus();
    }
}

}  // namespace lum
