#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QTabBar>
#include <algorithm>
#include <QTest>
#include <stdexcept>

#include "app/Application.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "widgets/StandardControls.h"
#include "tests/app/QtTestApp.h"

namespace lum {
namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureApp();
        form = std::make_unique<TForm1>(dialogs, lister);
    }
    ScriptedDialogs dialogs;
    TForm1::PortLister lister;
    std::unique_ptr<TForm1> form;
};

TEST_F(MainWindow, CaptionSizeAndFont) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ПО Конфигуратор v2a"));
    EXPECT_EQ(form->size(), QSize(799, 572));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());  // the user cannot resize it
    EXPECT_EQ(form->font().pixelSize(), 10);
    EXPECT_EQ(form->font().family(), QStringLiteral("Tahoma"));
}

TEST_F(MainWindow, AButtonAddedLaterIsHeldWhileTheLinkIsBusy) {
    auto* added = new QPushButton(QStringLiteral("new"), form->TabSheet2);
    auto* off = new SwitchLamp(QStringLiteral("off"), form->TabSheet4);
    off->setEnabled(false);
    auto op = form->Device->Tx.Begin();
    EXPECT_FALSE(added->isEnabled());
    EXPECT_FALSE(off->isEnabled());
    EXPECT_TRUE(form->TerminalLog->Button5->isEnabled() && form->Service->Button14->isEnabled());
    op.Release();
    EXPECT_TRUE(added->isEnabled());
    EXPECT_FALSE(off->isEnabled());  // as it was before the transaction
}

TEST_F(MainWindow, PagesInTabOrderWithTerminalHidden) {
    QTabWidget* pages = form->PageControl1;
    const QStringList captions = {"Измерения", "Параметры", "Журнал событий", "Диаграммы", "Дополнительно",
                                  "Терминал+лог"};
    const QStringList names = {"TabSheet1", "TabSheet2", "TabSheet5", "TabSheet6", "TabSheet4", "TabSheet3"};
    ASSERT_EQ(pages->count(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(pages->tabText(i), captions[i]);
        EXPECT_EQ(pages->widget(i)->objectName(), names[i]);
    }
    EXPECT_FALSE(form->PageVisible(form->TabSheet3));
    EXPECT_TRUE(form->PageVisible(form->TabSheet5));
    EXPECT_EQ(pages->currentWidget(), form->TabSheet1);
    // Ctrl+Tab and Ctrl+Shift+Tab go round the pages shown, never onto the hidden one.
    for (const Qt::KeyboardModifiers modifiers : {Qt::KeyboardModifiers(Qt::ControlModifier), Qt::ControlModifier | Qt::ShiftModifier}) {
        for (int i = 0; i < 7; ++i) {
            QTest::keyClick(pages, Qt::Key_Tab, modifiers);
            EXPECT_NE(pages->currentWidget(), form->TabSheet3) << i;
        }
    }
}

TEST_F(MainWindow, StatusBarAndSelectors) {
    EXPECT_EQ(form->StatusPanelText(0), QStringLiteral("Пакетов принято:"));
    EXPECT_EQ(form->StatusPanelText(1), QString());
    auto* panel0 = form->StatusBar1->findChild<QLabel*>("StatusBar1Panel0");
    auto* panel1 = form->StatusBar1->findChild<QLabel*>("StatusBar1Panel1");
    ASSERT_TRUE(panel0 && panel1);
    EXPECT_EQ(panel0->width(), 200);
    EXPECT_EQ(panel1->width(), 50);

    QComboBox* versions = form->ComboBox_DeviceVersions;
    ASSERT_EQ(versions->count(), 4);
    EXPECT_EQ(versions->itemText(0), QStringLiteral("ЛУМ-бензин v2.0 "));
    EXPECT_EQ(versions->itemText(1), QStringLiteral("ЛУМ-дизель v2.0 "));
    EXPECT_EQ(versions->itemText(2), QStringLiteral("ЛУМ-сухой контакт v2.0 "));
    EXPECT_EQ(versions->itemText(3), QStringLiteral("ЛУМ-бензин v3"));
    EXPECT_EQ(versions->currentIndex(), -1);
    EXPECT_EQ(versions->currentText(), QStringLiteral("ЛУМ-бензин v2.0"));

    EXPECT_TRUE(form->ComboBox1->isEditable());
    EXPECT_EQ(form->ComboBox1->count(), 0);  // no port lister: a PC without ports
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("COM-порт"));
}

