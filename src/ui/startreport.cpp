#include "ui/startreport.h"

#include "app/branding.h"
#include "base/dialogs.h"
#include "base/langstrings.h"
#include "base/startupvalues.h"
#include "base/textfile.h"
#include "captions_p.h"
#include "proposal/proposal.h"
#include "report/reportparameter.h"
#include "ui/proposaleditor.h"
#include "ui/reportwizard.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace kv6 {

namespace {

const QString KeyNew = QStringLiteral("keyNew");
const QString KeyProposal = QStringLiteral("keyProposal");

bool isSavedReport(const QString &key)
{
    return key.endsWith(QLatin1String("rpt"), Qt::CaseInsensitive);
}

bool isFixed(const QString &key)
{
    return key == KeyNew || key == KeyProposal;
}

// Name and description from the head of a saved file; false when it cannot be read. A report
// names its definition before its name; a proposal does not. The version line is optional.
bool readSavedHead(const QString &path, bool report, QString &name, QString &description)
{
    QString text;
    if (!ReadTextFile(path, &text))
        return false;
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && clsReportParameter::ToNumber(lines.constFirst().trimmed()))
        lines.removeFirst();
    if (report && !lines.isEmpty())
        lines.removeFirst();
    name = lines.value(0).trimmed();
    description = lines.value(1).trimmed();
    return true;
}

QPushButton *button(
    QDialogButtonBox *box, int caption, QDialogButtonBox::ButtonRole role, const char *name)
{
    return NameControl(box->addButton(GetLangString(caption), role), name, GetLangString(caption));
}

} // namespace

frmStartReport::frmStartReport(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmStartReport"));
    setWindowTitle(GetLangString(650));
    setAccessibleName(windowTitle());
    lsvReports = new QListWidget(this);
    lsvReports->setObjectName(QStringLiteral("lsvReports"));
    lsvReports->setViewMode(QListView::IconMode);
    lsvReports->setIconSize(QSize(48, 48));
    lsvReports->setGridSize(QSize(128, 92));
    lsvReports->setResizeMode(QListView::Adjust);
    lsvReports->setMovement(QListView::Static);
    lsvReports->setWordWrap(true);
    lsvReports->setUniformItemSizes(true);
    SetAccessibleCaption(lsvReports, windowTitle());

    auto *box = new QDialogButtonBox(this);
    cmdEdit = button(box, 651, QDialogButtonBox::ActionRole, "cmdEdit");
    cmdDelete = button(box, 652, QDialogButtonBox::ActionRole, "cmdDelete");
    cmdOK = button(box, 654, QDialogButtonBox::AcceptRole, "cmdOK");
    cmdCancel = button(box, 653, QDialogButtonBox::RejectRole, "cmdCancel");
    cmdOK->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lsvReports);
    layout->addWidget(box);
    resize(560, 380);

    connect(
        lsvReports, &QListWidget::itemSelectionChanged, this, &frmStartReport::selectionChanged);
    connect(lsvReports, &QListWidget::itemActivated, this, [this] { openSelected(); });
    connect(cmdOK, &QPushButton::clicked, this, &frmStartReport::openSelected);
    connect(cmdEdit, &QPushButton::clicked, this, &frmStartReport::editSelected);
    connect(cmdDelete, &QPushButton::clicked, this, &frmStartReport::deleteSelected);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

frmStartReport::~frmStartReport() = default;

frmReportWizard *frmStartReport::wizard()
{
    if (!m_wizard)
        m_wizard = new frmReportWizard(this);
    return m_wizard;
}

frmProposal *frmStartReport::proposalEditor()
{
    if (!m_proposalEditor)
        m_proposalEditor = new frmProposal(this);
    return m_proposalEditor;
}

ReportChoice frmStartReport::StartReport(
    DataConnection *connection, qint32 companyId, bool simpleMode)
{
    prepare(connection, companyId, simpleMode);
    exec();
    return { m_result, m_proposal };
}

void frmStartReport::prepare(DataConnection *connection, qint32 companyId, bool simpleMode)
{
    m_connection = connection;
    m_companyId = companyId;
    m_simple = simpleMode;
    m_result.reset();
    m_proposal.reset();
    fill();
}

