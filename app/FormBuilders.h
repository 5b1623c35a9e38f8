#pragma once
// Small helpers that create a named control at a design position. Main (GUI) thread only.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace lum {

template <class W>
W* Named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

inline QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, int x, int y, int w,
                               int h) {
    auto* b = Named(new QPushButton(caption, parent), name);
    b->setGeometry(x, y, w, h);
    return b;
}

inline QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, int x, int y) {
    auto* l = Named(new QLabel(caption, parent), name);
    l->move(x, y);
    l->adjustSize();
    return l;
}

inline QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& text, int x, int y, int w) {
    auto* e = Named(new QLineEdit(text, parent), name);
    e->setGeometry(x, y, w, 21);
    return e;
}

inline QPlainTextEdit* MakeMemo(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* m = Named(new QPlainTextEdit(parent), name);
    m->setGeometry(x, y, w, h);
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m->setLineWrapMode(QPlainTextEdit::NoWrap);
    return m;
}

}  // namespace lum
