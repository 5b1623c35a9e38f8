#include "widgets/StandardControls.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QProxyStyle>
#include <QScrollBar>
#include <QTabBar>
#include <algorithm>

namespace lum {

namespace {

// Brings the start of a line edit's text into view when the field loses the focus.
class StartOnFocusOut : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::FocusOut)
            if (auto* edit = qobject_cast<QLineEdit*>(watched)) edit->setCursorPosition(0);
        return false;
    }
};

// The widget's style with "*" as the password character.
class AsteriskPasswordStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

void MaskWithAsterisks(QLineEdit& edit) {
    auto* style = new AsteriskPasswordStyle(edit.style()->name());
    style->setParent(&edit);
    edit.setStyle(style);
    edit.setEchoMode(QLineEdit::Password);
}

void KeepTextStartInView(QComboBox& box) {
    QLineEdit* edit = box.lineEdit();
    if (!edit) return;
    edit->setCursorPosition(0);
    // A text set while the field has no focus is the program's: show its start.
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit] {
        if (!edit->hasFocus()) edit->setCursorPosition(0);
    });
    // A picked item, focus or not.
    QObject::connect(&box, &QComboBox::activated, edit, [edit] { edit->setCursorPosition(0); });
    QObject::connect(&box, &QComboBox::currentIndexChanged, edit, [edit] { edit->setCursorPosition(0); });
    edit->installEventFilter(new StartOnFocusOut(edit));
}

int PopupWidthForItems(const QComboBox& box) {
    QAbstractItemView* view = box.view();
    int width = view->sizeHintForColumn(box.modelColumn());
    width += 2 * view->frameWidth();
    if (box.count() > box.maxVisibleItems()) width += view->verticalScrollBar()->sizeHint().width();
    return width;
}

void FitPopupToItems(QComboBox& box) {
    auto fit = [&box] { box.view()->setMinimumWidth(PopupWidthForItems(box)); };
    fit();
    QAbstractItemModel* model = box.model();
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        QObject::connect(model, signal, &box, fit);
    QObject::connect(model, &QAbstractItemModel::dataChanged, &box, fit);
    QObject::connect(model, &QAbstractItemModel::modelReset, &box, fit);
}

void StyleTabsAsFlatButtons(QTabBar& tabs) {
    tabs.setDrawBase(false);
    tabs.setExpanding(false);
    tabs.setStyleSheet(QStringLiteral(
        "QTabBar::tab {"
        "  color: #1e2228; background: #eceef1; border: 1px solid #a9b0ba; border-radius: 3px;"
        "  padding: 2px 10px; margin: 1px 3px 1px 0px; }"
        "QTabBar::tab:hover { background: #f7f8fa; border-color: #7f8896; }"
        "QTabBar::tab:selected { background: #c9d1dc; border-color: #6b7482; }"
        "QTabBar::tab:first { margin-left: 2px; }"));
}

}  // namespace lum
