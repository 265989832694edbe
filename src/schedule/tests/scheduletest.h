#pragma once

// One fixture for the schedule tests: a demo database configured as the connection the run uses,
// its mail settings, the shipped catalogue, and readers of the run's log.

#include "base/startupvalues.h"
#include "dataaccess/datasource.h"

#include "testenv.h"
#include "testscopes.h"

#include <gtest/gtest.h>
#include <QDate>

namespace kv6test {

struct ScheduleCopies
{
    QString groups;
    QString report;
};

class ScheduleFixture : public ::testing::Test
{
protected:
    void SetUp() override;

    // The suite's mail settings in the database.
    void setMailServer(
        const QString &host, int port, const QString &user = {}, const QString &password = {});
    // The group copy and a Top 10 Users List copy for company 1 over the dates.
    ScheduleCopies writeCopies(const QString &name, const QDate &from, const QDate &to);
    // A proposal copy of the given reports (by default the Top 10 Users List and the Top 10
    // Printers List) for company 1.
    QString writeProposalCopy(const QString &name, const QDate &from, const QDate &to,
        const QStringList &titles
        = { QStringLiteral("Top 10 Users List"), QStringLiteral("Top 10 Printers List") });
    // The run's log lines without their time stamps.
    QStringList logTexts() const;
    // PDF files in the temporary folder.
    QStringList pdfsLeft() const;

    TempEnv env;
    ShippedLanguage language;
    ScopedStartupValue<QString> definitions { &kv6::StartupValues::DefinitionsFolder,
        stageDir() + QStringLiteral("/reporter/reports") };
    // The run uses the stored connection, not one an outer environment names.
    ScopedEnv database { "KV6_DATABASE", QByteArray() };
    kv6::DataSource source;
};

} // namespace kv6test
