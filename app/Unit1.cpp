#include "app/Unit1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QDir>
#include <QHBoxLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <exception>

#include "app/BusyControls.h"
#include "app/DesignFont.h"
#include "app/FormBuilders.h"
#include "app/PageDiagrams.h"
#include "app/PageJournal.h"
#include "app/PageMeasurements.h"
#include "app/PageParameters.h"
#include "app/PageService.h"
#include "app/PageTerminal.h"
#include "app/TelemetryView.h"
#include "params/Catalog.h"
#include "serial/PortList.h"
#include "telemetry/StatusPresenter.h"
#include "widgets/RepaintPace.h"
#include "widgets/StandardControls.h"
#include "widgets/StatusPanel.h"

namespace lum {

namespace {
constexpr int kClientWidth = 799;
QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
constexpr int kClientHeight = 572;
constexpr int kStatusBarHeight = 19;
}  // namespace

TForm1::TForm1(IDialogs& dialogs, PortLister portLister, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), portLister_(std::move(portLister)) {
    setObjectName("Form1");
    setWindowTitle(QStringLiteral("ПО Конфигуратор v2a"));
    setFont(DesignFont());
    setFixedSize(kClientWidth, kClientHeight);

    BuildPageControl();
    BuildTopStrip();
    SetUpLink();
    BuildPages();
    BuildStatusBar();
    WirePages();

    Timer1 = Named(new QTimer(this), "Timer1");
    Timer1->setInterval(300);
    connect(Timer1, &QTimer::timeout, this, Guarded([this] { Timer1Timer(); }));
    Timer2 = Named(new QTimer(this), "Timer2");
    Timer2->setInterval(2000);
    connect(Timer2, &QTimer::timeout, this, Guarded([this] { Timer3Timer(); }));
    Timer2->start();

    RunHandler([this] { FormCreate(); });
    ConnectPortSelector();

    // Centred on the desktop.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        move(avail.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
}

TForm1::~TForm1() {
    if (!destroyed_) FormDestroy();
}

void TForm1::BuildPageControl() {
    PageControl1 = Named(new QTabWidget(this), "PageControl1");
    PageControl1->setDocumentMode(true);
    StyleTabsAsFlatButtons(*PageControl1->tabBar());
    PageControl1->setGeometry(0, 0, kClientWidth, kClientHeight - kStatusBarHeight);
    TabSheet1 = Named(new QWidget, "TabSheet1");
    TabSheet2 = Named(new QWidget, "TabSheet2");
    TabSheet5 = Named(new QWidget, "TabSheet5");
    TabSheet6 = Named(new QWidget, "TabSheet6");
    TabSheet4 = Named(new QWidget, "TabSheet4");
    TabSheet3 = Named(new QWidget, "TabSheet3");
    PageControl1->addTab(TabSheet1, QStringLiteral("Измерения"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Параметры"));
    PageControl1->addTab(TabSheet5, QStringLiteral("Журнал событий"));
    PageControl1->addTab(TabSheet6, QStringLiteral("Диаграммы"));
    PageControl1->addTab(TabSheet4, QStringLiteral("Дополнительно"));
    PageControl1->addTab(TabSheet3, QStringLiteral("Терминал+лог"));
    connect(PageControl1, &QTabWidget::currentChanged, this, Guarded([this] { PageControl1Change(); }));
}

void TForm1::BuildPages() {
    Measurements = new MeasurementsPage(TabSheet1);
    Memo2 = Named(new QPlainTextEdit(TabSheet1), "Memo2");
    Memo2->hide();
    Parameters = new ParametersPage(TabSheet2, *this);
    Journals = new JournalPage(TabSheet5, *this);
    Diagrams = new DiagramsPage(TabSheet6, dialogs_);
    Service = new ServicePage(TabSheet4, *this);
    TerminalLog = new TerminalPage(TabSheet3, *this);
    busy_ = std::make_unique<BusyControls>(
        std::vector<QWidget*>{TabSheet1, TabSheet2, TabSheet5, TabSheet6, TabSheet4, TabSheet3});
}

// What the pages share: the terminal's log switched from either page, the terminal's view
// of the link, the status records shown on the measurements, service and diagrams pages.
void TForm1::WirePages() {
    Service->ChooseLogFile = [this] { TerminalLog->ChooseLogFileName(); };
    Service->LogSwitchChanged = [this] { TerminalLog->iSwitchLed1Change(); };
    TerminalLog->OtherLogSwitchOn = [this] { return Service->iSwitchLed3->active(); };
    TerminalLog->OtherLogSwitchOff = [this] { Service->iSwitchLed3->setActive(false); };
    ReceivePath& rx = Device->Rx;
    rx.LineStep = [this](std::string& lineBuffer) { TerminalLog->Term().LineStep(lineBuffer); };
    rx.FrameCounted = [this, counted = std::move(rx.FrameCounted)](std::uint32_t count) {
        if (counted) counted(count);
        TerminalLog->FrameSeen();
    };
    telemetry_ = std::make_unique<TelemetryBinding>(*this);
    // Only a chosen entry changes the model: the selector takes no typed text.
    connect(ComboBox_DeviceVersions, &QComboBox::currentIndexChanged, this,
            Guarded([this] { ComboBox_DeviceVersionsChange(); }));
}

void TForm1::BuildTopStrip() {
    ComboBox_DeviceVersions = Named(new QComboBox(this), "ComboBox_DeviceVersions");
    ComboBox_DeviceVersions->setEditable(true);
    for (int i = 0; i < ModelCount; ++i) ComboBox_DeviceVersions->addItem(FromUtf8(SelectorItemText(i)));
    ComboBox_DeviceVersions->setCurrentIndex(-1);
    ComboBox_DeviceVersions->setEditText(FromUtf8(SelectorInitialText));
    ComboBox_DeviceVersions->setGeometry(541, 1, 109, 21);
    // Choosing only: the field shows the model's name but takes no typing, pasting or
    // dropping; a click on it opens the list, the wheel over it does nothing (a slip of the
    // wheel would change the catalogue).
    ComboBox_DeviceVersions->lineEdit()->setReadOnly(true);
    ComboBox_DeviceVersions->lineEdit()->installEventFilter(this);
    ComboBox_DeviceVersions->installEventFilter(this);
    // 109 pixels hold the start of every model name; the list shows the names in full.
    KeepTextStartInView(*ComboBox_DeviceVersions);
    FitPopupToItems(*ComboBox_DeviceVersions);

    ComboBox1 = Named(new QComboBox(this), "ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setGeometry(695, 1, 96, 21);
    ComboBox1->setEditText(QStringLiteral("COM-порт"));
    ComboBox_DeviceVersions->raise();
    ComboBox1->raise();
}

void TForm1::BuildStatusBar() {
    StatusBar1 = Named(new QWidget(this), "StatusBar1");
    StatusBar1->setGeometry(0, kClientHeight - kStatusBarHeight, kClientWidth, kStatusBarHeight);
    StatusBar1->setAutoFillBackground(true);  // opaque: nothing of the pages shows through
    StatusBar1->raise();
    auto* layout = new QHBoxLayout(StatusBar1);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(2);
    const int widths[2] = {200, 50};
    for (int i = 0; i < 2; ++i) {
        auto* panel = new StatusPanel(StatusBar1);
        panel->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setFixedWidth(widths[i]);
        // A fixed size: a new text (every frame in panel 0) repaints the panel and lays out nothing.
        panel->setFixedHeight(kStatusBarHeight - 2);
        panel->setAutoFillBackground(true);  // opaque: the bar behind it is not painted again
        layout->addWidget(panel);
        statusPanels_[i] = panel;
    }
    ModelNotice = new QLabel(StatusBar1);
    ModelNotice->setObjectName(QStringLiteral("ModelNotice"));
    ModelNotice->setTextFormat(Qt::RichText);
    ModelNotice->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    ModelNotice->hide();
    connect(ModelNotice, &QLabel::linkActivated, this, Guarded([this] { LoadReportedCatalog(); }));
    layout->addWidget(ModelNotice);
    layout->addStretch(1);
    panelTexts_[0] = QStringLiteral("Пакетов принято:");
    statusPanels_[0]->setText(panelTexts_[0]);
    // Panel 1 grows to fit the journal reading's texts.
    statusPanels_[1]->setMinimumWidth(statusPanels_[1]->width());
    statusPanels_[1]->setMaximumWidth(QWIDGETSIZE_MAX);
}

QString TForm1::StatusPanelText(int panel) const { return panelTexts_.at(static_cast<std::size_t>(panel)); }

void TForm1::SetStatusPanelText(int panel, const QString& text) {
    // Known at once, shown with the instruments' next paint pass: the frame count changes with
    // every frame, and its panel draws it from kept pictures of its digits.
    panelTexts_.at(static_cast<std::size_t>(panel)) = text;
    QLabel* shown = statusPanels_.at(static_cast<std::size_t>(panel));
    RepaintPace::Shared().show(shown, [shown, text] { shown->setText(text); });
}

void TForm1::SetPageVisible(QWidget* page, bool visible) {
    const int index = PageControl1->indexOf(page);
    if (index < 0) return;
    PageControl1->setTabVisible(index, visible);
    // Ctrl+Tab goes round the enabled tabs, hidden ones included: a hidden page's tab is disabled
    // too (the tab only: the page's controls keep their own state).
    PageControl1->tabBar()->setTabEnabled(index, visible);
}

bool TForm1::PageVisible(QWidget* page) const {
    const int index = PageControl1->indexOf(page);
    return index >= 0 && PageControl1->isTabVisible(index);
}

void TForm1::RunHandler(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        dialogs_.ErrorBox(e.what());
    } catch (...) {
        dialogs_.ErrorBox("Неизвестная ошибка");
    }
}

std::function<void()> TForm1::Guarded(std::function<void()> body) {
    return [this, body = std::move(body)] { RunHandler(body); };
}

void TForm1::FormCreate() {
    // The save dialog starts in the program's folder.
    SaveDialogInitialDir = QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString();
    if (!SaveDialogInitialDir.empty() && SaveDialogInitialDir.back() != '/' && SaveDialogInitialDir.back() != '\\')
        SaveDialogInitialDir += QDir::separator().toLatin1();
    SaveDialogFilter = "Text files (*.txt)|*.txt";
    // Nothing read yet: an erased image, the indicators in their error state, the tree
    // with the first model's catalogue.
    Parameters->Image.fill(0xFF);
    Measurements->SetIndicatorsError();
    CurrentModelCode = 200;
    LoadCatalogForModel(CurrentModelCode);
    // The terminal page waits for the service password; the window opens on the measurements.
    SetPageVisible(TabSheet3, false);
    PageControl1->setCurrentWidget(TabSheet1);
    // A port list that fails shows its error; the window still opens.
    RunHandler([this] { ListPortsIntoSelector(); });
}

void TForm1::LoadCatalogForModel(std::uint8_t modelCode) {
    Parameters->LoadCatalog(modelCode);
    SetPageVisible(TabSheet5, true);
}

namespace {
constexpr const char* kModelChangeLoses =
    "Значения параметров изменены и не сохранены; каталог другой модели заменит их значениями по умолчанию.";
}  // namespace

void TForm1::ComboBox_DeviceVersionsChange() {
    const int index = ComboBox_DeviceVersions->currentIndex();
    const auto code = ModelCodeForIndex(index);
    if (!code) return;  // no entry chosen
    bool goOn = false;
    RunHandler([&] { goOn = Parameters->ConfirmDiscardEdits(kModelChangeLoses); });
    if (!goOn) {  // the edited tree stays, and so does the selector's entry
        ShowModelInSelector(modelSelectorIndex_);
        return;
    }
    modelSelectorIndex_ = index;
    ReportOtherModel(std::nullopt);
    Parameters->ClearTree();
    CurrentModelCode = *code;
    LoadCatalogForModel(*code);
}

void TForm1::ShowModelInSelector(int index) {
    const QSignalBlocker quiet(ComboBox_DeviceVersions);
    ComboBox_DeviceVersions->setCurrentIndex(index);
    if (index < 0) ComboBox_DeviceVersions->setEditText(FromUtf8(SelectorInitialText));
    modelSelectorIndex_ = index;
}

void TForm1::SelectCatalogForModel(std::uint8_t modelCode) {
    DeviceCatalogView view(*this);
    lum::SelectCatalogForModel(modelCode, CurrentModelCode, view);
}

void TForm1::ReportOtherModel(std::optional<std::uint8_t> modelCode) {
    if (modelCode == reportedModel_) return;
    reportedModel_ = modelCode;
    if (!modelCode) {
        ModelNotice->hide();
        ModelNotice->clear();
        return;
    }
    ModelNotice->setText(QStringLiteral("Контроллер сообщает другую модель: %1. <a href=\"load\">Загрузить её каталог</a>")
                             .arg(FromUtf8(ModelDisplayName(*modelCode)).toHtmlEscaped()));
    ModelNotice->show();
}

void TForm1::LoadReportedCatalog() {
    if (!reportedModel_) return;
    const std::uint8_t code = *reportedModel_;
    if (!Parameters->ConfirmDiscardEdits(kModelChangeLoses)) return;
    ReportOtherModel(std::nullopt);
    CurrentModelCode = code;
    LoadCatalogForModel(code);
    ShowModelInSelector(IndexForModelCode(code).value_or(-1));
}

void TForm1::FormCloseQuery(bool& CanClose) {
    CanClose = Parameters->ConfirmDiscardEdits("Значения параметров изменены и не сохранены.");
}

void TForm1::closeEvent(QCloseEvent* e) {
    bool canClose = false;
    RunHandler([&] { FormCloseQuery(canClose); });  // a failed save keeps the window open
    if (!canClose) {
        e->ignore();
        return;
    }
    Journals->WindowClosing();
    StopReconnecting();
    QWidget::closeEvent(e);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    QComboBox* box = ComboBox_DeviceVersions;
    if (box && (watched == box || watched == box->lineEdit())) {
        if (event->type() == QEvent::Wheel) return true;
        if (watched == box->lineEdit()) {
            // The list opens on the release: opened on the press, the release would close it.
            if (event->type() == QEvent::MouseButtonRelease) box->showPopup();
            if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
                event->type() == QEvent::MouseButtonDblClick)
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::ListPortsIntoSelector() {
    if (!portLister_) return;
    std::vector<std::string> names;
    portLister_(names);
    Memo2->clear();
    for (const auto& n : names) Memo2->appendPlainText(QString::fromStdString(n));
    const QString keep = ComboBox1->currentText();
    for (const auto& line : Memo2->toPlainText().split('\n', Qt::SkipEmptyParts)) {
        ComboBox1->addItem(line);
        const std::string device = ComNameToDevicePath(line.toStdString());
        if (!device.empty())
            ComboBox1->setItemData(ComboBox1->count() - 1, QString::fromStdString(device), Qt::ToolTipRole);
    }
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(keep);
}

void TForm1::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    Timer1->stop();
    Timer2->stop();
    if (Device) StopReconnecting();
    if (ComPort1) {
        ComPort1->Drain(std::chrono::seconds(1));  // a command sent just before closing still goes out
        ComPort1->Close();
    }
}

void TForm1::Timer1Timer() {}

void TForm1::Timer3Timer() {
    Measurements->BlinkGuPointer();
}

void TForm1::PageControl1Change() {}

void TForm1::DecodeStatusRecord(std::span<const std::uint8_t> frame) { telemetry_->DecodeStatusRecord(frame); }

void TForm1::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    FormConstrainedResize();
}

void TForm1::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    FormConstrainedResize();
}

}  // namespace lum