void frmStartReport::fill()
{
    lsvReports->clear();
    const auto add = [this](const QString &key, const QString &text, const QIcon &icon) {
        auto *item = new QListWidgetItem(icon, text, lsvReports);
        item->setData(Qt::UserRole, key);
        item->setData(Qt::AccessibleTextRole, text);
        return item;
    };
    add(KeyNew, GetLangString(655),
        QIcon::fromTheme(
            QStringLiteral("document-new"), style()->standardIcon(QStyle::SP_FileIcon)));
    add(KeyProposal, GetLangString(656),
        QIcon::fromTheme(
            QStringLiteral("folder-new"), style()->standardIcon(QStyle::SP_FileDialogNewFolder)));
    const QIcon reportIcon = QIcon::fromTheme(QStringLiteral("x-office-document"),
        style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    const QIcon proposalIcon = QIcon::fromTheme(QStringLiteral("x-office-presentation"),
        style()->standardIcon(QStyle::SP_FileDialogContentsView));
    const QDir folder(Startup().UserReportsFolder);
    const QStringList files = folder.entryList({ QStringLiteral("*.rpt"), QStringLiteral("*.prp") },
        QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString &file : files) {
        const bool report = isSavedReport(file);
        QString name, description;
        if (!readSavedHead(folder.filePath(file), report, name, description))
            continue;
        QListWidgetItem *item = add(file, name, report ? reportIcon : proposalIcon);
        item->setToolTip(description);
        item->setData(Qt::AccessibleDescriptionRole, description);
    }
    lsvReports->setCurrentRow(0);
    selectionChanged();
}

bool frmStartReport::selectEntry(const QString &key)
{
    for (int i = 0; i < lsvReports->count(); ++i) {
        if (lsvReports->item(i)->data(Qt::UserRole).toString() == key) {
            lsvReports->setCurrentRow(i);
            return true;
        }
    }
    return false;
}

QString frmStartReport::selectedKey() const
{
    const QListWidgetItem *item = lsvReports->currentItem();
    return item && item->isSelected() ? item->data(Qt::UserRole).toString() : QString();
}

void frmStartReport::selectionChanged()
{
    const QString key = selectedKey();
    const bool saved = !key.isEmpty() && !isFixed(key);
    cmdEdit->setEnabled(saved);
    cmdDelete->setEnabled(saved);
    cmdOK->setEnabled(!key.isEmpty());
}

std::shared_ptr<clsProposal> frmStartReport::loadSavedProposal(const QString &fileName)
{
    auto proposal = std::make_shared<clsProposal>();
    QString message;
    if (!proposal->LoadUserDefined(m_companyId, fileName, message)) {
        MsgBox(message, MsgIcon::Exclamation, MsgButtons::OK, Branding().ProductName());
        return nullptr;
    }
    if (m_simple) {
        proposal->SetUseGroups(false);
        proposal->SetUseFilters(true);
        proposal->SetUseEstCosts(false);
        // The reports were prepared with the file's options: again with these.
        for (const ReportPtr &report : proposal->Reports())
            proposal->PrepareReport(*report, m_companyId);
    }
    return proposal;
}

ReportPtr frmStartReport::loadSaved(const QString &fileName, int refusal)
{
    auto report = std::make_shared<clsReport>();
    QString message;
    if (!report->LoadUserDefined(m_companyId, fileName, message)) {
        MsgBox(message, MsgIcon::Exclamation, MsgButtons::OK, Branding().ProductName());
        return nullptr;
    }
    if (m_simple && report->MustUseEstCosts()) {
        MsgBox(
            GetLangString(refusal), MsgIcon::Exclamation, MsgButtons::OK, Branding().ProductName());
        return nullptr;
    }
    return report;
}

void frmStartReport::openSelected()
{
    const QString key = selectedKey();
    if (key.isEmpty())
        return;
    if (key == KeyNew) {
        m_result = wizard()->BuildReport(m_connection, m_companyId, m_simple);
    } else if (key == KeyProposal) {
        m_proposal = proposalEditor()->BuildProposal(m_connection, m_companyId, m_simple);
    } else if (!isSavedReport(key)) {
        m_proposal = loadSavedProposal(key);
    } else if (ReportPtr report = loadSaved(key, 657)) {
        if (m_simple) {
            report->SetUseGroups(false);
            report->SetUseFilters(true);
            report->SetUseEstCosts(false);
        }
        m_result = report;
    }
    if (m_result || m_proposal)
        accept();
}

void frmStartReport::editSelected()
{
    const QString key = selectedKey();
    if (key.isEmpty() || isFixed(key))
        return;
    if (!isSavedReport(key)) {
        const std::shared_ptr<clsProposal> proposal = loadSavedProposal(key);
        if (!proposal)
            return;
        m_proposal = proposalEditor()->EditProposal(m_connection, proposal, m_companyId, m_simple);
        if (m_proposal) {
            fill();
            accept();
        }
        return;
    }
    ReportPtr report = loadSaved(key, 660);
    if (!report)
        return;
    m_result = wizard()->EditReport(m_connection, report, m_companyId, m_simple);
    if (m_result) {
        fill();
        accept();
    }
}

void frmStartReport::deleteSelected()
{
    const QString key = selectedKey();
    if (key.isEmpty() || isFixed(key))
        return;
    if (MsgBox(
            GetLangString(658), MsgIcon::Exclamation, MsgButtons::YesNo, Branding().ProductName())
        != MsgAnswer::Yes)
        return;
    QFile file(QDir(Startup().UserReportsFolder).filePath(key));
    if (!file.remove()) {
        MsgBox(GetLangString(659, file.errorString()), MsgIcon::Exclamation);
        return;
    }
    delete lsvReports->currentItem();
    selectionChanged();
}

} // namespace kv6