// Nothing of a page lies under the top strip's selectors.
TEST_F(MainWindow, TopStripCoversNoPageControl) {
    form->show();
    for (QWidget* w : {static_cast<QWidget*>(form->Parameters->TreeList1), static_cast<QWidget*>(form->TerminalLog->Memo1),
                       static_cast<QWidget*>(form->Journals->Memo3)}) {
        const QRect inWindow(w->mapTo(form.get(), QPoint(0, 0)), w->size());
        EXPECT_FALSE(inWindow.intersects(form->ComboBox_DeviceVersions->geometry())) << w->objectName().toStdString();
        EXPECT_FALSE(inWindow.intersects(form->ComboBox1->geometry())) << w->objectName().toStdString();
    }
}

// The 109 pixel model selector shows its texts from the first letter and lists them in full.
TEST_F(MainWindow, ModelSelectorShowsTheStartOfItsTextAndAWideEnoughList) {
    QComboBox* box = form->ComboBox_DeviceVersions;
    QLineEdit* edit = box->lineEdit();
    ASSERT_TRUE(edit);
    EXPECT_EQ(box->width(), 109);
    form->show();
    auto showsStart = [&](const char* when) {
        box->grab();  // a paint settles the field's scrolling
        EXPECT_EQ(edit->cursorPosition(), 0) << when;
        EXPECT_LT(edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x(), 8) << when;  // not scrolled
    };
    EXPECT_GT(edit->fontMetrics().horizontalAdvance(box->itemText(2)), edit->width());  // does not fit
    showsStart("at start");
    {
        const QSignalBlocker quiet(box);  // as a status record with model 202 sets it
        box->setCurrentIndex(2);
    }
    EXPECT_EQ(box->currentText(), QStringLiteral("ЛУМ-сухой контакт v2.0 "));
    showsStart("model 202 from a record");
    box->setEditText(QStringLiteral("ЛУМ-бензин v2.0"));
    showsStart("text set");

    // The list is as wide as its longest item needs.
    int longest = 0;
    for (int i = 0; i < box->count(); ++i)
        longest = std::max(longest, box->view()->sizeHintForIndex(box->model()->index(i, 0)).width());
    EXPECT_GT(longest, 109);
    EXPECT_GE(PopupWidthForItems(*box), longest);
    box->showPopup();
    EXPECT_TRUE(box->view()->isVisible());
    for (int i = 0; i < box->count(); ++i)
        EXPECT_GE(box->view()->visualRect(box->model()->index(i, 0)).width(), longest) << i;
    box->hidePopup();
    // An item added later widens the list too.
    box->addItem(QStringLiteral("ЛУМ-бензин v3 с очень длинным названием модели"));
    EXPECT_GE(box->view()->minimumWidth(), PopupWidthForItems(*box));
    EXPECT_GT(PopupWidthForItems(*box), longest);
}

// Tabs are separate buttons: a strip of the bar's own background between two tabs, the
// current tab filled differently from the others.
TEST_F(MainWindow, TabsAreDrawnAsFlatButtons) {
    QTabBar* tabs = form->PageControl1->tabBar();
    form->show();
    const QImage img = tabs->grab().toImage();
    const QRect first = tabs->tabRect(0), second = tabs->tabRect(1);
    auto at = [&](int x, int y) { return img.pixelColor(x, y); };
    const int y = first.center().y();
    const QColor current = at(first.left() + 5, y), other = at(second.left() + 5, y);
    const QColor gap = at(first.right(), y);
    EXPECT_NE(current, other);
    EXPECT_NE(gap, current);
    EXPECT_NE(gap, other);
    EXPECT_EQ(gap, tabs->palette().color(QPalette::Window));
    EXPECT_FALSE(tabs->drawBase());
    // Each tab has a border all round: its top and bottom rows differ from its fill.
    EXPECT_NE(at(second.left() + 5, second.top() + 1), other);
    EXPECT_NE(at(second.left() + 5, second.bottom() - 1), other);
}

