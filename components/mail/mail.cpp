#include "mail/mail.h"
#include "vbcore/asciifold.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUuid>

#include <curl/curl.h>

#include <mutex>

namespace kv6::mail {

namespace {

bool hasControl(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

// Commas separate addresses except inside a quoted display name.
QStringList splitList(const QString &list)
{
    QStringList items;
    QString current;
    bool quoted = false;
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QChar c = list.at(i);
        if (c == QLatin1Char('\\') && quoted && i + 1 < list.size()) {
            current += c;
            current += list.at(++i);
            continue;
        }
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        if (c == QLatin1Char(',') && !quoted) {
            items.append(current);
            current.clear();
        } else {
            current += c;
        }
    }
    items.append(current);
    return items;
}

bool isAtext(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80
            || !(c.isLetterOrNumber() || c == QLatin1Char(' ')
                || QStringLiteral("!#$%&'*+-/=?^_`{|}~.").contains(c)))
            return false;
    }
    return true;
}

// RFC 2047 words of at most 45 UTF-8 bytes each, cut between characters, folded onto
// continuation lines so no header line grows beyond what SMTP allows.
QByteArray encodedWords(const QString &text)
{
    QByteArrayList words;
    QByteArray chunk;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray bytes = text.mid(i, n).toUtf8();
        if (chunk.size() + bytes.size() > 45) {
            words.append("=?UTF-8?B?" + chunk.toBase64() + "?=");
            chunk.clear();
        }
        chunk += bytes;
        i += n;
    }
    if (!chunk.isEmpty() || words.isEmpty())
        words.append("=?UTF-8?B?" + chunk.toBase64() + "?=");
    return words.join("\r\n ");
}

QByteArray subjectHeader(QString subject)
{
    for (QChar &c : subject) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char(' ');
    }
    if (IsAscii(subject) && subject.size() <= 70)
        return subject.toLatin1();
    return encodedWords(subject);
}

QByteArray formatAddress(const Address &a)
{
    const QByteArray addr = a.address.toUtf8();
    if (a.name.isEmpty())
        return addr;
    QByteArray name;
    if (!IsAscii(a.name))
        name = encodedWords(a.name);
    else if (isAtext(a.name))
        name = a.name.toLatin1();
    else {
        QString quoted = a.name;
        quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        quoted.replace(QLatin1Char('"'), QLatin1String("\\\""));
        name = '"' + quoted.toLatin1() + '"';
    }
    return name + " <" + addr + '>';
}

QString unquote(QString name)
{
    name = name.trimmed();
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"'))) {
        name = name.mid(1, name.size() - 2);
        QString out;
        for (qsizetype i = 0; i < name.size(); ++i) {
            if (name.at(i) == QLatin1Char('\\') && i + 1 < name.size())
                ++i;
            out += name.at(i);
        }
        return out;
    }
    return name;
}

struct CurlCall
{
    CURL *curl = nullptr;
    curl_mime *mime = nullptr;
    curl_slist *recipients = nullptr;
    curl_slist *headers = nullptr;
    QByteArray lastReply;

    CurlCall()
    {
        static std::once_flag once;
        std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
        curl = curl_easy_init();
    }
    ~CurlCall()
    {
        curl_slist_free_all(recipients);
        curl_slist_free_all(headers);
        curl_mime_free(mime);
        if (curl)
            curl_easy_cleanup(curl);
    }
    CurlCall(const CurlCall &) = delete;
    CurlCall &operator=(const CurlCall &) = delete;
};

// Keeps the server's last refusal so the error says what the server said, not only which SMTP
// step failed. Only server replies are looked at; what the client sends (AUTH) never is.
int onDebug(CURL *, curl_infotype type, char *data, size_t size, void *user)
{
    if (type == CURLINFO_HEADER_IN) {
        const QByteArray line = QByteArray(data, qsizetype(size)).trimmed();
        if (line.size() >= 3 && (line.at(0) == '4' || line.at(0) == '5'))
            static_cast<CurlCall *>(user)->lastReply = line;
    }
    return 0;
}

} // namespace

bool ParseAddress(const QString &text, Address *out, QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("Invalid e-mail address \"%1\": %2.").arg(text.trimmed(), why);
        return false;
    };
    if (hasControl(text))
        return fail(QStringLiteral("it contains a line break or control character"));
    Address a;
    const QString t = text.trimmed();
    const qsizetype open = t.lastIndexOf(QLatin1Char('<'));
    if (open >= 0) {
        if (!t.endsWith(QLatin1Char('>')))
            return fail(QStringLiteral("nothing may follow the closing \">\""));
        a.name = unquote(t.left(open));
        a.address = t.mid(open + 1, t.size() - open - 2).trimmed();
    } else {
        a.address = t;
    }
    if (a.address.isEmpty())
        return fail(QStringLiteral("the address is empty"));
    for (const QChar c : a.address) {
        if (c.isSpace() || QStringLiteral("<>()[],;:\"\\").contains(c))
            return fail(QStringLiteral("\"%1\" is not allowed in an address").arg(c));
    }
    const qsizetype at = a.address.lastIndexOf(QLatin1Char('@'));
    if (at <= 0 || at == a.address.size() - 1)
        return fail(QStringLiteral("it needs a name before and a domain after \"@\""));
    if (out)
        *out = a;
    return true;
}

