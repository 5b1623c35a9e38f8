// The page "Параметры" without a controller: the tree widget, the model selector, the
// edit dialog and its checks, configuration files.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QHeaderView>
#include <QLocale>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <tuple>
#include <fstream>

#include "app/TreeListAdapter.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "params/ConfigFile.h"
#include "params/NodeText.h"
#include "app/QtSafeSync.h"
#include "params/Transfer.h"
#include "sim/SimRunner.h"
#include "terminal/Outcome.h"
#include "tests/app/QtTestApp.h"

namespace lum {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class ParametersPage : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureApp();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        form = std::make_unique<TForm1>(dialogs);
        form2 = std::make_unique<TForm2>(form.get());
        form->Form2 = form2.get();
        dir = fs::temp_directory_path() / ("lum-params-page-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        form2.reset();
        form.reset();
        fs::remove_all(dir);
        QLocale::setDefault(QLocale::c());
    }

    std::string Field(int index, int k) {
        TreeListAdapter tree(*form->Parameters->TreeList1);
        return GetNodeField(tree, static_cast<std::size_t>(index), k);
    }
    std::vector<std::string> Texts() {
        TreeListAdapter tree(*form->Parameters->TreeList1);
        std::vector<std::string> out;
        for (std::size_t i = 0; i < tree.NodeCount(); ++i) out.push_back(tree.NodeText(i));
        return out;
    }
    // Selects row `index` and double-clicks; while the dialog is open, `act` runs on it and
    // then "Установить" is pressed. Returns whether the dialog opened.
    bool Edit(int index, const std::function<void(TForm2&)>& act) {
        form->Parameters->TreeList1->setCurrentItem(form->Parameters->TreeList1->nodeAt(index));
        bool opened = false;
        QTimer::singleShot(0, form2.get(), [&] {
            if (!form2->isVisible()) return;
            opened = true;
            act(*form2);
            form2->Button1->click();
        });
        form->RunHandler([&] { form->Parameters->TreeList1DblClick(); });
        QCoreApplication::processEvents();
        return opened;
    }
    bool Type(int index, const QString& text) {
        return Edit(index, [&](TForm2& d) { d.Edit1->setText(text); });
    }
    std::string File(const std::string& name) const { return (dir / name).string(); }

    ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm2> form2;
    fs::path dir;
};

// Rows of the model-200 catalogue used below.
constexpr int kEngineType = 0, kMainsLow = 3, kGenOn = 10, kChokeTime = 21, kTestStart = 24, kCounter = 35;
constexpr int kLogin = 49, kGoodSends = 52, kBadSends = 53, kPhone1 = 57, kAccess1 = 58, kSensorLow = 82;
constexpr int kSerial = 83;

