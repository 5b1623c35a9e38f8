// The page "Параметры": the parameter tree, the edit dialog, reading and writing the
// configuration, configuration files. The handlers are thin: the work is done by params/
// (the same code the command-line tool runs).
#include <QCursor>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLocale>
#include <QScreen>
#include <string>

#include "app/TelemetryView.h"
#include "app/TreeListAdapter.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "params/ConfigFile.h"
#include "params/GaugeThresholds.h"
#include "params/NodeText.h"
#include "params/ParamLookup.h"
#include "params/Transfer.h"
#include "telemetry/StatusPresenter.h"
#include "terminal/Outcome.h"

namespace lum {
namespace {

constexpr const char* kReading = "Чтение параметров из устройства...";
constexpr const char* kWriting = "Запись параметров в устройство...";

// Shows the progress bar at 0 with a status text, and hides it and empties the text when
// the transfer is over, however it ends.
class TransferIndicators {
  public:
    TransferIndicators(TForm1& form, const char* text) : form_(form) {
        form_.ProgressBar1->setValue(0);
        form_.ProgressBar1->show();
        form_.SetStatusPanelText(1, QString::fromUtf8(text));
    }
    ~TransferIndicators() {
        form_.ProgressBar1->hide();
        form_.SetStatusPanelText(1, QString());
    }
    TransferIndicators(const TransferIndicators&) = delete;
    TransferIndicators& operator=(const TransferIndicators&) = delete;

