#include "smtpspool.h"

#include "testenv.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QUuid>

namespace kv6test {

QString smtpSkipReason()
{
    return qEnvironmentVariableIsEmpty("KV6_SMTP_PORT")
        ? QStringLiteral("KV6_SMTP_PORT is not set: start scripts/lib/servers.sh")
        : QString();
}

QString smtpHost()
{
    return qEnvironmentVariable("KV6_SMTP_HOST");
}

int smtpPort()
{
    return qEnvironmentVariable("KV6_SMTP_PORT").toInt();
}

QString uniqueSender(const QString &local)
{
    return QStringLiteral("%1-%2@example.com")
        .arg(local, QUuid::createUuid().toString(QUuid::WithoutBraces));
}

QStringList mailsFrom(const QString &sender)
{
    const QDir spool(qEnvironmentVariable("KV6_SMTP_SPOOL"));
    QStringList out;
    for (const QString &meta : spool.entryList({ QStringLiteral("*.json") }, QDir::Files)) {
        const QJsonDocument doc = QJsonDocument::fromJson(readFile(spool.filePath(meta)));
        if (doc[QStringLiteral("mail_from")].toString() == sender)
            out << spool.filePath(meta.chopped(5) + QStringLiteral(".eml"));
    }
    return out;
}

QJsonObject receivedFrom(const QString &sender)
{
    const QStringList all = mailsFrom(sender);
    EXPECT_EQ(all.size(), 1) << "mails from " << sender.toStdString();
    if (all.isEmpty())
        return {};
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
        { sourceDir() + QStringLiteral("/testsupport/readmail.py"), all.last() });
    p.waitForFinished(30000);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

QStringList jsonStrings(const QJsonValue &value)
{
    QStringList out;
    for (const QJsonValue &x : value.toArray())
        out.append(x.toString());
    return out;
}

} // namespace kv6test
