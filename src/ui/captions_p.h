#pragma once

// Captions of menus and buttons carry "&" mnemonics and "..." for items that open a dialog; a
// screen reader and a message want the plain words.

#include <QString>

class QWidget;

namespace kv6 {

QString PlainCaption(const QString &caption);
// Names the widget for screen readers by its caption.
void SetAccessibleCaption(QWidget *widget, const QString &caption);

} // namespace kv6