TEST_F(MainWindow, StartStateOfTheModuleAndTimers) {
    EXPECT_EQ(form->CurrentModelCode, 200);
    for (auto b : form->Parameters->Image) ASSERT_EQ(b, 0xFF);
    EXPECT_FALSE(form->Measurements->GuPointerBlink);
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_EQ(form->Timer1->interval(), 300);
    EXPECT_TRUE(form->Timer2->isActive());
    EXPECT_EQ(form->Timer2->interval(), 2000);
    EXPECT_EQ(form->SaveDialogFilter, "Text files (*.txt)|*.txt");
    ASSERT_FALSE(form->SaveDialogInitialDir.empty());
    EXPECT_EQ(form->SaveDialogInitialDir.back(), QDir::separator().toLatin1());  // '\\' on Windows
    EXPECT_EQ(form->Diagrams->iPlot1->gridYAxisName(), QStringLiteral("<All>"));
    EXPECT_EQ(form->Diagrams->iPlot1->title(), QStringLiteral("Временные диаграммы"));
}

TEST_F(MainWindow, MeasurementsStartInErrorState) {
    for (NumericDisplay* d : {form->Measurements->iDigital_A, form->Measurements->iDigital_B, form->Measurements->iDigital_C, form->Measurements->iDigital_GU,
                              form->Measurements->iDigital_ACC, form->Measurements->iDigital_UPS, form->Measurements->iDigital_SignalStrength,
                              form->Measurements->iDigital_Temperature, form->Measurements->iDigital_Temperature2, form->Measurements->iDigital_Temperature3,
                              form->Measurements->iDigital_Temperature4}) {
        EXPECT_TRUE(d->errorActive()) << d->objectName().toStdString();
        EXPECT_EQ(d->displayText(), QStringLiteral("---"));
    }
    for (TextField* f : {form->Measurements->iEdit_Motoclock, form->Measurements->iEdit_TO, form->Measurements->iEdit_Time})
        EXPECT_EQ(f->displayText(), QStringLiteral("---")) << f->objectName().toStdString();
    EXPECT_TRUE(form->Measurements->iLabel_Status->text().isEmpty());
    EXPECT_TRUE(form->Measurements->iLabel_Carrier->text().isEmpty());
    EXPECT_EQ(form->Measurements->iAnalog_GU->position(), 0);
    EXPECT_EQ(form->Measurements->iAnalog_Temperature->position(), 0);
    EXPECT_EQ(form->Measurements->iAnalog_Temperature2->position(), 10);  // keeps its design position

    form->Measurements->ClearIndicatorsError();
    EXPECT_FALSE(form->Measurements->iDigital_UPS->errorActive());
    EXPECT_FALSE(form->Measurements->iEdit_Time->errorActive());
}

TEST_F(MainWindow, EveryListedControlExistsWithItsCaption) {
    struct Expect {
        const char* name;
        const char* caption;
    };
    const Expect buttons[] = {
        {"Button1", "Сохранить"},   {"Button2", "Открыть"},
        {"Button3", "Записать"},    {"Button4", "Прочитать"},
        {"Button5", "Очистить "},   {"Button6", "Имя файла"},
        {"Button7", "Установить"},  {"Button8", "Тест SMS"},
        {"Button9", "Тест GPRS"},   {"Button10", "Установить"},
        {"Button11", "Перезагрузка модема"}, {"Button12", "Синхронизация системного времени"},
        {"Button13", "Прочитать ЖУРНАЛ СОБЫТИЙ"}, {"Button14", "Подтвердить пароль"},
        {"Button15", "Имя LOG-файла"}, {"Button16", "Старт"},
        {"Button17", "Стоп"},
    };
    for (const auto& b : buttons) {
        auto* button = form->findChild<QPushButton*>(b.name);
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->text(), QString::fromUtf8(b.caption)) << b.name;
    }
    const Expect switches[] = {{"iSwitchLed1", "Вести лог"},
                               {"iSwitchLed2", "Отображать данные"},
                               {"iSwitchLed3", "Вести LOG-файл"},
                               {"iSwitchLed4", "Режим Авто"},
                               {"iSwitchLed5", "Режим Полу-авто"}};
    for (const auto& s : switches) {
        auto* lamp = form->findChild<SwitchLamp*>(s.name);
        ASSERT_NE(lamp, nullptr) << s.name;
        EXPECT_EQ(lamp->caption(), QString::fromUtf8(s.caption));
        EXPECT_FALSE(lamp->active());
    }
    EXPECT_EQ(form->Journals->Memo3->toPlainText(), QStringLiteral("-пусто-"));
    EXPECT_EQ(form->Journals->Memo4->toPlainText(), QStringLiteral("-пусто-"));
    EXPECT_TRUE(form->Parameters->ProgressBar1->isHidden());
    EXPECT_TRUE(form->Memo2->isHidden());
    EXPECT_EQ(form->Parameters->TreeList1->columnCount(), 5);
    EXPECT_EQ(form->Parameters->TreeList1->columnWidth(0), 300);
    EXPECT_EQ(form->Parameters->TreeList1->columnWidth(1), 150);
}