TEST_F(ParametersPage, TreeWidgetLooksAndBehavesAsSet) {
    ColumnTree& t = *form->Parameters->TreeList1;
    EXPECT_EQ(t.headerItem()->text(2), QStringLiteral("Ед. измер."));
    EXPECT_EQ(t.headerItem()->text(3), QStringLiteral("Мин. знач"));
    EXPECT_EQ(t.headerItem()->text(4), QStringLiteral("Макс.знач."));
    for (int c = 2; c < 5; ++c) EXPECT_EQ(t.columnWidth(c), 100);
    EXPECT_EQ(t.header()->height(), 25);
    EXPECT_EQ(t.header()->sectionResizeMode(0), QHeaderView::Interactive);
    EXPECT_EQ(t.indentation(), 19);
    EXPECT_EQ(t.font().pixelSize(), 13);
    EXPECT_EQ(t.header()->font().pixelSize(), 13);
    EXPECT_TRUE(t.gridLines());
    EXPECT_EQ(t.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(t.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(t.selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(t.palette().color(QPalette::Inactive, QPalette::Highlight),
              t.palette().color(QPalette::Active, QPalette::Highlight));
    form->resize(799, 572);
    form->show();
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    QCoreApplication::processEvents();
    EXPECT_EQ(t.visualItemRect(t.nodeAt(0)).height(), 14);
    // All collapsed after a load: only the seven top-level rows show.
    int shown = 0;
    for (QTreeWidgetItem* n : t.allNodes()) shown += t.visualItemRect(n).isValid() ? 1 : 0;
    EXPECT_EQ(shown, 7);
}

TEST_F(ParametersPage, NodeAccessByFlatIndexAndFields) {
    TreeListAdapter tree(*form->Parameters->TreeList1);
    ASSERT_EQ(tree.NodeCount(), 84u);
    EXPECT_THROW(tree.NodeText(84), std::out_of_range);
    EXPECT_EQ(form->Parameters->TreeList1->nodeAt(84), nullptr);
    EXPECT_EQ(form->Parameters->TreeList1->nodeAt(-1), nullptr);
    EXPECT_EQ(form->Parameters->TreeList1->indexOf(form->Parameters->TreeList1->nodeAt(57)), 57);
    EXPECT_EQ(GetNodeField(tree, 1, FieldKind), "0");
    SetNodeField(tree, kGenOn, FieldValue, "выкл.");
    EXPECT_EQ(tree.NodeText(kGenOn), "Активность функции;выкл.;;;;1;10;2");
    EXPECT_EQ(form->Parameters->TreeList1->nodeAt(kGenOn)->text(1), QStringLiteral("выкл."));
    // A short text gets the separators of the five columns first.
    tree.SetNodeText(0, "abc");
    SetNodeField(tree, 0, 2, "x");
    EXPECT_EQ(tree.NodeText(0), "abc;;x;;;");
    EXPECT_EQ(GetNodeField(tree, 0, 7), "");
}

TEST_F(ParametersPage, SelectorChoosesTheCatalogue) {
    form->ComboBox_DeviceVersions->setCurrentIndex(3);
    EXPECT_EQ(form->CurrentModelCode, 30);
    ASSERT_EQ(form->Parameters->TreeList1->allNodes().size(), 84);
    EXPECT_EQ(Field(23, FieldName), "Темп. закрытия заслонки");
    EXPECT_EQ(Field(25, FieldName), "Темп. подключения нагрузки");
    for (const auto& t : Texts()) EXPECT_EQ(t.find("Термодатчик"), std::string::npos);
    // An unedited tree follows the controller; a record reporting 30 rebuilds nothing.
    form->SelectCatalogForModel(30);
    EXPECT_EQ(form->Parameters->TreeList1->allNodes().size(), 84);
    form->SelectCatalogForModel(201);
    EXPECT_EQ(form->Parameters->TreeList1->allNodes().size(), 83);
    EXPECT_EQ(form->ComboBox_DeviceVersions->currentIndex(), 1);
    EXPECT_EQ(form->CurrentModelCode, 201);
    form->SelectCatalogForModel(7);
    EXPECT_EQ(form->CurrentModelCode, 201);
    // Typed keys, a paste and the wheel change nothing: the selector is for choosing.
    QComboBox* box = form->ComboBox_DeviceVersions;
    form->show();
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("x2"));
    QKeyEvent cyrillic(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("Л"));
    QCoreApplication::sendEvent(box->lineEdit(), &cyrillic);
    QTest::keyClick(box->lineEdit(), Qt::Key_Backspace);
    QTest::keyClick(box->lineEdit(), Qt::Key_V, Qt::ControlModifier);
    QWheelEvent wheel(QPointF(5, 5), box->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, -120), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(box, &wheel);
    EXPECT_EQ(box->currentText(), QStringLiteral("ЛУМ-дизель v2.0 "));
    const auto shown = [&] { return std::tuple(box->currentIndex(), form->Parameters->TreeList1->allNodes().size(), +form->CurrentModelCode); };
    EXPECT_EQ(shown(), std::tuple(1, 83, 201));
    box->setCurrentIndex(2);
    EXPECT_EQ(shown(), std::tuple(2, 81, 202));
    EXPECT_TRUE(dialogs.boxes.empty());
}

// Edited values are never dropped without a word: a model chosen asks first, a status record
// of another model keeps them and says so, "Открыть" and closing the window ask.
TEST_F(ParametersPage, EditedValuesAreKeptOrTheUserAsked) {
    QComboBox* box = form->ComboBox_DeviceVersions;
    QLabel* notice = form->ModelNotice;
    const auto edit = [&](const char* v) { ASSERT_TRUE(Type(kMainsLow, QString::fromUtf8(v))); };
    // (model code, selector entry, value of the edited row, question boxes so far)
    const auto state = [&] {
        return std::tuple(+form->CurrentModelCode, box->currentIndex(), Field(kMainsLow, FieldValue), dialogs.boxes.size());
    };
    EXPECT_FALSE(form->Parameters->TreeEdited());
    edit("200");
    EXPECT_TRUE(form->Parameters->TreeEdited());
    // "Отмена": the tree, the model and the selector's text stay.
    dialogs.answers = {MsgResult::Cancel};
    box->setCurrentIndex(1);
    EXPECT_EQ(state(), std::tuple(200, -1, std::string("200"), 1u));
    EXPECT_EQ(dialogs.boxes.back().buttons, MsgButtons::SaveDiscardCancel);
    EXPECT_EQ(box->currentText(), QStringLiteral("ЛУМ-бензин v2.0"));
    // A record of another model keeps the edits and names the model, never asking; a record of
    // the tree's own model takes the notice away; its link loads the catalogue, after asking.
    form->SelectCatalogForModel(201);
    EXPECT_EQ(state(), std::tuple(200, -1, std::string("200"), 1u));
    EXPECT_TRUE(!notice->isHidden() && notice->text().contains(QStringLiteral("ЛУМ-дизель v2.0")));
    form->SelectCatalogForModel(200);
    EXPECT_TRUE(notice->isHidden());
    form->SelectCatalogForModel(201);
    dialogs.answers = {MsgResult::Discard};
    form->LoadReportedCatalog();
    EXPECT_EQ(state(), std::tuple(201, 1, std::string("180"), 2u));
    EXPECT_TRUE(notice->isHidden() && form->Parameters->TreeList1->allNodes().size() == 83);
    // "Сохранить" saves first; a save cancelled in its file dialog changes nothing.
    edit("210");
    dialogs.answers = {MsgResult::Save};
    dialogs.fileAnswers = {File("kept")};
    box->setCurrentIndex(3);
    EXPECT_EQ(LoadConfigFile(File("kept.txt"))[37], 210);
    EXPECT_EQ(form->CurrentModelCode, 30);
    edit("211");
    dialogs.answers = {MsgResult::Save};
    box->setCurrentIndex(0);
    EXPECT_EQ(state(), std::tuple(30, 3, std::string("211"), 4u));
    // "Открыть" asks before it replaces the values; once opened, nothing is edited and the tree
    // follows the controller again.
    dialogs.answers = {MsgResult::Cancel, MsgResult::Discard};
    dialogs.fileAnswers = {File("kept.txt")};
    form->Parameters->Button2->click();
    EXPECT_EQ(state(), std::tuple(30, 3, std::string("211"), 5u));
    form->Parameters->Button2->click();
    EXPECT_EQ(Field(kMainsLow, FieldValue), "210");
    form->SelectCatalogForModel(202);
    EXPECT_EQ(form->CurrentModelCode, 202);
    // Closing the window asks ("Отмена" keeps it open); with nothing edited it does not.
    form->show();
    edit("200");
    dialogs.answers = {MsgResult::Cancel, MsgResult::Discard};
    EXPECT_TRUE(!form->close() && form->isVisible());
    EXPECT_TRUE(form->close());
    form->show();
    form->Parameters->MarkTreeClean();
    EXPECT_TRUE(form->close());
    EXPECT_EQ(dialogs.boxes.size(), 8u);
}

TEST_F(ParametersPage, HeadingsReadOnlyRowsAndNoSelectionOpenNothing) {
    for (int row : {1, 2, kGoodSends, kSerial}) EXPECT_FALSE(Edit(row, [](TForm2&) {})) << row;
    form->Parameters->TreeList1->clearSelection();
    form->Parameters->TreeList1->setCurrentItem(nullptr);
    bool opened = false;
    QTimer::singleShot(0, form2.get(), [&] {
        opened = form2->isVisible();
        if (opened) form2->accept();
    });
    form->Parameters->TreeList1DblClick();
    QCoreApplication::processEvents();
    EXPECT_FALSE(opened);
}

TEST_F(ParametersPage, NumberChecksWarnAndKeepTheRow) {
    EXPECT_TRUE(Type(kMainsLow, "159"));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, "Значение вне диапазона");
    EXPECT_EQ(dialogs.boxes[0].caption, "Warning");
    EXPECT_TRUE(Type(kMainsLow, "abc"));
    EXPECT_EQ(dialogs.boxes.back().text, "Значение должно быть числом");
    EXPECT_EQ(Field(kMainsLow, FieldValue), "180");
    EXPECT_TRUE(Type(kMainsLow, "221"));
    EXPECT_EQ(Field(kMainsLow, FieldValue), "180");
    EXPECT_TRUE(Type(kMainsLow, "160"));
    EXPECT_EQ(Field(kMainsLow, FieldValue), "160");
    EXPECT_TRUE(Type(kSensorLow, "-30"));
    EXPECT_EQ(Field(kSensorLow, FieldValue), "-30");
    EXPECT_TRUE(Type(kPhone1, "123"));  // numerically inside; packing refuses it later
    EXPECT_EQ(Field(kPhone1, FieldValue), "123");
    EXPECT_TRUE(Type(kLogin, ""));
    EXPECT_EQ(Field(kLogin, FieldValue), "");
    EXPECT_EQ(dialogs.boxes.size(), 3u);
}

TEST_F(ParametersPage, DecimalSeparatorFollowsTheLocale) {
    EXPECT_EQ(lum::ParametersPage::DecimalSeparator(), ',');
    EXPECT_TRUE(Type(kChokeTime, "12.5"));
    EXPECT_EQ(dialogs.boxes.back().text, "Значение должно быть числом");
    EXPECT_TRUE(Type(kChokeTime, "12,5"));
    EXPECT_EQ(Field(kChokeTime, FieldValue), "12,5");  // as typed
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(lum::ParametersPage::DecimalSeparator(), '.');
    EXPECT_TRUE(Type(kChokeTime, "12,5"));
    EXPECT_EQ(dialogs.boxes.back().text, "Значение должно быть числом");
    EXPECT_TRUE(Type(kChokeTime, "12.5"));
    EXPECT_EQ(Field(kChokeTime, FieldValue), "12.5");
}

TEST_F(ParametersPage, ListsOpenOnTheRowsValueAndOfferOnlyTheirItems) {
    // Setting one on/off row to "выкл." does not carry over to another row showing "вкл.".
    EXPECT_TRUE(Edit(kGenOn, [](TForm2& d) { d.ComboBox1->setCurrentIndex(0); }));
    EXPECT_EQ(Field(kGenOn, FieldValue), "выкл.");
    SetNodeField(*std::make_unique<TreeListAdapter>(*form->Parameters->TreeList1), 38, FieldValue, "вкл.");
    QString shown;
    EXPECT_TRUE(Edit(38, [&](TForm2& d) {
        shown = d.ComboBox1->currentText();
        EXPECT_FALSE(d.ComboBox1->isEditable());
        EXPECT_TRUE(d.ComboBox1->isVisible());
        EXPECT_FALSE(d.Edit1->isVisible());
        EXPECT_EQ(d.ComboBox1->pos(), QPoint(5, 5));
    }));
    EXPECT_EQ(shown, QStringLiteral("вкл."));
    EXPECT_EQ(Field(38, FieldValue), "вкл.");
    EXPECT_TRUE(Edit(kTestStart, [](TForm2& d) { d.ComboBox6->setCurrentIndex(2); }));
    EXPECT_EQ(Field(kTestStart, FieldValue), "с подключ. нагр.");
    EXPECT_TRUE(Edit(kAccess1, [](TForm2& d) { EXPECT_EQ(d.ComboBox5->count(), 3); }));
    EXPECT_EQ(Field(kAccess1, FieldValue), "выкл.");
    // A value none of the items (read from a controller) stays as it is.
    SetNodeField(*std::make_unique<TreeListAdapter>(*form->Parameters->TreeList1), kEngineType, FieldValue, "");
    EXPECT_TRUE(Edit(kEngineType, [](TForm2& d) { EXPECT_EQ(d.ComboBox4->currentIndex(), -1); }));
    EXPECT_EQ(Field(kEngineType, FieldValue), "");
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ParametersPage, DoubleClickInTheTreeEditsTheSelectedRow) {
    form->resize(799, 572);
    form->show();
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    ColumnTree& t = *form->Parameters->TreeList1;
    t.setCurrentItem(t.nodeAt(kEngineType));
    QCoreApplication::processEvents();
    int opened = 0;
    // A real double click, as a mouse sends it: press, release, press, double click, release.
    const auto doubleClick = [&](QPoint at) {
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonPress,
                                  QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
            QMouseEvent e(type, QPointF(at), t.viewport()->mapToGlobal(QPointF(at)), Qt::LeftButton, held, {});
            QCoreApplication::sendEvent(t.viewport(), &e);
        }
        QCoreApplication::processEvents();
    };
    const auto answer = [&](int item) {
        QTimer::singleShot(0, form2.get(), [&, item] {
            opened += form2->isVisible() ? 1 : 0;
            form2->ComboBox4->setCurrentIndex(item);
            form2->Button1->click();
        });
    };
    answer(2);
    doubleClick(t.visualItemRect(t.nodeAt(kEngineType)).center());
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(Field(kEngineType, FieldValue), "сухой контакт");
    // Below the last row, the selected row is edited too: the first press keeps the selection.
    answer(1);
    doubleClick(QPoint(100, t.viewport()->height() - 5));
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(Field(kEngineType, FieldValue), "дизель");
    EXPECT_EQ(t.currentItem(), t.nodeAt(kEngineType));
}

