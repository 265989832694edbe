#pragma once

// The messages the test SMTP server of scripts/lib/server-smtp.sh kept. Tests run side by side
// against one server, so each sends from an address of its own and reads back only its mail.

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace kv6test {

// Empty when the server runs; otherwise the reason the mail tests skip.
QString smtpSkipReason();
QString smtpHost();
int smtpPort();
// A sender address no other test uses.
QString uniqueSender(const QString &local);
// The stored messages (.eml paths) whose envelope sender is `sender`.
QStringList mailsFrom(const QString &sender);
// The one message `sender` sent, parsed by Python's email package: "envelope" (mail_from,
// rcpt_tos, login), "headers", "from", "to", "toNames", "subject", "body", "attachments"
// (filename, type, data in base64). A count other than one fails the test.
QJsonObject receivedFrom(const QString &sender);
// A JSON array of strings.
QStringList jsonStrings(const QJsonValue &value);

} // namespace kv6test