TEST_F(MainWindow, ServicePageFieldsAndTheirEnabledState) {
    EXPECT_EQ(form->Service->Edit4->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(form->Service->Edit4->isEnabled());
    EXPECT_TRUE(form->Service->Edit4->text().isEmpty());
    for (QWidget* w : {static_cast<QWidget*>(form->Service->Edit1), static_cast<QWidget*>(form->Service->Edit2),
                       static_cast<QWidget*>(form->Service->Button7), static_cast<QWidget*>(form->Service->Edit3),
                       static_cast<QWidget*>(form->Service->Button10)})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(form->Service->Edit3->text(), QStringLiteral("00000000"));
    for (QLineEdit* e : {form->Service->Edit1, form->Service->Edit2, form->Service->Edit5, form->Service->Edit6, form->Service->Edit7, form->Service->Edit8})
        EXPECT_EQ(e->text(), QStringLiteral("0")) << e->objectName().toStdString();
    for (QWidget* w : {static_cast<QWidget*>(form->Service->Button8), static_cast<QWidget*>(form->Service->Button9),
                       static_cast<QWidget*>(form->Service->Button11), static_cast<QWidget*>(form->Service->Button12),
                       static_cast<QWidget*>(form->Service->Button14), static_cast<QWidget*>(form->Service->Button16),
                       static_cast<QWidget*>(form->Service->Button17), static_cast<QWidget*>(form->Service->iSwitchLed4)})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    const QStringList labels = {"Счетчик моточасов:", "час", "мин", "Серийный номер устройства:",
                                "Время работы ГУ:", "Время ожидания ГУ:"};
    QStringList shown;
    for (auto* l : form->TabSheet4->findChildren<QLabel*>()) shown << l->text();
    for (const auto& l : labels) EXPECT_TRUE(shown.contains(l)) << l.toStdString();
}

TEST_F(MainWindow, TreeHoldsTheModel200CatalogueAtStart) {
    const auto nodes = form->Parameters->TreeList1->allNodes();
    ASSERT_EQ(nodes.size(), 84);
    EXPECT_EQ(ColumnTree::nodeText(nodes[0]), QStringLiteral("Тип двигателя электрогенератора;бензин;;;;1;72;6"));
    EXPECT_EQ(nodes[0]->text(1), QStringLiteral("бензин"));
    EXPECT_EQ(ColumnTree::nodeText(nodes[1]), QStringLiteral("Параметры сети;;;;;0;0;0"));
    // Depths follow the catalogue's levels: "Нижний порог" sits under "Напряжение сети".
    ASSERT_NE(nodes[3]->parent(), nullptr);
    EXPECT_EQ(nodes[3]->parent(), nodes[2]);
    EXPECT_EQ(nodes[2]->parent(), nodes[1]);
    EXPECT_EQ(nodes[3]->text(0), QStringLiteral("Нижний порог"));
    EXPECT_EQ(nodes[3]->text(4), QStringLiteral("220"));

    form->LoadCatalogForModel(202);
    EXPECT_EQ(form->Parameters->TreeList1->allNodes().size(), 81);
}

TEST_F(MainWindow, EditDialogIsCreatedHidden) {
    TForm2 form2(form.get());
    EXPECT_FALSE(form2.isVisible());
    EXPECT_EQ(form2.windowTitle(), QStringLiteral("Установка параметра"));
    EXPECT_EQ(form2.width(), 174);
    EXPECT_EQ(form2.Button1->text(), QStringLiteral("Установить"));
}

TEST_F(MainWindow, PortListFillsTheSelectorInOrder) {
    form.reset();
    lister = [](std::vector<std::string>& names) { names = {"COM3", "COM10"}; };
    form = std::make_unique<TForm1>(dialogs, lister);
    ASSERT_EQ(form->ComboBox1->count(), 2);
    EXPECT_EQ(form->ComboBox1->itemText(0), QStringLiteral("COM3"));
    EXPECT_EQ(form->ComboBox1->itemText(1), QStringLiteral("COM10"));
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("COM-порт"));
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(MainWindow, FailingPortListIsShownAndTheWindowStillOpens) {
    form.reset();
    lister = [](std::vector<std::string>&) { throw std::runtime_error("Отказано в доступе"); };
    form = std::make_unique<TForm1>(dialogs, lister);
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "Отказано в доступе");
    EXPECT_EQ(form->ComboBox1->count(), 0);
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("COM-порт"));
    EXPECT_EQ(form->Diagrams->iPlot1->gridYAxisName(), QStringLiteral("<All>"));  // the sequence went on
}