TEST_F(ParametersPage, ModelSwitchWhileTheDialogIsOpenDropsItsValue) {
    EXPECT_TRUE(Edit(kMainsLow, [&](TForm2& d) {
        d.Edit1->setText(QStringLiteral("200"));
        form->SelectCatalogForModel(201);  // a status record of another model arrives meanwhile
    }));
    EXPECT_EQ(form->Parameters->TreeList1->allNodes().size(), 83);
    EXPECT_EQ(Field(kMainsLow, FieldValue), "180");
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(ParametersPage, DialogSitsNextToThePointerAndStaysOnScreen) {
    const QRect screen(0, 0, 1280, 1024);
    form2->PlaceAt({500, 400}, screen);
    EXPECT_EQ(form2->pos(), QPoint(470, 355));
    form2->PlaceAt({10, 10}, screen);
    EXPECT_EQ(form2->pos(), QPoint(0, 0));
    form2->PlaceAt({1279, 1023}, screen);
    EXPECT_LE(form2->pos().x() + form2->width(), 1280);
    EXPECT_LE(form2->pos().y() + TForm2::kOuterHeight, 1024);
}

TEST_F(ParametersPage, SaveRightAfterStartUpByteForByte) {
    dialogs.fileAnswers.push_back(File("conf"));
    form->Parameters->Button1->click();
    ASSERT_EQ(dialogs.proposedNames.size(), 1u);
    EXPECT_EQ(dialogs.proposedNames[0], "ПО Конфигуратор v2a");
    const std::string text = Slurp(File("conf.txt"));
    ASSERT_EQ(text.size(), 16u * 66u);
    for (int line = 0; line < 16; ++line) EXPECT_EQ(text.substr(line * 66 + 64, 2), "\r\n");
    const ConfigImage image = ParseConfigFile(text);
    for (std::size_t a : {0u, 1u, 2u, 3u}) EXPECT_EQ(image[a], 255);
    for (std::size_t a = 180; a <= 191; ++a) EXPECT_EQ(image[a], 255);
    for (std::size_t a = 4; a <= 7; ++a) EXPECT_EQ(image[a], 0);
    EXPECT_EQ(image[8], 100);
    EXPECT_EQ(image[36], 0);
    EXPECT_EQ(image[37], 180);
    EXPECT_EQ(text.substr(0, 40), "255 255 255 255 0   0   0   0   100 0   ");
    EXPECT_EQ(form->windowTitle(), QString::fromStdString(File("conf")));
    // The next save proposes that path; a name ending in ".txt" gets no second one.
    dialogs.fileAnswers.push_back(File("second.txt"));
    form->Parameters->Button1->click();
    EXPECT_EQ(dialogs.proposedNames[1], File("conf"));
    EXPECT_TRUE(fs::exists(File("second.txt")));
    EXPECT_FALSE(fs::exists(File("second.txt.txt")));
    EXPECT_EQ(form->windowTitle(), QString::fromStdString(File("second.txt")));
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(ParametersPage, OpenAfterSaveGivesBackEveryValueButTheReadOnlyRows) {
    TreeListAdapter tree(*form->Parameters->TreeList1);
    SetNodeField(tree, kMainsLow, FieldValue, "175");
    SetNodeField(tree, kPhone1, FieldValue, "0123456789");
    SetNodeField(tree, kGenOn, FieldValue, "выкл.");
    SetNodeField(tree, kCounter, FieldValue, "5999940");
    SetNodeField(tree, kLogin, FieldValue, "user_1");
    dialogs.fileAnswers.push_back(File("edited"));
    form->Parameters->Button1->click();
    const std::vector<std::string> saved = Texts();
    form->LoadCatalogForModel(200);  // back to the defaults
    dialogs.fileAnswers.push_back(File("edited.txt"));
    form->Parameters->Button2->click();
    ASSERT_TRUE(dialogs.errors.empty()) << dialogs.errors[0];
    const std::vector<std::string> opened = Texts();
    ASSERT_EQ(opened.size(), saved.size());
    for (std::size_t i = 0; i < saved.size(); ++i) {
        if (i == kGoodSends || i == kBadSends || i == kSerial) continue;
        EXPECT_EQ(opened[i], saved[i]) << i;
    }
    EXPECT_EQ(Field(kGoodSends, FieldValue), "65535");
    EXPECT_EQ(Field(kBadSends, FieldValue), "65535");
    EXPECT_EQ(Field(kSerial, FieldValue), "");
    EXPECT_EQ(Field(kLogin, FieldValue), "user_1");
}

TEST_F(ParametersPage, BadFilesChangeNothing) {
    const ConfigImage ramp = [] {
        ConfigImage m;
        for (std::size_t i = 0; i < m.size(); ++i) m[i] = static_cast<std::uint8_t>(i);
        return m;
    }();
    const std::string good = FormatConfigFile(ramp);
    struct Case {
        std::string name, content, mustName;
    };
    const std::vector<Case> cases = {
        {"letter.txt", std::string(good).replace(66 * 2 + 4, 1, "a"), "«a3»"},
        {"big.txt", std::string(good).replace(66 * 9, 3, "256"), "«256»"},
        {"short.txt", good.substr(0, 66 * 15 + 60), "255"},
    };
    const std::vector<std::string> before = Texts();
    const auto image = form->Parameters->Image;
    const QString title = form->windowTitle();
    for (const Case& c : cases) {
        std::ofstream(File(c.name), std::ios::binary) << c.content;
        dialogs.fileAnswers.push_back(File(c.name));
        form->Parameters->Button2->click();
        ASSERT_FALSE(dialogs.errors.empty()) << c.name;
        EXPECT_NE(dialogs.errors.back().find(c.mustName), std::string::npos) << dialogs.errors.back();
        EXPECT_EQ(Texts(), before) << c.name;
        EXPECT_EQ(form->Parameters->Image, image) << c.name;
        EXPECT_EQ(form->windowTitle(), title);
    }
    EXPECT_NE(dialogs.errors[0].find("Строка 3"), std::string::npos) << dialogs.errors[0];
    EXPECT_NE(dialogs.errors[1].find("Строка 10"), std::string::npos) << dialogs.errors[1];
}

TEST_F(ParametersPage, UnpackableValueOrEmptyTreeWritesNoFile) {
    SetNodeField(*std::make_unique<TreeListAdapter>(*form->Parameters->TreeList1), kChokeTime, FieldValue, "12,5");
    dialogs.fileAnswers.push_back(File("never"));
    form->Parameters->Button1->click();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_NE(dialogs.errors[0].find("Маx время закрытой заслонки"), std::string::npos) << dialogs.errors[0];
    EXPECT_NE(dialogs.errors[0].find("12,5"), std::string::npos);
    EXPECT_FALSE(fs::exists(File("never.txt")));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ПО Конфигуратор v2a"));
    form->Parameters->ClearTree();
    dialogs.fileAnswers.push_back(File("never"));
    form->Parameters->Button1->click();
    EXPECT_EQ(dialogs.errors.size(), 2u);
    EXPECT_FALSE(fs::exists(File("never.txt")));
    EXPECT_EQ(fs::directory_iterator(dir), fs::directory_iterator());
}

TEST_F(ParametersPage, GaugeMarksFromTheImage) {
    form->Parameters->Image.fill(255);
    form->Parameters->Image[42] = 0;
    form->Parameters->Image[43] = 125;  // 12.5 V -> 12
    form->Parameters->Image[44] = 0;
    form->Parameters->Image[45] = 135;  // 13.5 V -> 14, scale 8..16
    form->Parameters->Image[15] = 251;  // -5
    form->Parameters->ApplyGaugeThresholds();
    EXPECT_EQ(form->Measurements->iAnalog_UPS->sectionEnd1(), 12);
    EXPECT_EQ(form->Measurements->iAnalog_UPS->sectionEnd2(), 14);
    EXPECT_EQ(form->Measurements->iAnalog_UPS->positionMin(), 8);
    EXPECT_EQ(form->Measurements->iAnalog_UPS->positionMax(), 16);
    EXPECT_EQ(form->Measurements->iAnalog_Temperature->sectionEnd1(), -5);
    EXPECT_EQ(form->Measurements->iAnalog_A->sectionEnd1(), 65535);
    EXPECT_EQ(form->Measurements->iAnalog_C->sectionEnd2(), 65535);
}

// ---- against the controller simulator over a pseudo-terminal ----------------------

class ParametersLink : public ParametersPage {
  protected:
    void SetUp() override {
        ParametersPage::SetUp();
        InstallQtSafeSync(dialogs);
    }
    void TearDown() override {
        if (form) form->FormDestroy();
        sim.Stop();
        ParametersPage::TearDown();
        UninstallQtSafeSync();
    }
    void Start(sim::SimOptions o) {
        o.interval = std::chrono::milliseconds(150);
        form->OpenDevicePath(sim.Start(o));
        ASSERT_TRUE(Until([&] { return form->Device->State.RxFrameCount >= 2; })) << "no status frames";
    }
    static bool Until(const std::function<bool()>& pred, int ms = 10000) {
        QElapsedTimer t;
        t.start();
        while (!pred() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return pred();
    }
    sim::Memory Memory() {
        sim::Memory m{};
        sim.WithController([&](sim::ControllerCore& core, sim::TimePoint) { m = core.GetMemory(); });
        return m;
    }
    void SetMemory(const std::function<void(sim::Memory&)>& change) {
        sim.WithController([&](sim::ControllerCore& core, sim::TimePoint) { change(core.MutableMemory()); });
    }
    const ScriptedDialogs::Box& LastBox() {
        static const ScriptedDialogs::Box none{"(no box)", "", MsgButtons::Ok};
        return dialogs.boxes.empty() ? none : dialogs.boxes.back();
    }

    sim::SimRunner sim;
};

constexpr const char* kNoLinkText = "Нет связи. Устройство занято или не подключено. Попробуйте еще раз.";

TEST_F(ParametersLink, ReadShowsTheControllersValues) {
    Start({});
    SetMemory([](sim::Memory& m) {
        m[36] = 0;
        m[37] = 175;    // mains lower threshold
        m[90] = 2;      // telephone 1: "управление"
        m[180] = 0x01;  // successful sends: 300
        m[181] = 0x2C;
        for (int i = 0; i < 8; ++i) m[184 + i] = static_cast<std::uint8_t>('A' + i);
        m[15] = 0xF6;  // -10 degrees
        m[44] = 0;  // UPS upper threshold 20.0 V: scale 16..32
        m[45] = 200;
    });
    form->Parameters->Button4->click();
    EXPECT_EQ(LastBox().text, "Параметры успешно прочитаны из устройства.");
    EXPECT_EQ(LastBox().caption, "info");
    EXPECT_TRUE(dialogs.errors.empty());
    const sim::Memory memory = Memory();
    EXPECT_TRUE(std::equal(memory.begin(), memory.end(), form->Parameters->Image.begin()));
    EXPECT_EQ(Field(kMainsLow, FieldValue), "175");
    EXPECT_EQ(Field(kAccess1, FieldValue), "управление");
    EXPECT_EQ(Field(kGoodSends, FieldValue), "300");
    EXPECT_EQ(Field(kSerial, FieldValue), "ABCDEFGH");
    EXPECT_EQ(Field(kSensorLow, FieldValue), "-10");
    EXPECT_EQ(form->Measurements->iAnalog_A->sectionEnd1(), 175);
    EXPECT_EQ(form->Measurements->iAnalog_UPS->sectionEnd2(), 20);
    EXPECT_EQ(form->Measurements->iAnalog_UPS->positionMax(), 32);
    EXPECT_FALSE(form->Parameters->ProgressBar1->isVisible());
    EXPECT_EQ(form->StatusPanelText(1), QString());
    EXPECT_TRUE(form->Parameters->Button4->isEnabled());
}

TEST_F(ParametersLink, EditedValuesAreWrittenAndNothingElseChanges) {
    Start({});
    form->Parameters->Button4->click();
    ASSERT_EQ(LastBox().caption, "info");
    const sim::Memory before = Memory();
    EXPECT_TRUE(Type(kMainsLow, "205"));                                                // a number
    EXPECT_TRUE(Edit(kAccess1, [](TForm2& d) { d.ComboBox5->setCurrentIndex(1); }));  // a list
    EXPECT_TRUE(Type(kPhone1, "9161234567"));                                           // a telephone number
    const auto writesBefore = form->Device->Writer.Writes;
    form->Parameters->Button3->click();
    EXPECT_EQ(LastBox().text, "Параметры успешно записаны в устройство.") << LastBox().text;
    EXPECT_EQ(LastBox().caption, "info");
    // Four writes and one read of each block (a copy equal to what was sent is the second).
    EXPECT_GE(form->Device->Writer.Writes - writesBefore, 4 + 4);
    const sim::Memory after = Memory();
    sim::Memory expected = before;
    expected[36] = 0;
    expected[37] = 205;
    expected[90] = 1;
    const std::uint8_t phone[] = {9, 1, 6, 1, 2, 3, 4, 5, 6, 7};
    std::copy(std::begin(phone), std::end(phone), expected.begin() + 80);
    for (std::size_t a = 0; a < 256; ++a) EXPECT_EQ(after[a], expected[a]) << "address " << a;
    // A second read shows the edits.
    form->LoadCatalogForModel(200);
    form->Parameters->Button4->click();
    EXPECT_EQ(Field(kMainsLow, FieldValue), "205");
    EXPECT_EQ(Field(kAccess1, FieldValue), "информир.");
    EXPECT_EQ(Field(kPhone1, FieldValue), "9161234567");
}

TEST_F(ParametersLink, NoRepliesLeaveTreeAndImageUntouched) {
    sim::SimOptions o;
    o.drop = 1.0;
    Start(o);
    TreeListAdapter tree(*form->Parameters->TreeList1);
    SetNodeField(tree, kMainsLow, FieldValue, "199");
    const auto texts = Texts();
    const auto image = form->Parameters->Image;
    form->Parameters->Button4->click();
    // Frames come, no reply: the box says so rather than "no link".
    EXPECT_EQ(LastBox().text, "Блок 0–63. Устройство передает кадры, но не отвечает на запросы. Попробуйте еще раз.");
    EXPECT_EQ(LastBox().caption, "Ошибка");
    EXPECT_EQ(Texts(), texts);
    EXPECT_EQ(form->Parameters->Image, image);
    EXPECT_FALSE(form->Parameters->ProgressBar1->isVisible());
}

TEST_F(ParametersLink, UnpackableValueOrEmptyTreeSendsNothing) {
    Start({});
    const sim::Memory before = Memory();
    TreeListAdapter tree(*form->Parameters->TreeList1);
    SetNodeField(tree, kPhone1, FieldValue, "123");
    const auto writes = form->Device->Writer.Writes;
    form->Parameters->Button3->click();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_NE(dialogs.errors[0].find("Номер абонента"), std::string::npos) << dialogs.errors[0];
    EXPECT_NE(dialogs.errors[0].find("«123»"), std::string::npos) << dialogs.errors[0];
    EXPECT_FALSE(form->Parameters->ProgressBar1->isVisible());
    form->Parameters->ClearTree();
    form->Parameters->Button3->click();
    EXPECT_EQ(dialogs.errors.size(), 2u);
    EXPECT_EQ(form->Device->Writer.Writes, writes);
    EXPECT_EQ(Memory(), before);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ParametersLink, AWriteCutOffNamesTheBlocksSentAndOffersToWriteAgain) {
    sim::SimOptions o;
    o.interval = std::chrono::milliseconds(400);  // time to see the second block go out before the third can
    form->OpenDevicePath(sim.Start(o));
    ASSERT_TRUE(test::WaitUntil([&] { return form->Device->State.RxFrameCount > 0; }, 5000));
    const auto before = form->Device->Writer.Writes;
    bool filesUsable = false, stopShown = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, form.get(), [&] {
        filesUsable = form->Parameters->Button1->isEnabled() && form->Parameters->Button2->isEnabled();
        stopShown = stopShown || !form->Parameters->TransferStop->Button->isHidden();
        if (form->Device->Writer.Writes - before == 2 && sim.Running()) sim.Stop();  // the controller goes away
    });
    poll.start(5);
    dialogs.answers = {MsgResult::Yes};  // write again: the controller is still gone
    form->Parameters->Button3->click();
    poll.stop();
    EXPECT_TRUE(filesUsable);
    EXPECT_TRUE(stopShown);
    EXPECT_TRUE(form->Parameters->TransferStop->Button->isHidden());
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[0].buttons, MsgButtons::YesNo);
    for (const char* piece : {"Запись оборвалась после 2 из 4 блоков", "(адреса) 4–63, 64–127, остальные нет",
                              "смесь старых и новых", kWriteAgainQuestion})
        EXPECT_NE(dialogs.boxes[0].text.find(piece), std::string::npos) << dialogs.boxes[0].text;
    EXPECT_EQ(dialogs.boxes[1].text, kNoLinkText);  // the second try found no controller at all
    EXPECT_EQ(form->Device->Writer.Writes - before, 2);
}

TEST_F(ParametersLink, IgnoredBlockIsReportedParameterByParameter) {
    sim::SimOptions o;
    o.ignoreWritesAt = 64;
    Start(o);
    form->Parameters->Button4->click();
    ASSERT_EQ(LastBox().caption, "info");
    EXPECT_TRUE(Type(kMainsLow, "210"));                                                 // block 4..63
    EXPECT_TRUE(Edit(kEngineType, [](TForm2& d) { d.ComboBox4->setCurrentIndex(1); }));  // block 64..127
    EXPECT_TRUE(Type(kPhone1, "0000000042"));                                            // block 64..127
    EXPECT_TRUE(Type(kLogin, "admin"));                                                  // block 192..255
    form->Parameters->Button3->click();
    EXPECT_EQ(LastBox().caption, "Ошибка");
    const std::string report = LastBox().text;
    EXPECT_NE(report.find("Тип двигателя электрогенератора: записано «дизель», прочитано «бензин»"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("Параметры GSM модема/Телефонный номер 1/Номер абонента: записано «0000000042», "
                          "прочитано «0000000000»"),
              std::string::npos)
        << report;
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 2) << report;  // those two and nothing else
    EXPECT_EQ(report.find("Нижний порог"), std::string::npos);
    EXPECT_EQ(report.find("Login"), std::string::npos);
    EXPECT_EQ(Memory()[37], 210);
}

TEST_F(ParametersLink, NoiseNeverPutsACorruptedValueIntoTreeFileOrController) {
    sim::SimOptions o;
    o.noise = 0.002;
    o.seed = 5;
    Start(o);
    int good = 0;
    for (int attempt = 0; attempt < 8 && good < 2; ++attempt) {
        const auto image = form->Parameters->Image;
        const auto texts = Texts();
        form->Parameters->Button4->click();
        if (LastBox().caption == "info") {
            ++good;
            const sim::Memory memory = Memory();
            ASSERT_TRUE(std::equal(memory.begin(), memory.end(), form->Parameters->Image.begin()));
        } else {
            EXPECT_EQ(form->Parameters->Image, image);
            EXPECT_EQ(Texts(), texts);
        }
    }
    ASSERT_GE(good, 1) << "no read got through the noise";
    // The tree (read through the noise) saved to a file: every byte the controller's, except
    // the bytes a save always erases.
    dialogs.fileAnswers.push_back(File("noisy"));
    form->Parameters->Button1->click();
    const ConfigImage saved = LoadConfigFile(File("noisy.txt"));
    const sim::Memory memory = Memory();
    TreeListAdapter tree(*form->Parameters->TreeList1);
    ConfigImage packed{};
    PackTreeToImage(tree, packed);
    EXPECT_EQ(saved, packed);
    for (std::size_t a = 0; a < 256; ++a) {
        if (saved[a] != 255) {
            EXPECT_EQ(saved[a], memory[a]) << "address " << a;
        }
    }
    // Written back through the noise: the controller's memory is what was sent.
    EXPECT_TRUE(Type(kMainsLow, "170"));
    form->Parameters->Button3->click();
    PackTreeToImage(tree, packed);
    const sim::Memory written = Memory();
    for (const ImageBlock& b : WriteBlocks) {
        for (std::size_t a = b.Address; a < std::size_t{b.Address} + b.Count; ++a) {
            EXPECT_EQ(written[a], packed[a]) << "address " << a;
        }
    }
}

}  // namespace
}  // namespace lum
