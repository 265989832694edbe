#pragma once

// The mail component the unattended run sends its PDF with: a message (sender, recipients,
// subject, body, one attached file) and a mailer that hands it to an SMTP server. STARTTLS is
// used whenever the server offers it; without it the mail goes in the clear, as many office relays
// on the local network require.
//
// Answers follow the component the run was designed around: 1 is success, anything else is a
// failure whose reason is in `errorText()` / `lastError()`. Nothing here throws, and no text this
// component produces ever holds the password.

#include <QString>
#include <QStringList>

namespace kv6::mail {

struct Address
{
    QString name; // display name, may be empty
    QString address; // local@domain
};

class Message
{
public:
    void setBody(const QString &body) { m_body = body; }
    QString body() const { return m_body; }
    // The sender as typed: "addr@example.com" or "Display Name <addr@example.com>". Checked when
    // the message is sent.
    void setFrom(const QString &from) { m_from = from; }
    QString from() const { return m_from; }
    // Line breaks in the subject become blanks: a subject is one header line.
    void setSubject(const QString &subject) { m_subject = subject; }
    QString subject() const { return m_subject; }

    // Adds every address of a comma-separated list (each "addr" or "Name <addr>"; a name may be
    // quoted and hold commas). 1 when all were added; otherwise none is added and `errorText()`
    // names the address that was refused.
    int addRecipients(const QString &list);
    const QList<Address> &recipients() const { return m_recipients; }

    // Attaches `path` (replacing an earlier attachment) and answers its MIME type, derived from the
    // file's extension; empty when the extension is unknown, and then nothing is attached.
    QString attachFile(const QString &path);
    QString attachmentPath() const { return m_attachment; }
    QString attachmentType() const { return m_attachmentType; }

    QString errorText() const { return m_error; }

private:
    QString m_body;
    QString m_from;
    QString m_subject;
    QList<Address> m_recipients;
    QString m_attachment;
    QString m_attachmentType;
    QString m_error;
};

class Mailer
{
public:
    void setServerName(const QString &server) { m_server = server; }
    QString serverName() const { return m_server; }
    void setPort(int port) { m_port = port; }
    int port() const { return m_port; }
    // Both are sent only when the user name is not empty.
    void setUserName(const QString &user) { m_user = user; }
    QString userName() const { return m_user; }
    void setPassword(const QString &password) { m_password = password; }
    // Seconds a send may take before it is given up (connecting gets at most 30 of them).
    void setTimeout(int seconds) { m_timeout = seconds; }

    // Sends the message; blocks until the server has answered. 1 on success, else 0 with the
    // reason in `lastError()` (the server's own reply when it refused).
    int send(const Message &message);
    QString lastError() const { return m_error; }

private:
    QString m_server;
    int m_port = 25;
    QString m_user;
    QString m_password;
    int m_timeout = 300;
    QString m_error;
};

// "Name <addr>" or "addr" split into its parts; false (with the reason) when the address is not
// one SMTP can carry: no "@", blanks, control characters or angle brackets inside it.
bool ParseAddress(const QString &text, Address *out, QString *error);

} // namespace kv6::mail