// ---- the blink tick ---------------------------------------------------------------------

TEST_F(MainWindow, BlinkTickAlternatesYellowAndRedWhileTheFlagIsSet) {
    DialGauge* dial = form->Measurements->iAnalog_GU;
    EXPECT_EQ(dial->pointerColor(), kPointerBlue);
    form->Timer3Timer();
    EXPECT_EQ(dial->pointerColor(), kPointerBlue);  // flag false: no change

    form->Measurements->GuPointerBlink = true;
    form->Timer3Timer();
    EXPECT_EQ(dial->pointerColor(), kPointerYellow);  // blue -> yellow
    form->Timer3Timer();
    EXPECT_EQ(dial->pointerColor(), kPointerRed);
    form->Timer3Timer();
    EXPECT_EQ(dial->pointerColor(), kPointerYellow);

    dial->setPointerColor(QColor(10, 20, 30));
    form->Timer3Timer();
    EXPECT_EQ(dial->pointerColor(), kPointerYellow);  // any other colour -> yellow

    form->Measurements->GuPointerBlink = false;
    form->Timer3Timer();
    EXPECT_EQ(dial->pointerColor(), kPointerYellow);
}

TEST_F(MainWindow, BlinkRunsFromTimer2) {
    form->Measurements->GuPointerBlink = true;
    form->Timer2->setInterval(5);
    EXPECT_TRUE(test::WaitUntil([&] { return form->Measurements->iAnalog_GU->pointerColor() == kPointerYellow; }, 2000));
    EXPECT_TRUE(test::WaitUntil([&] { return form->Measurements->iAnalog_GU->pointerColor() == kPointerRed; }, 2000));
}

// ---- errors escaping handlers -------------------------------------------------------------

TEST_F(MainWindow, HandlerThatThrowsShowsTheErrorBoxAndTheNextEventIsHandled) {
    int handled = 0;
    auto* button = new QPushButton(form->TabSheet4);
    QObject::connect(button, &QPushButton::clicked, form.get(), form->Guarded([&] {
        ++handled;
        if (handled == 1) throw std::runtime_error("'' is not a valid integer value");
    }));
    button->click();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "'' is not a valid integer value");
    button->click();
    EXPECT_EQ(handled, 2);
    EXPECT_EQ(dialogs.errors.size(), 1u);
}

class Thrower : public QObject {
public:
    int events = 0;
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            ++events;
            throw std::runtime_error("Can't open device COM3");
        }
        return QObject::event(e);
    }
};

TEST(Application, ExceptionEscapingAnEventGoesToTheErrorBoxAndTheLoopGoesOn) {
    TApplication& app = test::EnsureApp();
    ScriptedDialogs dialogs;
    app.setDialogs(&dialogs);
    Thrower target;
    QEvent first(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&target, &first));
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "Can't open device COM3");
    // A posted event reaches it through the running loop as well.
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(target.events, 2);
    EXPECT_EQ(dialogs.errors.size(), 2u);
    app.setDialogs(nullptr);
}

}  // namespace
}  // namespace lum
