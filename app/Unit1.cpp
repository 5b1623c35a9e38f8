#include "app/Unit1.h"

#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <exception>
#include <tuple>

#include "app/DesignFont.h"
#include "app/FormBuilders.h"
#include "app/TelemetryView.h"
#include "app/TreeListAdapter.h"
#include "params/Catalog.h"
#include "serial/PortList.h"
#include "telemetry/StatusPresenter.h"
#include "widgets/StandardControls.h"

namespace lum {

namespace {
constexpr int kClientWidth = 799;
constexpr int kClientHeight = 572;
constexpr int kStatusBarHeight = 19;
}  // namespace

TForm1::TForm1(IDialogs& dialogs, PortLister portLister, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), portLister_(std::move(portLister)) {
    setObjectName("Form1");
    setWindowTitle(QStringLiteral("ПО Конфигуратор v2a"));
    setFont(DesignFont());
    setFixedSize(kClientWidth, kClientHeight);

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

    BuildTopStrip();
    BuildMeasurementsPage();
    BuildParametersPage();
    BuildJournalPage();
    BuildDiagramsPage();
    BuildServicePage();
    BuildTerminalPage();
    BuildStatusBar();
    ConnectServicePage();
    ConnectJournalPage();
    telemetry_ = std::make_unique<TelemetryBinding>(*this);

    Timer1 = Named(new QTimer(this), "Timer1");
    Timer1->setInterval(300);
    connect(Timer1, &QTimer::timeout, this, Guarded([this] { Timer1Timer(); }));
    Timer2 = Named(new QTimer(this), "Timer2");
    Timer2->setInterval(2000);
    connect(Timer2, &QTimer::timeout, this, Guarded([this] { Timer3Timer(); }));
    Timer2->start();

    SetUpLink();
    SetUpTerminal();
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

void TForm1::BuildTopStrip() {
    ComboBox_DeviceVersions = Named(new QComboBox(this), "ComboBox_DeviceVersions");
    ComboBox_DeviceVersions->setEditable(true);
    ComboBox_DeviceVersions->addItems({QStringLiteral("ЛУМ-бензин v2.0 "), QStringLiteral("ЛУМ-дизель v2.0 "),
                                       QStringLiteral("ЛУМ-сухой контакт v2.0 "), QStringLiteral("ЛУМ-бензин v3")});
    ComboBox_DeviceVersions->setCurrentIndex(-1);
    ComboBox_DeviceVersions->setEditText(QStringLiteral("ЛУМ-бензин v2.0"));
    ComboBox_DeviceVersions->setGeometry(541, 1, 109, 21);
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
        auto* panel = new QLabel(StatusBar1);
        panel->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setFixedWidth(widths[i]);
        layout->addWidget(panel);
        statusPanels_[i] = panel;
    }
    layout->addStretch(1);
    statusPanels_[0]->setText(QStringLiteral("Пакетов принято:"));
}

QString TForm1::StatusPanelText(int panel) const { return statusPanels_.at(panel)->text(); }
void TForm1::SetStatusPanelText(int panel, const QString& text) { statusPanels_.at(panel)->setText(text); }

void TForm1::BuildParametersPage() {
    TreeList1 = Named(new ColumnTree(TabSheet2), "TreeList1");
    TreeList1->setGeometry(0, 24, 787, 449);
    TreeList1->setColumns({QStringLiteral("Параметр"), QStringLiteral("Значение"), QStringLiteral("Ед. измер."),
                           QStringLiteral("Мин. знач"), QStringLiteral("Макс.знач.")},
                          {300, 150, 100, 100, 100});
    Button1 = MakeButton(TabSheet2, "Button1", QStringLiteral("Сохранить"), 3, 480, 100, 41);
    Button2 = MakeButton(TabSheet2, "Button2", QStringLiteral("Открыть"), 109, 480, 100, 41);
    Button3 = MakeButton(TabSheet2, "Button3", QStringLiteral("Записать"), 582, 480, 100, 41);
    Button4 = MakeButton(TabSheet2, "Button4", QStringLiteral("Прочитать"), 689, 480, 100, 41);
    ProgressBar1 = Named(new QProgressBar(TabSheet2), "ProgressBar1");
    ProgressBar1->setGeometry(232, 488, 329, 29);
    ProgressBar1->hide();
    SetUpParametersPage();
}

void TForm1::BuildJournalPage() {
    Label19 = MakeLabel(TabSheet5, "Label19", QStringLiteral("Журнал событий"), 170, 4);
    Label20 = MakeLabel(TabSheet5, "Label20", QStringLiteral("Журнал аварий"), 570, 4);
    Memo3 = MakeMemo(TabSheet5, "Memo3", 0, 24, 386, 440);
    Memo4 = MakeMemo(TabSheet5, "Memo4", 400, 24, 386, 440);
    Memo3->setPlainText(QStringLiteral("-пусто-"));
    Memo4->setPlainText(QStringLiteral("-пусто-"));
    Button13 = MakeButton(TabSheet5, "Button13", QStringLiteral("Прочитать ЖУРНАЛ СОБЫТИЙ"), 290, 480, 200, 41);
}

namespace {

// An hours field "час" and a minutes field "мин" side by side, both "0".
std::pair<QLineEdit*, QLineEdit*> MakeHourMinuteFields(QWidget* page, const char* hoursName,
                                                       const char* minutesName, int x, int y) {
    QLineEdit* hours = MakeEdit(page, hoursName, QStringLiteral("0"), x, y, 50);
    MakeLabel(page, "", QStringLiteral("час"), x + 54, y + 4);
    QLineEdit* minutes = MakeEdit(page, minutesName, QStringLiteral("0"), x + 84, y, 40);
    MakeLabel(page, "", QStringLiteral("мин"), x + 128, y + 4);
    return {hours, minutes};
}

}  // namespace

void TForm1::BuildServicePage() {
    QWidget* p = TabSheet4;
    // Service access: password, motor-hours counter, serial number.
    MakeLabel(p, "Label21", QStringLiteral("Пароль сервиса:"), 16, 16);
    Edit4 = MakeEdit(p, "Edit4", {}, 16, 34, 120);
    Edit4->setEchoMode(QLineEdit::Password);
    Button14 = MakeButton(p, "Button14", QStringLiteral("Подтвердить пароль"), 144, 32, 150, 25);

    MakeLabel(p, "Label12", QStringLiteral("Счетчик моточасов:"), 16, 76);
    std::tie(Edit1, Edit2) = MakeHourMinuteFields(p, "Edit1", "Edit2", 16, 94);
    Button7 = MakeButton(p, "Button7", QStringLiteral("Установить"), 194, 92, 100, 25);

    MakeLabel(p, "Label15", QStringLiteral("Серийный номер устройства:"), 16, 136);
    Edit3 = MakeEdit(p, "Edit3", QStringLiteral("00000000"), 16, 154, 134);
    Button10 = MakeButton(p, "Button10", QStringLiteral("Установить"), 194, 152, 100, 25);
    for (QWidget* w : {static_cast<QWidget*>(Edit1), static_cast<QWidget*>(Edit2), static_cast<QWidget*>(Button7),
                       static_cast<QWidget*>(Edit3), static_cast<QWidget*>(Button10)})
        w->setEnabled(false);

    // One-shot commands.
    Button8 = MakeButton(p, "Button8", QStringLiteral("Тест SMS"), 16, 210, 278, 28);
    Button9 = MakeButton(p, "Button9", QStringLiteral("Тест GPRS"), 16, 244, 278, 28);
    Button11 = MakeButton(p, "Button11", QStringLiteral("Перезагрузка модема"), 16, 278, 278, 28);
    Button12 = MakeButton(p, "Button12", QStringLiteral("Синхронизация системного времени"), 16, 312, 278, 28);

    // Operating mode and the generator set.
    iSwitchLed4 = Named(new SwitchLamp(QStringLiteral("Режим Авто"), p), "iSwitchLed4");
    iSwitchLed4->setGeometry(360, 16, 180, 22);
    iSwitchLed5 = Named(new SwitchLamp(QStringLiteral("Режим Полу-авто"), p), "iSwitchLed5");
    iSwitchLed5->setGeometry(360, 44, 180, 22);

    MakeLabel(p, "Label16", QStringLiteral("Время работы ГУ:"), 360, 96);
    std::tie(Edit5, Edit6) = MakeHourMinuteFields(p, "Edit5", "Edit6", 360, 114);
    Button16 = MakeButton(p, "Button16", QStringLiteral("Старт"), 530, 112, 100, 25);

    MakeLabel(p, "Label24", QStringLiteral("Время ожидания ГУ:"), 360, 156);
    std::tie(Edit7, Edit8) = MakeHourMinuteFields(p, "Edit7", "Edit8", 360, 174);
    Button17 = MakeButton(p, "Button17", QStringLiteral("Стоп"), 530, 172, 100, 25);

    // Traffic log.
    Button15 = MakeButton(p, "Button15", QStringLiteral("Имя LOG-файла"), 360, 312, 130, 28);
    iSwitchLed3 = Named(new SwitchLamp(QStringLiteral("Вести LOG-файл"), p), "iSwitchLed3");
    iSwitchLed3->setGeometry(500, 315, 160, 22);
}

void TForm1::BuildTerminalPage() {
    QWidget* p = TabSheet3;
    Memo1 = Named(new TerminalMemo(p), "Memo1");
    Memo1->setGeometry(0, 0, 785, 474);
    iSwitchLed2 = Named(new SwitchLamp(QStringLiteral("Отображать данные"), p), "iSwitchLed2");
    iSwitchLed2->setGeometry(8, 490, 160, 22);
    Button5 = MakeButton(p, "Button5", QStringLiteral("Очистить "), 180, 482, 100, 35);
    Button6 = MakeButton(p, "Button6", QStringLiteral("Имя файла"), 560, 482, 100, 35);
    iSwitchLed1 = Named(new SwitchLamp(QStringLiteral("Вести лог"), p), "iSwitchLed1");
    iSwitchLed1->setGeometry(670, 490, 115, 22);
}

void TForm1::SetPageVisible(QWidget* page, bool visible) {
    const int index = PageControl1->indexOf(page);
    if (index >= 0) PageControl1->setTabVisible(index, visible);
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
    // 1. The save dialog starts in the program's folder.
    SaveDialogInitialDir = QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString();
    if (!SaveDialogInitialDir.empty() && SaveDialogInitialDir.back() != '/' && SaveDialogInitialDir.back() != '\\')
        SaveDialogInitialDir += QDir::separator().toLatin1();
    SaveDialogFilter = "Text files (*.txt)|*.txt";
    // 2. Erased configuration image.
    ConfigImage.fill(0xFF);
    // 3. Indicators in their error state.
    SetIndicatorsError();
    // 4. The model-200 catalogue in the tree.
    CurrentModelCode = 200;
    LoadCatalogForModel(CurrentModelCode);
    // 5, 6. Terminal page hidden, measurements page active.
    SetPageVisible(TabSheet3, false);
    PageControl1->setCurrentWidget(TabSheet1);
    // 7. Serial ports into the selector (an error is shown, the window still opens).
    RunHandler([this] { ListPortsIntoSelector(); });
    // 8. The chart's grid follows all Y axes.
    iPlot1->setGridYAxisName(QStringLiteral("<All>"));
}

void TForm1::LoadCatalogForModel(std::uint8_t modelCode) {
    TreeListAdapter tree(*TreeList1);
    tree.Clear();
    LoadCatalog(tree, CatalogForModel(modelCode));
    SetPageVisible(TabSheet5, true);
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
    if (ComPort1) ComPort1->Close();
}

void TForm1::Timer1Timer() {}

void TForm1::Timer3Timer() {
    const QColor now = iAnalog_GU->pointerColor();
    const Rgb current{static_cast<std::uint8_t>(now.red()), static_cast<std::uint8_t>(now.green()),
                      static_cast<std::uint8_t>(now.blue())};
    if (const auto next = BlinkTick(GuPointerBlink, current)) iAnalog_GU->setPointerColor(QColor(next->r, next->g, next->b));
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
