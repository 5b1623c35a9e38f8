#include <gtest/gtest.h>

#include <QCoreApplication>

#include "tests/app/QtTestApp.h"

namespace lum {
namespace {

// Qt's own texts that the engineer meets in the standard dialogs, in Russian.
TEST(QtTranslation, StandardDialogTextsAreRussian) {
    EXPECT_TRUE(test::EnsureApp().qtTranslationLoaded());
    const struct {
        const char *context, *source, *russian;
    } cases[] = {
        {"QPlatformTheme", "Cancel", "Отмена"},
        {"QPlatformTheme", "&Yes", "&Да"},
        {"QFileDialog", "&Save", "&Сохранить"},
        {"QFileDialog", "%1 already exists.\nDo you want to replace it?", "%1 уже существует.\nЗаменить его?"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QCoreApplication::translate(c.context, c.source).toStdString(), c.russian)
            << c.context << " / " << c.source;
    }
}

}  // namespace
}  // namespace lum
