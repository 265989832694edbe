#include "mail/mail.h"

#include "smtpspool.h"
#include "testenv.h"

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonObject>

using namespace kv6::mail;

namespace {

// Against the test SMTP server of scripts/lib/server-smtp.sh; skipped when it is not running.
class MailTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString skip = kv6test::smtpSkipReason(); !skip.isEmpty())
            GTEST_SKIP() << skip.toStdString();
        mailer.setServerName(kv6test::smtpHost());
        mailer.setPort(kv6test::smtpPort());
        mailer.setTimeout(20);
    }

    QStringList sent() const { return kv6test::mailsFrom(sender); }
    QJsonObject received() const { return kv6test::receivedFrom(sender); }

    QString pdfFile(const QByteArray &bytes) const
    {
        const QString path = env.path(QStringLiteral("Top 10 Users.pdf"));
        kv6test::writeFile(path, bytes);
        return path;
    }

    kv6test::TempEnv env;
    const QString sender = kv6test::uniqueSender(QStringLiteral("reports"));
    Mailer mailer;
};

QByteArray somePdfBytes()
{
    QByteArray b("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");
    for (int i = 0; i < 3000; ++i)
        b.append(char(i * 7 % 256));
    return b + "\n%%EOF\n";
}

using kv6test::jsonStrings;

TEST_F(MailTest, MessageWithPdfArrivesAsSent)
{
    const QByteArray pdf = somePdfBytes();
    Message m;
    m.setFrom(QStringLiteral("Finance Reports <%1>").arg(sender));
    ASSERT_EQ(
        m.addRecipients(QStringLiteral(
            "boss@example.com, \"Smith, John\" <john@example.com>,, Zoë Ünal <zoe@example.org>")),
        1)
        << m.errorText().toStdString();
    m.setSubject(QStringLiteral("Top 10 Users List — every Monday at 07:00, Q1/2009 and a "
                                "subject long enough to need folding"));
    // A lone "." line and a "From " line must survive SMTP's own line handling.
    const QString body
        = QStringLiteral("Hello,\n.\nFrom the scheduler: 100% done.\n") + QString(200, 'x');
    m.setBody(body);
    EXPECT_EQ(m.attachFile(pdfFile(pdf)), QStringLiteral("application/pdf"));
    mailer.setUserName(qEnvironmentVariable("KV6_SMTP_USER"));
    mailer.setPassword(qEnvironmentVariable("KV6_SMTP_PASSWORD"));

    ASSERT_EQ(mailer.send(m), 1) << mailer.lastError().toStdString();
    const QJsonObject got = received();
    const QJsonObject envelope = got[QStringLiteral("envelope")].toObject();
    EXPECT_EQ(envelope[QStringLiteral("mail_from")].toString(), sender);
    const QStringList rcpt = { QStringLiteral("boss@example.com"),
        QStringLiteral("john@example.com"), QStringLiteral("zoe@example.org") };
    EXPECT_EQ(jsonStrings(envelope[QStringLiteral("rcpt_tos")]), rcpt);
    EXPECT_EQ(envelope[QStringLiteral("login")].toString(), qEnvironmentVariable("KV6_SMTP_USER"));
    EXPECT_EQ(
        got[QStringLiteral("from")].toString(), QStringLiteral("Finance Reports <%1>").arg(sender));
    EXPECT_EQ(jsonStrings(got[QStringLiteral("to")]), rcpt);
    EXPECT_EQ(jsonStrings(got[QStringLiteral("toNames")]),
        QStringList({ QString(), QStringLiteral("Smith, John"), QStringLiteral("Zoë Ünal") }));
    EXPECT_EQ(got[QStringLiteral("subject")].toString(), m.subject());
    QString gotBody = got[QStringLiteral("body")].toString();
    gotBody.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    EXPECT_EQ(gotBody.trimmed(), body.trimmed());
    const QJsonArray att = got[QStringLiteral("attachments")].toArray();
    ASSERT_EQ(att.size(), 1);
    EXPECT_EQ(att[0][QStringLiteral("filename")].toString(), QStringLiteral("Top 10 Users.pdf"));
    EXPECT_EQ(att[0][QStringLiteral("type")].toString(), QStringLiteral("application/pdf"));
    EXPECT_EQ(QByteArray::fromBase64(att[0][QStringLiteral("data")].toString().toLatin1()), pdf);
}

