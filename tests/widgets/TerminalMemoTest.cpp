// The terminal text area: lines appended in batches, the view that follows the newest line
// only from the bottom, clearing, whole-line selection and copying.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <memory>

#include "widgets/TerminalMemo.h"

namespace lum {
namespace {

QApplication& TerminalApp() {
    static int argc = 1;
    static char name[] = "test_widgets";
    static char* argv[] = {name, nullptr};
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

std::string Lines(int from, int count) {
    std::string out;
    for (int i = from; i < from + count; ++i) {
        if (!out.empty()) out += '\n';
        out += std::to_string(i) + " ␐0115␍";
    }
    return out;
}

class TerminalMemoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TerminalApp();
        owned = std::make_unique<TerminalMemo>();
        memo = owned.get();
        owned->resize(400, 200);
        owned->show();
    }
    std::unique_ptr<TerminalMemo> owned;
    TerminalMemo* memo = nullptr;
};

TEST_F(TerminalMemoTest, BatchesBecomeLinesInOrder) {
    memo->appendLines(Lines(0, 3));
    memo->appendLines("");
    memo->appendLines("Ёж␍");
    ASSERT_EQ(memo->lineCount(), 5);
    EXPECT_EQ(memo->line(0), QStringLiteral("0 ␐0115␍"));
    EXPECT_EQ(memo->line(2), QStringLiteral("2 ␐0115␍"));
    EXPECT_EQ(memo->line(3), QString());
    EXPECT_EQ(memo->line(4), QStringLiteral("Ёж␍"));
    EXPECT_EQ(memo->line(5), QString());
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("0 ␐0115␍\n1 ␐0115␍\n2 ␐0115␍\n\nЁж␍"));
}

TEST_F(TerminalMemoTest, FollowsTheNewestLineOnlyWhileAtTheBottom) {
    QScrollBar* bar = memo->verticalScrollBar();
    memo->appendLines(Lines(0, 500));
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_TRUE(memo->atBottom());
    bar->setValue(20);
    memo->appendLines(Lines(500, 100));
    EXPECT_EQ(bar->value(), 20);  // reading back: not pulled down
    EXPECT_FALSE(memo->atBottom());
    bar->setValue(bar->maximum());
    memo->appendLines(Lines(600, 100));
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(bar->maximum(), 700 - bar->pageStep());
}

TEST_F(TerminalMemoTest, ClearEmptiesTheViewAndTheSelection) {
    memo->appendLines(Lines(0, 300));
    memo->selectAll();
    memo->clear();
    EXPECT_EQ(memo->lineCount(), 0);
    EXPECT_EQ(memo->toPlainText(), QString());
    EXPECT_EQ(memo->selectedText(), QString());
    EXPECT_EQ(memo->verticalScrollBar()->maximum(), 0);
    memo->appendLines("a");
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("a"));
}

TEST_F(TerminalMemoTest, WholeLinesAreSelectedAndCopied) {
    memo->appendLines(Lines(0, 5));
    memo->selectLines(3, 1);
    EXPECT_EQ(memo->selectedText(), QStringLiteral("1 ␐0115␍\n2 ␐0115␍\n3 ␐0115␍"));
    QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), memo->selectedText());
    QTest::keyClick(memo, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(memo->selectedText(), memo->toPlainText());
    // A click selects the line under the pointer.
    const int row = memo->fontMetrics().lineSpacing();
    memo->verticalScrollBar()->setValue(0);
    QTest::mouseClick(memo->viewport(), Qt::LeftButton, {}, QPoint(10, row + row / 2));
    EXPECT_EQ(memo->selectedText(), QStringLiteral("1 ␐0115␍"));
}

TEST_F(TerminalMemoTest, PaintsTheLinesInView) {
    QImage empty(memo->viewport()->size(), QImage::Format_RGB32);
    memo->viewport()->render(&empty);
    memo->appendLines(Lines(0, 50));
    QImage filled(memo->viewport()->size(), QImage::Format_RGB32);
    memo->viewport()->render(&filled);
    EXPECT_NE(empty, filled);
    EXPECT_GT(memo->horizontalScrollBar()->maximum() + memo->viewport()->width(), 0);
}

}  // namespace
}  // namespace lum
