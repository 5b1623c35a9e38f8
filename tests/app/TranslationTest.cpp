#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QPushButton>

#include "tests/app/QtTestApp.h"

namespace lum {
namespace {

// Qt's own texts that the engineer meets in the standard dialogs, in Russian.
TEST(QtTranslation, StandardDialogTextsAreRussian) {
    EXPECT_TRUE(test::EnsureApp().qtTranslationLoaded());
    struct Case {
        const char* context;
        const char* source;
        const char* russian;
    };
    const Case cases[] = {
        {"QPlatformTheme", "OK", "OK"},
        {"QPlatformTheme", "Cancel", "Отмена"},
        {"QPlatformTheme", "&Yes", "&Да"},
        {"QPlatformTheme", "&No", "&Нет"},
        {"QFileDialog", "&Save", "&Сохранить"},
        {"QFileDialog", "&Open", "&Открыть"},
        {"QFileDialog", "%1 already exists.\nDo you want to replace it?", "%1 уже существует.\nЗаменить его?"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QCoreApplication::translate(c.context, c.source).toStdString(), c.russian)
            << c.context << " / " << c.source;
    }
}

TEST(QtTranslation, MessageBoxButtonsShowRussian) {
    test::EnsureApp();
    QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel);
    EXPECT_EQ(box.button(QDialogButtonBox::Yes)->text().remove('&').toStdString(), "Да");
    EXPECT_EQ(box.button(QDialogButtonBox::No)->text().remove('&').toStdString(), "Нет");
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text().toStdString(), "Отмена");
}

}  // namespace
}  // namespace lum
