// The page "Параметры": the parameter tree, the edit dialog, reading and writing the
// configuration, configuration files. The handlers are thin: the work is done by params/
// (the same code the command-line tool runs).
#include "app/PageParameters.h"

#include <QCursor>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLocale>
#include <QScreen>
#include <string>

#include "app/BusyControls.h"
#include "app/FormBuilders.h"
#include "app/PageMeasurements.h"
#include "app/TreeListAdapter.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "params/Catalog.h"
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
constexpr const char* kSaveEditsQuestion = "Сохранить их в файл?";

// Shows the progress bar at 0 with a status text, and hides it and puts back the text it
// replaced when the transfer is over, however it ends.
// "Стоп" takes the right end of the bar while the transfer runs.
class TransferIndicators {
  public:
    TransferIndicators(QProgressBar* bar, StopControl& stop, TForm1& form, const char* text)
        : bar_(bar), form_(form), run_(stop), width_(bar->width()), panel_(form.StatusPanelText(1)) {
        bar_->setValue(0);
        const QRect g = bar_->geometry();
        stop.Button->setGeometry(g.right() - 89, g.top() - 3, 90, g.height() + 6);
        bar_->resize(width_ - 96, g.height());
        bar_->show();
        form_.SetStatusPanelText(1, QString::fromUtf8(text));
    }
    ~TransferIndicators() {
        bar_->hide();
        bar_->resize(width_, bar_->height());
        form_.SetStatusPanelText(1, panel_);  // what it said before (a reconnection's note, say)
    }
    TransferIndicators(const TransferIndicators&) = delete;
    TransferIndicators& operator=(const TransferIndicators&) = delete;

  private:
    QProgressBar* bar_;
    TForm1& form_;
    StopControl::Run run_;
    int width_;
    QString panel_;
};

