#pragma once
// The window's design font. The pages are laid out for Tahoma; where the font configuration
// knows no Tahoma (a plain Debian machine), the program registers the Tahoma files that
// Wine's font folder holds (package fonts-wine; fontconfig does not index that folder) with
// Qt's font database at start. Without those files the wider DejaVu Sans is used.
// Main (GUI) thread, once the application object exists.
#include <QFont>
#include <QList>
#include <QStringList>

namespace lum {

// Folders searched for the design font's files, in this order: Wine's font folder, then
// "fonts" beside the executable.
QStringList DesignFontFolders();

struct DesignFontRegistration {
    bool alreadyKnown = false;  // the font database knew Tahoma before: nothing was added
    QList<int> fontIds;         // application fonts added (regular, then bold)
    QString family;             // the family the window's font resolves to now
};

// When the font database knows no Tahoma, adds "tahoma.ttf" and "tahomabd.ttf" (any case)
// from the first of `folders` that holds them. A file that turns out not to be a Tahoma is
// taken out again.
DesignFontRegistration RegisterDesignFont(const QStringList& folders = DesignFontFolders());

// The window's base font: Tahoma 10 pixels high, then Verdana, then DejaVu Sans.
QFont DesignFont();

// The bolder face of the captions over the instruments: `base` in bold, drawn without
// smoothing. At these sizes Wine's Tahoma Bold takes its weight from the bitmaps built into
// the font; smoothed from its outlines it comes out as thin as the regular face.
QFont CaptionFont(QFont base);

}  // namespace lum
