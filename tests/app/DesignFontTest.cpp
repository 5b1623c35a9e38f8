#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "app/DesignFont.h"
#include "tests/app/QtTestApp.h"

namespace lum {
namespace {

// Pixels of a text drawn black on white that come out darker than mid-grey.
int DarkPixels(const QFont& font, const QString& text) {
    QImage img(200, 30, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(img.rect(), Qt::AlignLeft | Qt::AlignVCenter, text);
    p.end();
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += qGray(img.pixel(x, y)) < 128;
    return n;
}

// Takes the fonts a registration added out of the database again, so that every test starts
// from the fonts the machine has.
struct Registered {
    DesignFontRegistration r;
    ~Registered() {
        for (int id : r.fontIds) QFontDatabase::removeApplicationFont(id);
    }
};

class DesignFontTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureApp();
        ASSERT_TRUE(dir.isValid());
        if (QFontDatabase::hasFamily(QStringLiteral("Tahoma")))
            GTEST_SKIP() << "this machine's font configuration has a Tahoma of its own";
        if (!QFontDatabase::hasFamily(QStringLiteral("DejaVu Sans")))
            GTEST_SKIP() << "no DejaVu Sans to fall back to (Qt's offscreen platform under wine has no fonts)";
    }
    // Copies a font file of the Wine font folder into the test folder under `as`.
    void CopyWineFont(const char* name, const QString& as) {
        const QString from = QDir(DesignFontFolders().first()).filePath(QString::fromLatin1(name));
        ASSERT_TRUE(QFile::exists(from)) << from.toStdString() << " (package fonts-wine)";
        ASSERT_TRUE(QFile::copy(from, dir.filePath(as)));
    }
    QTemporaryDir dir;
};

TEST_F(DesignFontTest, WineFolderComesFirst) {
    EXPECT_EQ(DesignFontFolders().first(), QStringLiteral("/usr/share/wine/fonts"));
    const QFont f = DesignFont();
    EXPECT_EQ(f.families(), (QStringList{"Tahoma", "Verdana", "DejaVu Sans"}));
    EXPECT_EQ(f.pixelSize(), 10);
}

TEST_F(DesignFontTest, RegistersRegularAndBoldTahomaWhenTheFilesExist) {
    CopyWineFont("tahoma.ttf", QStringLiteral("Tahoma.TTF"));  // names in any case
    CopyWineFont("tahomabd.ttf", QStringLiteral("tahomabd.ttf"));
    const QString empty = dir.filePath(QStringLiteral("empty"));
    ASSERT_TRUE(QDir().mkpath(empty));
    Registered reg{RegisterDesignFont({empty, dir.path()})};  // the first folder holding them
    EXPECT_FALSE(reg.r.alreadyKnown);
    ASSERT_EQ(reg.r.fontIds.size(), 2);
    EXPECT_EQ(reg.r.family, QStringLiteral("Tahoma"));
    EXPECT_TRUE(QFontDatabase::hasFamily(QStringLiteral("Tahoma")));
    QFont bold = DesignFont();
    bold.setBold(true);
    const QFontInfo boldInfo(bold);
    EXPECT_EQ(boldInfo.family(), QStringLiteral("Tahoma"));
    EXPECT_TRUE(boldInfo.bold());
    EXPECT_EQ(boldInfo.styleName(), QStringLiteral("Bold"));
    // The captions' face is visibly heavier than the regular text.
    const QString caption = QStringLiteral("До проведения ТО");
    const QFont captionFont = CaptionFont(DesignFont());
    EXPECT_EQ(QFontInfo(captionFont).styleName(), QStringLiteral("Bold"));
    EXPECT_GT(DarkPixels(captionFont, caption), DarkPixels(DesignFont(), caption) * 13 / 10);

    // Once known, a second call adds nothing.
    Registered again{RegisterDesignFont({dir.path()})};
    EXPECT_TRUE(again.r.alreadyKnown);
    EXPECT_TRUE(again.r.fontIds.isEmpty());
    EXPECT_EQ(again.r.family, QStringLiteral("Tahoma"));
}

TEST_F(DesignFontTest, FallsBackToDejaVuSansWithoutTheFiles) {
    Registered none{RegisterDesignFont({dir.path(), dir.filePath(QStringLiteral("missing"))})};
    EXPECT_FALSE(none.r.alreadyKnown);
    EXPECT_TRUE(none.r.fontIds.isEmpty());
    EXPECT_EQ(none.r.family, QStringLiteral("DejaVu Sans"));
    EXPECT_FALSE(QFontDatabase::hasFamily(QStringLiteral("Tahoma")));

    // Files of that name that are no Tahoma: a text file, and another font under its name.
    QFile junk(dir.filePath(QStringLiteral("tahoma.ttf")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a font");
    junk.close();
    const QString dejavu = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf");
    ASSERT_TRUE(QFile::exists(dejavu));
    ASSERT_TRUE(QFile::copy(dejavu, dir.filePath(QStringLiteral("tahomabd.ttf"))));
    Registered wrong{RegisterDesignFont({dir.path()})};
    EXPECT_TRUE(wrong.r.fontIds.isEmpty());
    EXPECT_EQ(wrong.r.family, QStringLiteral("DejaVu Sans"));
    EXPECT_FALSE(QFontDatabase::hasFamily(QStringLiteral("Tahoma")));
}

}  // namespace
}  // namespace lum
