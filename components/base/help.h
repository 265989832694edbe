#pragma once

// The HTML help book that stands in for a compiled help file.

#include <QString>
#include <QUrl>

class QWidget;

namespace kv6 {

// The page that stands in for a compiled help file at a context id: "help/kv6reprt.chm" is the
// book "help/kv6reprt/index.html", and the id is its anchor.
QUrl HelpTopicUrl(const QString &helpFile, quint32 contextId);
// Opens the help book at the topic; `helpFile` defaults to the application's help file.
bool ShowHelpTopic(quint32 contextId, QWidget *owner = nullptr, const QString &helpFile = {});

} // namespace kv6
