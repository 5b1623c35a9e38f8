#pragma once
// The page "Параметры": the parameter tree, the edit dialog, reading and writing the
// configuration, configuration files. Main (GUI) thread only.
#include <QObject>
#include <QProgressBar>
#include <QPushButton>
#include <cstdint>

#include "app/StopControl.h"
#include "params/EditTracker.h"
#include "params/Packing.h"
#include "params/Transfer.h"
#include "widgets/ColumnTree.h"

namespace lum {

class TForm1;

class ParametersPage : public QObject {
    Q_OBJECT
  public:
    // Builds the page's controls on `sheet`; the window gives the link, the dialogs, the
    // edit dialog and the status bar.
    ParametersPage(QWidget* sheet, TForm1& form);

    // The configuration image the tree was last read into, opened from or written from.
    ConfigImage Image{};

    ColumnTree* TreeList1;
    QPushButton *Button1, *Button2, *Button3, *Button4;
    QProgressBar* ProgressBar1;
    // "Стоп" (and Esc) while a read or a write runs.
    StopControl* TransferStop;
    void Button1Click();  // "Сохранить": SaveConfigurationFile
    void Button2Click();  // "Открыть": OpenConfigurationFile
    void Button3Click();  // "Записать": WriteConfiguration, with the read-back check
    void Button4Click();  // "Прочитать": ReadConfiguration
    void TreeList1DblClick();  // EditParameter: the selected row in the edit dialog

    // Empties the tree; fills it from the catalogue of a model (its defaults are then
    // the values nothing has edited).
    void ClearTree();
    void LoadCatalog(std::uint8_t modelCode);

    // Values edited since the last catalogue load, read, open, save or verified write.
    bool TreeEdited() const;
    void MarkTreeClean();
    // Before something discards the tree's values: with edited values, asks whether to
    // save them first ("Сохранить" / "Не сохранять" / "Отмена"); `why` leads the question.
    // True when the caller may go on: nothing edited, the values saved, or the user chose
    // not to save. A failed save raises its error (the caller does not go on).
    bool ConfirmDiscardEdits(const std::string& why);
    // "Сохранить" without its file choice cancelled: true when the file was written.
    bool SaveConfigurationFile();
    // The measurement gauges' limit marks from Image (shown through the window).
    void ApplyGaugeThresholds();
    // The system's decimal separator, as the edit dialog's number check uses it.
    static char DecimalSeparator();

  private:
    void SetUpTree();
    // The transfer's options: progress on ProgressBar1 (for `shown`), the stop token.
    TransferOptions Options(TransferStage shown);
    TForm1& form_;
    EditTracker edits_;
};

}  // namespace lum
