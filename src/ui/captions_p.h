#pragma once

// Captions of menus and buttons carry "&" mnemonics and "..." for items that open a dialog; a
// screen reader and a message want the plain words.

#include <QString>

class QWidget;

namespace kv6 {

QString PlainCaption(const QString &caption);
// Names the widget for screen readers by its caption.
void SetAccessibleCaption(QWidget *widget, const QString &caption);

// The widget named for lookups (its object name) and, when a caption is given, for screen
// readers by that caption.
template<typename W>
W *NameControl(W *widget, const char *name, const QString &caption = QString())
{
    widget->setObjectName(QLatin1String(name));
    if (!caption.isEmpty())
        SetAccessibleCaption(widget, caption);
    return widget;
}

} // namespace kv6