QString ToQString(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

ParametersPage::ParametersPage(QWidget* sheet, TForm1& form) : QObject(sheet), form_(form) {
    TreeList1 = Named(new ColumnTree(sheet), "TreeList1");
    TreeList1->setGeometry(0, 24, 787, 449);
    TreeList1->setColumns({QStringLiteral("Параметр"), QStringLiteral("Значение"), QStringLiteral("Ед. измер."),
                           QStringLiteral("Мин. знач"), QStringLiteral("Макс.знач.")},
                          {300, 150, 100, 100, 100});
    Button1 = MakeButton(sheet, "Button1", QStringLiteral("Сохранить"), 3, 480, 100, 41);
    Button2 = MakeButton(sheet, "Button2", QStringLiteral("Открыть"), 109, 480, 100, 41);
    Button3 = MakeButton(sheet, "Button3", QStringLiteral("Записать"), 582, 480, 100, 41);
    Button4 = MakeButton(sheet, "Button4", QStringLiteral("Прочитать"), 689, 480, 100, 41);
    ProgressBar1 = Named(new QProgressBar(sheet), "ProgressBar1");
    ProgressBar1->setGeometry(232, 488, 329, 29);
    ProgressBar1->hide();
    TransferStop = new StopControl(sheet, &form_, "ButtonTransferStop");
    // Files need no link: they stay usable while a transfer runs.
    BusyControls::MarkNeedsNoLink(Button1);
    BusyControls::MarkNeedsNoLink(Button2);
    SetUpTree();
    connect(Button1, &QPushButton::clicked, this, form_.Guarded([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, form_.Guarded([this] { Button2Click(); }));
    connect(Button3, &QPushButton::clicked, this, form_.Guarded([this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, form_.Guarded([this] { Button4Click(); }));
    // A double click anywhere in the tree, also below the last row, edits the selected row.
    connect(TreeList1, &ColumnTree::nodeDoubleClicked, this, form_.Guarded([this] { TreeList1DblClick(); }));
}

void ParametersPage::SetUpTree() {
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

}

char ParametersPage::DecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && point[0].unicode() < 0x80 ? static_cast<char>(point[0].unicode()) : '.';
}

void ParametersPage::ClearTree() {
    TreeListAdapter tree(*TreeList1);
    tree.Clear();
}

void ParametersPage::LoadCatalog(std::uint8_t modelCode) {
    TreeListAdapter tree(*TreeList1);
    tree.Clear();
    lum::LoadCatalog(tree, CatalogForModel(modelCode));
    edits_.MarkClean(tree);
}

bool ParametersPage::TreeEdited() const {
    TreeListAdapter tree(*TreeList1);
    return edits_.Edited(tree);
}

void ParametersPage::MarkTreeClean() {
    TreeListAdapter tree(*TreeList1);
    edits_.MarkClean(tree);
}

bool ParametersPage::ConfirmDiscardEdits(const std::string& why) {
    if (!TreeEdited()) return true;
    const MsgResult answer =
        form_.Dialogs().MessageBox(why + "\n" + kSaveEditsQuestion, kCaptionWarning, MsgButtons::SaveDiscardCancel);
    if (answer == MsgResult::Discard) return true;
    if (answer == MsgResult::Save) return SaveConfigurationFile();
    return false;
}

void ParametersPage::TreeList1DblClick() {
    QTreeWidgetItem* item = TreeList1->currentItem();
    if (!item || !item->isSelected() || !form_.Form2) return;
    const std::size_t index = static_cast<std::size_t>(TreeList1->indexOf(item));
    TreeListAdapter tree(*TreeList1);
    const std::string value = GetNodeField(tree, index, FieldValue);
    const std::string kind = GetNodeField(tree, index, FieldKind);
    if (!form_.Form2->Prepare(ToQString(kind), ToQString(value))) return;

    const QPoint pointer = QCursor::pos();
    const QScreen* screen = QGuiApplication::screenAt(pointer);
    if (!screen) screen = QGuiApplication::primaryScreen();
    form_.Form2->PlaceAt(pointer, screen ? screen->availableGeometry() : QRect());
    form_.Form2->exec();

    // A status record may have rebuilt the tree meanwhile: the value then has no row.
    if (TreeList1->currentItem() != item || TreeList1->indexOf(item) != static_cast<int>(index)) return;
    const std::string text = form_.Form2->ResultText().toStdString();
    if (form_.Form2->UsesList() && text.empty()) return;  // the row's value was none of the items, none picked
    if (const auto warning = SetParameterValue(tree, index, text, DecimalSeparator()))
        form_.Dialogs().MessageBox(*warning, kCaptionWarning, MsgButtons::Ok);
}

TransferOptions ParametersPage::Options(TransferStage shown) {
    TransferOptions o;
    o.progress = [this, shown](TransferStage stage, int p) {
        if (stage == shown) ProgressBar1->setValue(p);
    };
    o.stopRequested = [this] { return TransferStop->Token().Requested() || form_.Closing(); };
    return o;
}

void ParametersPage::Button4Click() {
    if (!form_.LinkFree()) return;
    ReadResult r;
    {
        TransferIndicators shown(ProgressBar1, *TransferStop, form_, kReading);
        Transactions::Operation op = form_.Device->Tx.Begin();
        op.WatchCancel(&TransferStop->Token());
        r = ReadConfiguration(op, Image, Options(TransferStage::Read));
    }
    const Outcome said = ReadOutcome(r);
    if (!r.Ok) {
        form_.Dialogs().MessageBox(said.text, said.caption, MsgButtons::Ok);
        return;
    }
    TreeListAdapter tree(*TreeList1);
    UnpackImageToTree(tree, Image);
    edits_.MarkClean(tree);
    ApplyGaugeThresholds();
    form_.Dialogs().MessageBox(said.text, said.caption, MsgButtons::Ok);
}

void ParametersPage::Button3Click() {
    if (!form_.LinkFree()) return;
    TreeListAdapter tree(*TreeList1);
    PackTreeToImage(tree, Image);  // a value that cannot be packed stops here: nothing sent
    // The write sends its own copy: a file saved or opened meanwhile does not change it.
    const ConfigImage sending = Image;
    for (;;) {
        WriteResult w;
        {
            TransferIndicators shown(ProgressBar1, *TransferStop, form_, kWriting);
            Transactions::Operation op = form_.Device->Tx.Begin();
            op.WatchCancel(&TransferStop->Token());
            w = WriteConfiguration(op, sending, Options(TransferStage::Write));
        }
        const Outcome said = WriteOutcome(w, tree, sending);
        if (said.offerRetry) {
            const MsgResult again = form_.Dialogs().MessageBox(said.text + "\n\n" + kWriteAgainQuestion, said.caption,
                                                               MsgButtons::YesNo);
            if (again == MsgResult::Yes && !form_.Closing() && form_.LinkFree()) continue;
            return;
        }
        if (said.Ok()) edits_.MarkClean(tree);  // the controller holds these values now
        form_.Dialogs().MessageBox(said.text, said.caption, MsgButtons::Ok);
        if (said.Ok()) ApplyGaugeThresholds();
        return;
    }
}

void ParametersPage::ApplyGaugeThresholds() {
    form_.Measurements->ApplyGaugeThresholds(ComputeGaugeThresholds(Image));
}

void ParametersPage::Button1Click() { SaveConfigurationFile(); }

bool ParametersPage::SaveConfigurationFile() {
    const auto name =
        form_.Dialogs().SaveFileNameAs(form_.SaveDialogInitialDir, form_.SaveDialogFilter, form_.windowTitle().toStdString());
    if (!name) return false;
    TreeListAdapter tree(*TreeList1);
    PackTreeToImage(tree, Image);
    SaveConfigFile(ConfigFilePath(*name), Image);
    edits_.MarkClean(tree);
    form_.setWindowTitle(ToQString(TitleAfterSave(*name)));
    return true;
}

void ParametersPage::Button2Click() {
    if (!ConfirmDiscardEdits("Значения параметров изменены и не сохранены; открытый файл заменит их.")) return;
    const auto name = form_.Dialogs().OpenFileName({}, {});
    if (!name) return;
    const lum::ConfigImage loaded = LoadConfigFile(*name);  // checks the whole file first
    Image = loaded;
    TreeListAdapter tree(*TreeList1);
    UnpackImageToTree(tree, Image);
    edits_.MarkClean(tree);
}

}  // namespace lum