  private:
    TForm1& form_;
};

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void TForm1::SetUpParametersPage() {
    QFont font(QStringLiteral("Tahoma"));
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(13);
    TreeList1->setFont(font);
    TreeList1->header()->setFont(font);
    TreeList1->setSeparator(QChar(NodeSeparator));
    TreeList1->setHeaderHeight(25);
    TreeList1->setRowHeight(14);
    TreeList1->setGridLines(true);
    TreeList1->setIndentation(19);

    connect(Button1, &QPushButton::clicked, this, Guarded([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, Guarded([this] { Button2Click(); }));
    connect(Button3, &QPushButton::clicked, this, Guarded([this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, Guarded([this] { Button4Click(); }));
    // A double click anywhere in the tree, also below the last row, edits the selected row.
    connect(TreeList1, &ColumnTree::nodeDoubleClicked, this, Guarded([this] { TreeList1DblClick(); }));
    connect(ComboBox_DeviceVersions, &QComboBox::currentTextChanged, this,
            Guarded([this] { ComboBox_DeviceVersionsChange(); }));
}

char TForm1::DecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && point[0].unicode() < 0x80 ? static_cast<char>(point[0].unicode()) : '.';
}

void TForm1::ComboBox_DeviceVersionsChange() {
    TreeListAdapter tree(*TreeList1);
    tree.Clear();
    const auto index = IndexForSelectorText(ComboBox_DeviceVersions->currentText().toStdString());
    const auto code = index ? ModelCodeForIndex(*index) : std::nullopt;
    if (!code) return;  // a text that names no model leaves the tree empty
    CurrentModelCode = *code;
    LoadCatalogForModel(*code);
}

void TForm1::SelectCatalogForModel(std::uint8_t modelCode) {
    DeviceCatalogView view(*this);
    lum::SelectCatalogForModel(modelCode, CurrentModelCode, view);
}

void TForm1::TreeList1DblClick() {
    QTreeWidgetItem* item = TreeList1->currentItem();
    if (!item || !item->isSelected() || !Form2) return;
    const std::size_t index = static_cast<std::size_t>(TreeList1->indexOf(item));
    TreeListAdapter tree(*TreeList1);
    const std::string value = GetNodeField(tree, index, FieldValue);
    const std::string kind = GetNodeField(tree, index, FieldKind);
    if (!Form2->Prepare(Q(kind), Q(value))) return;

    const QPoint pointer = QCursor::pos();
    const QScreen* screen = QGuiApplication::screenAt(pointer);
    if (!screen) screen = QGuiApplication::primaryScreen();
    Form2->PlaceAt(pointer, screen ? screen->availableGeometry() : QRect());
    Form2->exec();

    // A status record may have rebuilt the tree meanwhile: the value then has no row.
    if (TreeList1->currentItem() != item || TreeList1->indexOf(item) != static_cast<int>(index)) return;
    const std::string text = Form2->ResultText().toStdString();
    if (Form2->UsesList() && text.empty()) return;  // the row's value was none of the items, none picked
    if (const auto warning = SetParameterValue(tree, index, text, DecimalSeparator()))
        dialogs_.MessageBox(*warning, kCaptionWarning, MsgButtons::Ok);
}

void TForm1::Button4Click() {
    TransferIndicators shown(*this, kReading);
    Transactions::Operation op = Device->Tx.Begin();
    const ReadResult r = ReadConfiguration(op, ConfigImage, [this](TransferStage, int p) { ProgressBar1->setValue(p); });
    op.Release();
    const Outcome said = ReadOutcome(r);
    if (!r.Ok) {
        dialogs_.MessageBox(said.text, said.caption, MsgButtons::Ok);
        return;
    }
    TreeListAdapter tree(*TreeList1);
    UnpackImageToTree(tree, ConfigImage);
    ApplyGaugeThresholds();
    dialogs_.MessageBox(said.text, said.caption, MsgButtons::Ok);
}

void TForm1::Button3Click() {
    TransferIndicators shown(*this, kWriting);
    TreeListAdapter tree(*TreeList1);
    PackTreeToImage(tree, ConfigImage);  // a value that cannot be packed stops here: nothing sent
    Transactions::Operation op = Device->Tx.Begin();
    const WriteResult w = WriteConfiguration(op, ConfigImage, [this](TransferStage stage, int p) {
        if (stage == TransferStage::Write) ProgressBar1->setValue(p);
    });
    op.Release();
    const Outcome said = WriteOutcome(w, tree, ConfigImage);
    dialogs_.MessageBox(said.text, said.caption, MsgButtons::Ok);
    if (said.Ok()) ApplyGaugeThresholds();
}

void TForm1::ApplyGaugeThresholds() {
    const GaugeThresholds t = ComputeGaugeThresholds(ConfigImage);
    iAnalog_GU->setSectionEnd1(t.GuEnd1);
    iAnalog_GU->setSectionEnd2(t.GuEnd2);
    for (GaugeBase* g : {static_cast<GaugeBase*>(iAnalog_A), static_cast<GaugeBase*>(iAnalog_B),
                         static_cast<GaugeBase*>(iAnalog_C)}) {
        g->setSectionEnd1(t.MainsEnd1);
        g->setSectionEnd2(t.MainsEnd2);
    }
    iAnalog_Temperature->setSectionEnd1(t.TemperatureEnd1);
    iAnalog_ACC->setSectionEnd1(t.AccEnd1);
    iAnalog_UPS->setSectionEnd1(t.UpsEnd1);
    iAnalog_UPS->setSectionEnd2(t.UpsEnd2);
    if (t.UpsScale) {
        iAnalog_UPS->setPositionMin(t.UpsScale->Min);
        iAnalog_UPS->setPositionMax(t.UpsScale->Max);
    }
}

void TForm1::Button1Click() {
    const auto name =
        dialogs_.SaveFileNameAs(SaveDialogInitialDir, SaveDialogFilter, windowTitle().toStdString());
    if (!name) return;
    TreeListAdapter tree(*TreeList1);
    PackTreeToImage(tree, ConfigImage);
    SaveConfigFile(ConfigFilePath(*name), ConfigImage);
    setWindowTitle(Q(TitleAfterSave(*name)));
}

void TForm1::Button2Click() {
    const auto name = dialogs_.OpenFileName({}, {});
    if (!name) return;
    const lum::ConfigImage loaded = LoadConfigFile(*name);  // checks the whole file first
    ConfigImage = loaded;
    TreeListAdapter tree(*TreeList1);
    UnpackImageToTree(tree, ConfigImage);
}

}  // namespace lum
