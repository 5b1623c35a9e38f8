#include "app/StopControl.h"

#include "app/BusyControls.h"
#include "app/FormBuilders.h"

namespace lum {

StopControl::StopControl(QWidget* page, QWidget* window, const char* objectName) : QObject(page) {
    Button = MakeButton(page, objectName, QStringLiteral("Стоп"), 0, 0, 90, 35);
    Button->hide();
    BusyControls::MarkNeedsNoLink(Button);
    escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape_->setContext(Qt::WindowShortcut);
    escape_->setEnabled(false);  // only one operation runs at a time: its Esc alone is on
    connect(Button, &QPushButton::clicked, this, [this] { token_.Request(); });
    connect(escape_, &QShortcut::activated, this, [this] { token_.Request(); });
}

StopControl::Run::Run(StopControl& c) : c_(c) {
    c_.token_.Reset();
    c_.running_ = true;
    c_.Button->setEnabled(true);
    c_.Button->show();
    c_.Button->raise();
    c_.escape_->setEnabled(true);
}

StopControl::Run::~Run() {
    c_.escape_->setEnabled(false);
    c_.Button->hide();
    c_.running_ = false;
}

}  // namespace lum
