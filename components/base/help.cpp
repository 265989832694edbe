#include "base/help.h"

#include "base/startupvalues.h"

#include <QDesktopServices>
#include <QFileInfo>

namespace kv6 {

QUrl HelpTopicUrl(const QString &helpFile, quint32 contextId)
{
    const QFileInfo info(helpFile);
    QUrl url = QUrl::fromLocalFile(
        info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("/index.html"));
    url.setFragment(QString::number(contextId));
    return url;
}

bool ShowHelpTopic(quint32 contextId, QWidget *owner, const QString &helpFile)
{
    Q_UNUSED(owner);
    return QDesktopServices::openUrl(
        HelpTopicUrl(helpFile.isEmpty() ? Startup().ApplicationHelpFile : helpFile, contextId));
}

} // namespace kv6