int Message::addRecipients(const QString &list)
{
    QList<Address> added;
    for (const QString &item : splitList(list)) {
        if (item.trimmed().isEmpty())
            continue;
        Address a;
        if (!ParseAddress(item, &a, &m_error))
            return 0;
        added.append(a);
    }
    if (added.isEmpty()) {
        m_error = QStringLiteral("No recipient address given.");
        return 0;
    }
    m_recipients += added;
    m_error.clear();
    return 1;
}

QString Message::attachFile(const QString &path)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault())
        return {};
    m_attachment = path;
    m_attachmentType = type.name();
    return m_attachmentType;
}

int Mailer::send(const Message &message)
{
    const auto fail = [this](const QString &why) {
        m_error = why;
        // A password of a few characters would only mangle the text without hiding anything.
        if (m_password.size() >= 4)
            m_error.replace(m_password, QStringLiteral("********"));
        return 0;
    };
    if (m_server.trimmed().isEmpty())
        return fail(QStringLiteral("No mail server is set."));
    for (const QChar c : m_server.trimmed()) {
        if (c.isSpace() || QStringLiteral("/@?#").contains(c) || c.unicode() < 0x20)
            return fail(QStringLiteral("Invalid mail server name \"%1\".").arg(m_server));
    }
    if (hasControl(m_user))
        return fail(QStringLiteral("Invalid mail user name: it contains a control character."));
    if (m_port < 1 || m_port > 65535)
        return fail(QStringLiteral("Invalid mail server port %1.").arg(m_port));
    Address from;
    QString why;
    if (!ParseAddress(message.from(), &from, &why))
        return fail(QStringLiteral("Sender: ") + why);
    if (message.recipients().isEmpty())
        return fail(QStringLiteral("No recipient address given."));

    QByteArray attachment;
    if (!message.attachmentPath().isEmpty()) {
        QFile file(message.attachmentPath());
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("Cannot read the attachment %1: %2")
                            .arg(message.attachmentPath(), file.errorString()));
        attachment = file.readAll();
    }

    CurlCall call;
    if (!call.curl)
        return fail(QStringLiteral("The mail library could not be initialised."));
    CURL *c = call.curl;
    QString host = m_server.trimmed();
    if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('[')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    const QByteArray url = QStringLiteral("smtp://%1:%2").arg(host).arg(m_port).toUtf8();
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_TRY));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, long(qMin(m_timeout, 30)));
    curl_easy_setopt(c, CURLOPT_TIMEOUT, long(m_timeout));
    const QByteArray user = m_user.toUtf8();
    const QByteArray password = m_password.toUtf8();
    if (!m_user.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }
    const QByteArray mailFrom = '<' + from.address.toUtf8() + '>';
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, mailFrom.constData());
    QByteArrayList to;
    for (const Address &a : message.recipients()) {
        call.recipients
            = curl_slist_append(call.recipients, ('<' + a.address.toUtf8() + '>').constData());
        to.append(formatAddress(a));
    }
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, call.recipients);

    const QString domain = from.address.mid(from.address.lastIndexOf(QLatin1Char('@')) + 1);
    const QByteArrayList headers = {
        "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1(),
        "From: " + formatAddress(from),
        "To: " + to.join(",\r\n "),
        "Subject: " + subjectHeader(message.subject()),
        "Message-ID: <" + QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1() + '@'
            + domain.toUtf8() + '>',
    };
    for (const QByteArray &h : headers)
        call.headers = curl_slist_append(call.headers, h.constData());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, call.headers);

    call.mime = curl_mime_init(c);
    QString body = message.body();
    body.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    body.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    const QByteArray bodyBytes = body.toUtf8();
    curl_mimepart *text = curl_mime_addpart(call.mime);
    curl_mime_data(text, bodyBytes.constData(), size_t(bodyBytes.size()));
    curl_mime_type(text, "text/plain; charset=utf-8");
    curl_mime_encoder(text, "quoted-printable");
    if (!message.attachmentPath().isEmpty()) {
        // The name is quoted in a header line: quotes, backslashes and line breaks stay out.
        QString name = QFileInfo(message.attachmentPath()).fileName();
        for (QChar &ch : name) {
            if (ch.unicode() < 0x20 || ch == QLatin1Char('"') || ch == QLatin1Char('\\'))
                ch = QLatin1Char('_');
        }
        curl_mimepart *file = curl_mime_addpart(call.mime);
        curl_mime_data(file, attachment.constData(), size_t(attachment.size()));
        curl_mime_type(file, message.attachmentType().toLatin1().constData());
        curl_mime_filename(file, name.toUtf8().constData());
        curl_mime_encoder(file, "base64");
    }
    curl_easy_setopt(c, CURLOPT_MIMEPOST, call.mime);

    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, onDebug);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &call);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);

    const CURLcode result = curl_easy_perform(c);
    if (result != CURLE_OK) {
        QString text = QString::fromUtf8(errorBuffer).trimmed();
        if (text.isEmpty())
            text = QString::fromUtf8(curl_easy_strerror(result));
        if (!call.lastReply.isEmpty())
            text += QStringLiteral(" (the server said: %1)").arg(QString::fromUtf8(call.lastReply));
        return fail(QStringLiteral("Could not send the mail through %1:%2: %3")
                        .arg(m_server.trimmed())
                        .arg(m_port)
                        .arg(text));
    }
    m_error.clear();
    return 1;
}

} // namespace kv6::mail