TEST_F(MailTest, FailuresAreClearAndSendNothing)
{
    const QString password = QStringLiteral("s3cret-Pa55");
    struct Case
    {
        const char *what;
        QString server;
        int port;
        QString user;
        QString to;
        QStringList expected; // parts the error text must hold
    };
    const QString host = mailer.serverName();
    const int port = mailer.port();
    const Case cases[] = {
        { "refused recipient", host, port, {},
            QStringLiteral("ok@example.com, nobody@refused.invalid"),
            { QStringLiteral("550"), QStringLiteral("nobody@refused.invalid") } },
        { "server down", QStringLiteral("127.0.0.1"), 1, {}, QStringLiteral("ok@example.com"),
            { QStringLiteral("127.0.0.1:1"), QStringLiteral("connect") } },
        { "wrong password", host, port, QStringLiteral("kv6mail"), QStringLiteral("ok@example.com"),
            { QStringLiteral("535") } },
        { "no server", QString(), port, {}, QStringLiteral("ok@example.com"),
            { QStringLiteral("No mail server") } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Mailer mailer;
        mailer.setServerName(c.server);
        mailer.setPort(c.port);
        mailer.setUserName(c.user);
        mailer.setPassword(password);
        mailer.setTimeout(20);
        Message m;
        m.setFrom(sender);
        ASSERT_EQ(m.addRecipients(c.to), 1);
        m.setSubject(QStringLiteral("x"));
        EXPECT_EQ(mailer.send(m), 0);
        for (const QString &part : c.expected)
            EXPECT_TRUE(mailer.lastError().contains(part, Qt::CaseInsensitive))
                << mailer.lastError().toStdString();
        EXPECT_FALSE(mailer.lastError().contains(password));
        EXPECT_TRUE(sent().isEmpty());
    }

    Message m;
    EXPECT_EQ(m.attachFile(env.path(QStringLiteral("report.kv6unknownext"))), QString());
    EXPECT_EQ(m.attachmentPath(), QString());
    m.setFrom(sender);
    ASSERT_EQ(m.addRecipients(QStringLiteral("ok@example.com")), 1);
    EXPECT_EQ(
        m.attachFile(env.path(QStringLiteral("gone.pdf"))), QStringLiteral("application/pdf"));
    EXPECT_EQ(mailer.send(m), 0);
    EXPECT_TRUE(mailer.lastError().contains(QStringLiteral("gone.pdf")))
        << mailer.lastError().toStdString();
}

// A server that offers STARTTLS gets it, and a certificate nobody vouches for stops the mail
// rather than letting it go to whoever answers.
TEST_F(MailTest, StartTlsIsUsedAndItsCertificateChecked)
{
    if (qEnvironmentVariableIsEmpty("KV6_SMTP_TLS_PORT"))
        GTEST_SKIP() << "no STARTTLS server (openssl missing)";
    mailer.setPort(qEnvironmentVariable("KV6_SMTP_TLS_PORT").toInt());
    Message m;
    m.setFrom(sender);
    ASSERT_EQ(m.addRecipients(QStringLiteral("ok@example.com")), 1);
    EXPECT_EQ(mailer.send(m), 0);
    EXPECT_TRUE(mailer.lastError().contains(QStringLiteral("certificate"), Qt::CaseInsensitive))
        << mailer.lastError().toStdString();
    EXPECT_TRUE(sent().isEmpty());
}

TEST_F(MailTest, LineBreaksCannotAddHeadersOrRecipients)
{
    Message m;
    for (const QString &bad : { QStringLiteral("ok@example.com\r\nBcc: evil@example.com"),
             QStringLiteral("\"Boss\nBcc: evil@example.com\" <ok@example.com>"),
             QStringLiteral("ok@example.com>\r\nRCPT TO:<evil@example.com"),
             QStringLiteral("no-at-sign"), QStringLiteral("a b@example.com"),
             QStringLiteral(" , ") }) {
        EXPECT_EQ(m.addRecipients(bad), 0) << bad.toStdString();
        EXPECT_FALSE(m.errorText().isEmpty());
    }
    EXPECT_TRUE(m.recipients().isEmpty());

    m.setFrom(sender + QStringLiteral("\r\nBcc: evil@example.com"));
    ASSERT_EQ(m.addRecipients(QStringLiteral("ok@example.com")), 1);
    EXPECT_EQ(mailer.send(m), 0);
    EXPECT_TRUE(sent().isEmpty());

    m.setFrom(sender);
    m.setSubject(QStringLiteral("Sales\r\nBcc: evil@example.com\r\n\r\nforged body"));
    ASSERT_EQ(mailer.send(m), 1) << mailer.lastError().toStdString();
    const QJsonObject got = received();
    EXPECT_EQ(jsonStrings(got[QStringLiteral("envelope")].toObject()[QStringLiteral("rcpt_tos")]),
        QStringList { QStringLiteral("ok@example.com") });
    EXPECT_FALSE(jsonStrings(got[QStringLiteral("headers")])
                     .contains(QStringLiteral("Bcc"), Qt::CaseInsensitive));
    EXPECT_EQ(got[QStringLiteral("subject")].toString(),
        QStringLiteral("Sales  Bcc: evil@example.com    forged body"));
}

} // namespace
