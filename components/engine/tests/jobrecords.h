#pragma once

// Helpers the engine tests share: layouts written by a test, the print-job layout and record
// sets, and numbers in the system locale.

#include "documenttexts.h"
#include "engine/layout.h"
#include "engine/previewdocument.h"
#include "engine/reportengine.h"
#include "recordset/recordset.h"
#include "testenv.h"
#include "toolrun.h"
#include "vbcore/currency.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>
#include <ostream>

inline std::ostream &operator<<(std::ostream &os, const QString &s)
{
    return os << s.toStdString();
}

namespace kv6test {

// A number written with "." and "," as the system locale writes it.
inline QString localNumber(QString s)
{
    const QLocale l = QLocale::system();
    s.replace(u',', u'\x01').replace(u'.', l.decimalPoint()).replace(u'\x01', l.groupSeparator());
    return s;
}

// Loads report `name` of layout XML the test wrote into the engine; a layout that does not load
// fails the running test.
inline void loadLayout(
    kv6::engine::ReportEngine &engine, const char *xml, const QString &name = QStringLiteral("R"))
{
    kv6::engine::ReportLayout layout;
    QString error;
    ASSERT_TRUE(kv6::engine::loadLayoutXml(QByteArray(xml), name, layout, &error))
        << error.toStdString();
    engine.setLayout(layout);
}

// A print-job record set: user, printer, pages, cost (currency) and date, in the order given.
struct JobRow
{
    QString user;
    QString printer;
    int pages;
    double cost;
};

inline kv6::RecordsetPtr jobs(const QList<JobRow> &rows)
{
    auto rs = kv6::Recordset::Create();
    rs->AppendField(QStringLiteral("UserName"), kv6::adVarWChar, 64);
    rs->AppendField(QStringLiteral("Printer"), kv6::adVarWChar, 64);
    rs->AppendField(QStringLiteral("Pages"), kv6::adInteger);
    rs->AppendField(QStringLiteral("Cost"), kv6::adCurrency);
    rs->AppendField(QStringLiteral("JobDate"), kv6::adDate);
    rs->Open();
    int day = 1;
    for (const JobRow &j : rows) {
        rs->AppendRow(
            { j.user, j.printer, j.pages, QVariant::fromValue(kv6::Currency::fromDouble(j.cost)),
                QDateTime(QDate(2024, 3, day), QTime(9, 30)) });
        day = day % 28 + 1;
    }
    rs->MoveFirst();
    return rs;
}

// Letter, half-inch margins: the body of a page runs from 720 + page header to
// 15840 - 720 - page footer.
inline const char *const jobsLayout = R"xml(<Layouts>
<Report name="Jobs" paper="Letter" marginLeft="720" marginTop="720" marginRight="720" marginBottom="720">
  <Font name="Arial" size="9"/>
  <Group name="ByUser" groupBy="UserName"/>
  <Section type="PageHeader" height="400">
    <Field name="lblTitle" text="Print jobs" left="0" top="0" width="5000" height="400"/>
  </Section>
  <Section type="GroupHeader" group="1" height="300">
    <Field name="txtUser" text="=UserName" left="0" top="0" width="3000" height="300"/>
  </Section>
  <Section type="Detail" height="300">
    <Field name="txtPrinter" text="=Printer" left="500" top="0" width="3000" height="300"/>
    <Field name="txtPages" text="Pages" calculated="1" left="4000" top="0" width="1000" height="300" align="6"/>
    <Field name="txtCost" text="=Cost" format="#,##0.00" left="5500" top="0" width="1500" height="300" align="6"/>
  </Section>
  <Section type="GroupFooter" group="1" height="300">
    <Field name="txtUserPages" text="=Sum(Pages)" left="4000" top="0" width="1000" height="300" align="6"/>
    <Field name="txtUserJobs" text="=Count(*) &amp; &quot; jobs&quot;" left="500" top="0" width="1500" height="300"/>
    <Field name="txtUserAvg" text="=Avg(Pages)" format="0.0" left="5500" top="0" width="1500" height="300" align="6"/>
    <Field name="txtUserRange" text="=Min(Pages) &amp; &quot;-&quot; &amp; Max(Pages)" left="7500" top="0" width="1500" height="300"/>
  </Section>
  <Section type="Footer" height="300">
    <Field name="txtTotalPages" text="=Sum(Pages)" left="4000" top="0" width="1000" height="300" align="6"/>
    <Field name="txtTotalCost" text="=Sum(Cost)" format="#,##0.00" left="5500" top="0" width="1500" height="300" align="6"/>
    <Field name="txtShare" text="=Sum(Pages) / 100" format="0%" left="7500" top="0" width="1000" height="300"/>
  </Section>
  <Section type="PageFooter" height="300">
    <Field name="lblFooterPages" text="=&quot;Page &quot; &amp; Page &amp; &quot; of &quot; &amp; Pages" left="7000" top="0" width="3800" height="300" align="6"/>
  </Section>
</Report>
</Layouts>)xml";

// Every event of the engines it listens to, as text: "start E", "page E P", "format E S",
// "formatted E S"; `onPage` runs as each page starts.
class EventLog : public kv6::engine::EngineListener
{
public:
    QStringList events;
    std::function<void(int page)> onPage;

    void reportStart(int e) override { events << QStringLiteral("start %1").arg(e); }
    void pageStart(int e, int page) override
    {
        events << QStringLiteral("page %1 %2").arg(e).arg(page);
        if (onPage)
            onPage(page);
    }
    void sectionFormat(int e, int s) override
    {
        events << QStringLiteral("format %1 %2").arg(e).arg(s);
    }
    void sectionFormatted(int e, int s) override
    {
        events << QStringLiteral("formatted %1 %2").arg(e).arg(s);
    }
};

// `n` jobs of one user, each on a printer of its own: "P0" with 1 page, "P1" with 2, and so on.
inline QList<JobRow> manyJobs(int n, const QString &user = QStringLiteral("dave"))
{
    QList<JobRow> rows;
    for (int i = 0; i < n; ++i)
        rows.append({ user, QStringLiteral("P%1").arg(i), i + 1, 0.01 * (i + 1) });
    return rows;
}

} // namespace kv6test
