#include "app/DesignFont.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>

namespace lum {

namespace {
const QString kFamily = QStringLiteral("Tahoma");
}  // namespace

QStringList DesignFontFolders() {
    return {QStringLiteral("/usr/share/wine/fonts"), QCoreApplication::applicationDirPath() + QStringLiteral("/fonts")};
}

QFont DesignFont() {
    QFont f(kFamily);
    f.setFamilies({kFamily, QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
    f.setPixelSize(10);
    return f;
}

QFont CaptionFont(QFont base) {
    base.setBold(true);
    base.setStyleStrategy(QFont::NoAntialias);
    return base;
}

DesignFontRegistration RegisterDesignFont(const QStringList& folders) {
    DesignFontRegistration out;
    out.alreadyKnown = QFontDatabase::hasFamily(kFamily);
    for (const QString& folder : folders) {
        if (out.alreadyKnown || !out.fontIds.isEmpty()) break;
        const QDir dir(folder);
        for (const char* name : {"tahoma.ttf", "tahomabd.ttf"}) {
            const QStringList found = dir.entryList({QString::fromLatin1(name)}, QDir::Files);  // any case
            if (found.isEmpty()) continue;
            const int id = QFontDatabase::addApplicationFont(dir.filePath(found.first()));
            if (id < 0) continue;
            if (QFontDatabase::applicationFontFamilies(id).contains(kFamily))
                out.fontIds << id;
            else
                QFontDatabase::removeApplicationFont(id);
        }
    }
    out.family = QFontInfo(DesignFont()).family();
    return out;
}

}  // namespace lum
