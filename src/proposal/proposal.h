#pragma once

// A proposal: catalogue reports built over one shared date range with one set of options and
// rendered as one document with an optional title page and table of contents. Saved as a
// ".prp" file in the saved-reports folder, next to the saved reports.

#include "groups/simplegroups.h"
#include "report/report.h"

#include <QDate>
#include <QString>
#include <QStringList>

namespace kv6 {

class clsProposal : public ReportChoices
{
public:
    clsProposal();
    clsProposal(const clsProposal &) = delete;
    clsProposal &operator=(const clsProposal &) = delete;

    QString Title() const { return m_title; }
    void SetTitle(const QString &text) { m_title = text.trimmed(); }
    QString PreparedFor() const { return m_preparedFor; }
    void SetPreparedFor(const QString &text) { m_preparedFor = text.trimmed(); }
    QString PreparedBy() const { return m_preparedBy; }
    void SetPreparedBy(const QString &text) { m_preparedBy = text.trimmed(); }
    // Keyed by report Name, in rendering order.
    ReportList &Reports() { return m_reports; }
    const ReportList &Reports() const { return m_reports; }
    void SetReports(ReportList reports) { m_reports = std::move(reports); }
    QDate FromDate() const { return m_fromDate; }
    void SetFromDate(const QDate &day) { m_fromDate = day; }
    QDate ToDate() const { return m_toDate; }
    void SetToDate(const QDate &day) { m_toDate = day; }
    QString Key() const { return m_key; }
    void SetKey(const QString &key) { m_key = key.trimmed(); }
    bool CreateTableContents() const { return m_createTableContents; }
    void SetCreateTableContents(bool create) { m_createTableContents = create; }
    bool CreateTitlePage() const { return m_createTitlePage; }
    void SetCreateTitlePage(bool create) { m_createTitlePage = create; }
    QString Description() const { return m_description; }
    void SetDescription(const QString &text) { m_description = text; }
    QString Name() const { return m_name; }
    void SetName(const QString &name) { m_name = name.trimmed(); }
    // A clsDateSelector type; the all-dates and custom types keep their stored dates on load.
    qint32 DateSelectType() const { return m_dateSelectType; }
    void SetDateSelectType(qint32 type) { m_dateSelectType = type; }

    // Reads a proposal file (a bare name lies in UserReportsFolder) and loads the definition of
    // each of its reports afresh, prepared with PrepareReport. False with the message for the
    // user: 801 when the file cannot be read or a line does not hold what it must (nothing is
    // changed then), 800 when a report's definition does not load (the reports before it stay).
    bool LoadUserDefined(qint32 companyId, const QString &fileName, QString &errorText);
    // Writes the file (version 2), replacing one of the same name; false with message 802.
    bool SaveUserDefined(const QString &fileName, QString &errorText) const;

    // Gives a report the proposal's options and date range: estimated costs (forced where a
    // column needs them), filters, groups (only where the report can group when `canGroupOnly`),
    // the company, the range and every other parameter's default.
    void PrepareReport(clsReport &report, qint32 companyId, bool canGroupOnly = false) const;

private:
    QString m_title;
    QString m_preparedFor;
    QString m_preparedBy;
    ReportList m_reports;
    QDate m_fromDate;
    QDate m_toDate;
    QString m_key;
    bool m_createTableContents = true;
    bool m_createTitlePage = true;
    QString m_description;
    QString m_name;
    qint32 m_dateSelectType;
};

// The catalogue reports a new proposal starts with, by report Name, in order.
QStringList DefaultAnalysisSet();

// The title-page texts the editor offers for the next new proposal.
struct ProposalTitleTexts
{
    QString title;
    QString preparedBy;
    QString preparedFor;
};
ProposalTitleTexts RememberedTitleTexts();
void RememberTitleTexts(const ProposalTitleTexts &texts);

} // namespace kv6
