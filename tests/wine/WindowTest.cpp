// The window on a real display under wine (Windows platform plugin, Xvfb), against controller-sim
// running natively on the other end of the COM port given in LUM_TEST_COM (a pseudo-terminal that
// wine sees as that port): the window configurator.exe shows, with a dialogs service that records
// the boxes (tests/wine/configurator-window.sh).
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <cstdlib>

#include "app/Application.h"
#include "app/PageJournal.h"
#include "app/PageParameters.h"
#include "app/QtSafeSync.h"
#include "app/Unit1.h"
#include "serial/PortList.h"
#include "tests/app/QtTestApp.h"  // WaitUntil, ScriptedDialogs

namespace lum {
namespace {

int FramesCounted(const TForm1& form) {
    static const QRegularExpression re(QStringLiteral("^Пакетов принято: (\\d+)$"));
    const auto m = re.match(form.StatusPanelText(0));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

TEST(WindowOnWine, ReadsTheControllerOnAComPort) {
    const char* com = std::getenv("LUM_TEST_COM");
    ASSERT_NE(com, nullptr) << "LUM_TEST_COM names the port of controller-sim";
    ScriptedDialogs dialogs;
    InstallQtSafeSync(dialogs);
    {
        TForm1 form(dialogs, [](std::vector<std::string>& names) { ListComPorts(names, "COM"); });
        form.show();
        ASSERT_TRUE(test::WaitUntil([&] { return form.windowHandle() && form.windowHandle()->isVisible(); }, 60000));
        EXPECT_EQ(form.windowTitle().toStdString(), "ПО Конфигуратор v2a");

        QPushButton* read = form.Parameters->Button4;
        form.ComboBox1->setEditText(QString::fromLatin1(com));  // opens the port, as typing it does
        ASSERT_TRUE(dialogs.errors.empty()) << dialogs.errors.front();
        // The counter goes up with the controller's frames (every 200 ms; generous bound for a loaded machine).
        ASSERT_TRUE(test::WaitUntil([&] { return FramesCounted(form) >= 1; }, 60000)) << form.StatusPanelText(0).toStdString();
        const int first = FramesCounted(form);
        EXPECT_TRUE(test::WaitUntil([&] { return FramesCounted(form) >= first + 3; }, 60000));

        form.PageControl1->setCurrentIndex(1);
        ASSERT_TRUE(test::WaitUntil([&] { return read->isVisible(); }, 10000));
        QTest::mouseClick(read, Qt::LeftButton);
        ASSERT_TRUE(test::WaitUntil([&] { return !dialogs.boxes.empty() || !dialogs.errors.empty(); }, 120000));
        ASSERT_TRUE(dialogs.errors.empty()) << dialogs.errors.front();
        EXPECT_EQ(dialogs.boxes.back().text, "Параметры успешно прочитаны из устройства.");

        // Both journals: every record listed, no box about an early end.
        const std::size_t boxes = dialogs.boxes.size();
        form.PageControl1->setCurrentIndex(2);
        ASSERT_TRUE(test::WaitUntil([&] { return form.Journals->Button13->isVisible(); }, 10000));
        QTest::mouseClick(form.Journals->Button13, Qt::LeftButton);
        ASSERT_TRUE(test::WaitUntil([&] { return form.Journals->Button13->isEnabled(); }, 300000));
        ASSERT_TRUE(dialogs.errors.empty()) << dialogs.errors.front();
        EXPECT_EQ(dialogs.boxes.size(), boxes) << dialogs.boxes.back().text;
        const auto listed = form.Journals->JournalEvents.size() + form.Journals->JournalAlarms.size();
        EXPECT_GT(listed, 0u);
        EXPECT_EQ(form.StatusPanelText(1).toStdString(), "Записей: " + std::to_string(listed));
        EXPECT_EQ(static_cast<std::size_t>(form.Journals->Memo3->document()->blockCount()),
                  std::max<std::size_t>(1, form.Journals->JournalEvents.size()));  // one line per event
        form.FormDestroy();
    }
    UninstallQtSafeSync();
}

}  // namespace
}  // namespace lum

int main(int argc, char** argv) {
    lum::TApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
