#include "ui/reportwizard.h"

#include "app/branding.h"
#include "base/clsregistry.h"
#include "base/dialogs.h"
#include "base/langstrings.h"
#include "base/startupvalues.h"
#include "captions_p.h"
#include "dataaccess/dataconnection.h"
#include "dataaccess/datasettings.h"
#include "report/dateselector.h"
#include "report/runsettings.h"
#include "reportpicture_p.h"
#include "ui/ctldateselector.h"
#include "ui/mainwindow.h"
#include "ui/savereport.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

namespace kv6 {

namespace {

const QString EstCostValue = QStringLiteral("UseEstCost");

void atReporterKey(clsRegistry &reg)
{
    reg.setClassKey(HKEY_CURRENT_USER);
    reg.setSectionKey(ReporterKey);
}

bool readEstCostDefault()
{
    clsRegistry reg;
    atReporterKey(reg);
    QString error;
    return reg.GetValueOrDefault(EstCostValue, 0, error).toInt() != 0;
}

template<typename W = QLabel>
W *captioned(QWidget *parent, int text, const char *name)
{
    return NameControl(new W(GetLangString(text), parent), name, GetLangString(text));
}

QVariant storedNumber(double n)
{
    // Whole numbers stay whole: they reach SQL and the saved file as integers.
    if (std::floor(n) == n && std::abs(n) < 2147483647.0)
        return int(n);
    return n;
}

} // namespace

frmReportWizard::frmReportWizard(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmReportWizard"));
    setWindowTitle(GetLangString(400));
    setAccessibleName(windowTitle());

    lblMajorHeading = captioned(this, 424, "lblMajorHeading");
    QFont big = lblMajorHeading->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.3);
    lblMajorHeading->setFont(big);
    lblMinorHeading = captioned(this, 440, "lblMinorHeading");
    // The headings change with the mode and the page; without a fixed name a screen reader
    // reads their text as it is.
    lblMajorHeading->setAccessibleName(QString());
    lblMinorHeading->setAccessibleName(QString());

    tabWizard = new QTabWidget(this);
    tabWizard->setObjectName(QStringLiteral("tabWizard"));
    tabWizard->addTab(buildReportPage(), GetLangString(406));
    tabWizard->addTab(buildOptionsPage(), GetLangString(407));
    tabWizard->addTab(buildGroupPage(PageUserGroups), GetLangString(408));
    tabWizard->addTab(buildGroupPage(PagePrinterGroups), GetLangString(409));
    tabWizard->tabBar()->setAccessibleName(windowTitle());

    const auto button = [this](int text, const char *name) {
        auto *b = captioned<QPushButton>(this, text, name);
        b->setAutoDefault(false);
        return b;
    };
    cmdBack = button(405, "cmdBack");
    cmdNext = button(404, "cmdNext");
    cmdBuildSave = button(401, "cmdBuildSave");
    cmdBuild = button(402, "cmdBuild");
    cmdCancel = button(403, "cmdCancel");
    cmdBuild->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdBack);
    buttons->addWidget(cmdNext);
    buttons->addStretch();
    buttons->addWidget(cmdBuildSave);
    buttons->addWidget(cmdBuild);
    buttons->addWidget(cmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblMajorHeading);
    layout->addWidget(lblMinorHeading);
    layout->addWidget(tabWizard, 1);
    layout->addLayout(buttons);
    resize(640, 520);

    connect(cmdBack, &QPushButton::clicked, this, [this] { move(-1); });
    connect(cmdNext, &QPushButton::clicked, this, [this] { move(1); });
    connect(cmdBuild, &QPushButton::clicked, this, [this] { finish(false); });
    connect(cmdBuildSave, &QPushButton::clicked, this, [this] { finish(true); });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(tabWizard, &QTabWidget::currentChanged, this, &frmReportWizard::updateStates);
}

frmReportWizard::~frmReportWizard() = default;

QWidget *frmReportWizard::buildReportPage()
{
    auto *page = new QWidget;
    treReports = new QTreeWidget(page);
    treReports->setObjectName(QStringLiteral("treReports"));
    treReports->setHeaderHidden(true);
    treReports->setIconSize(QSize(20, 20));
    txtDescription = new QPlainTextEdit(page);
    txtDescription->setObjectName(QStringLiteral("txtDescription"));
    txtDescription->setReadOnly(true);
    txtDescription->setMaximumHeight(110);
    QLabel *label = captioned(page, 410, "lblCaption");
    label->setBuddy(treReports);
    SetAccessibleCaption(treReports, label->text());
    SetAccessibleCaption(txtDescription, GetLangString(406));
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(label);
    layout->addWidget(treReports, 1);
    layout->addWidget(txtDescription);
    connect(
        treReports, &QTreeWidget::currentItemChanged, this, &frmReportWizard::treeSelectionChanged);
    connect(treReports, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) {
        if (item && item->data(0, Qt::UserRole).toString().startsWith(QLatin1String("REPT")))
            move(1);
    });
    return page;
}

QWidget *frmReportWizard::buildOptionsPage()
{
    auto *page = new QWidget;
    auto *form = new QGridLayout;
    QLabel *title = captioned(page, 420, "lblTitle");
    txtTitle = new QLineEdit(page);
    txtTitle->setObjectName(QStringLiteral("txtTitle"));
    txtSubTitle = new QLineEdit(page);
    txtSubTitle->setObjectName(QStringLiteral("txtSubTitle"));
    title->setBuddy(txtTitle);
    SetAccessibleCaption(txtTitle, title->text());
    SetAccessibleCaption(txtSubTitle, title->text());
    QLabel *decimals = captioned(page, 422, "lblDecimals");
    txtDecimals = new QLineEdit(page);
    txtDecimals->setObjectName(QStringLiteral("txtDecimals"));
    txtDecimals->setMaximumWidth(60);
    decimals->setBuddy(txtDecimals);
    SetAccessibleCaption(txtDecimals, decimals->text());
    form->addWidget(title, 0, 0);
    form->addWidget(txtTitle, 0, 1);
    form->addWidget(txtSubTitle, 1, 1);
    form->addWidget(decimals, 2, 0);
    form->addWidget(txtDecimals, 2, 1, Qt::AlignLeft);

    fraParameters = new QGroupBox(GetLangString(421), page);
    fraParameters->setObjectName(QStringLiteral("fraParameters"));
    SetAccessibleCaption(fraParameters, fraParameters->title());
    m_paramGrid = new QGridLayout(fraParameters);
    m_paramGrid->setColumnStretch(1, 1);

    lblSorting = captioned(page, 416, "lblSorting");
    cmbSorting = new QComboBox(page);
    cmbSorting->setObjectName(QStringLiteral("cmbSorting"));
    lblSorting->setBuddy(cmbSorting);
    SetAccessibleCaption(cmbSorting, lblSorting->text());
    optSortAscending = captioned<QRadioButton>(page, 414, "optSortAscending");
    optSortDescending = captioned<QRadioButton>(page, 415, "optSortDescending");
    auto *sortGroup = new QButtonGroup(page);
    sortGroup->addButton(optSortAscending);
    sortGroup->addButton(optSortDescending);
    auto *sort = new QHBoxLayout;
    sort->addWidget(lblSorting);
    sort->addWidget(cmbSorting, 1);
    sort->addWidget(optSortAscending);
    sort->addWidget(optSortDescending);

    chkFilter = captioned<QCheckBox>(page, 419, "chkFilter");
    chkGroup = captioned<QCheckBox>(page, 418, "chkGroup");
    chkEstCosts = captioned<QCheckBox>(page, 417, "chkEstCosts");

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(captioned(page, 411, "lblCaption"));
    layout->addLayout(form);
    layout->addWidget(fraParameters);
    layout->addLayout(sort);
    layout->addWidget(chkFilter);
    layout->addWidget(chkGroup);
    layout->addWidget(chkEstCosts);
    layout->addStretch();
    return page;
}

QWidget *frmReportWizard::buildGroupPage(Page which)
{
    const bool users = which == PageUserGroups;
    auto *page = new QWidget;
    auto *all = captioned<QRadioButton>(
        page, users ? 447 : 445, users ? "optUsersAll" : "optPrintersAll");
    auto *selected
        = captioned<QRadioButton>(page, 446, users ? "optUsersSelected" : "optPrintersSelected");
    auto *list = new QListWidget(page);
    list->setObjectName(
        users ? QStringLiteral("lstUserGroups") : QStringLiteral("lstPrinterGroups"));
    QLabel *label = captioned(page, users ? 412 : 413, "lblCaption");
    SetAccessibleCaption(list, label->text());
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(label);
    layout->addWidget(all);
    layout->addWidget(selected);
    layout->addWidget(list, 1);
    connect(selected, &QRadioButton::toggled, list, &QWidget::setEnabled);
    if (users) {
        optUsersAll = all;
        optUsersSelected = selected;
        lstUserGroups = list;
    } else {
        optPrintersAll = all;
        optPrintersSelected = selected;
        lstPrinterGroups = list;
    }
    return page;
}

ReportPtr frmReportWizard::BuildReport(
    DataConnection *connection, qint32 companyId, bool simpleMode)
{
    return prepareBuild(connection, companyId, simpleMode) ? showPrepared() : nullptr;
}

ReportPtr frmReportWizard::EditReport(
    DataConnection *connection, ReportPtr report, qint32 companyId, bool simpleMode)
{
    return prepareEdit(connection, std::move(report), companyId, simpleMode) ? showPrepared()
                                                                             : nullptr;
}

ReportPtr frmReportWizard::showPrepared()
{
    // The normal pointer while the user works in the wizard, whatever the caller shows.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    exec();
    QApplication::restoreOverrideCursor();
    return m_result;
}

bool frmReportWizard::start(
    DataConnection *connection, qint32 companyId, bool simpleMode, bool edit)
{
    m_connection = connection;
    m_companyId = companyId;
    m_simple = simpleMode;
    m_edit = edit;
    m_result.reset();
    m_selected.reset();
    clearParameters();
    txtDescription->clear();
    setWindowTitle(GetLangString(edit ? 436 : 400));
    setAccessibleName(windowTitle());
    lblMajorHeading->setText(GetLangString(edit ? 437 : 434));
    cmdBuild->setText(GetLangString(edit ? 438 : 402));
    SetAccessibleCaption(cmdBuild, cmdBuild->text());
    cmdBuildSave->setVisible(!edit);
    m_estCostDefault = readEstCostDefault();
    for (QWidget *w : { static_cast<QWidget *>(chkFilter), static_cast<QWidget *>(chkGroup),
             static_cast<QWidget *>(chkEstCosts) })
        w->setVisible(!simpleMode);
    tabWizard->setTabVisible(PageUserGroups, simpleMode);
    tabWizard->setTabVisible(PagePrinterGroups, simpleMode);
    loadCatalogue();
    return !simpleMode || fillGroupLists(edit ? 439 : 435);
}

bool frmReportWizard::prepareBuild(DataConnection *connection, qint32 companyId, bool simpleMode)
{
    if (!start(connection, companyId, simpleMode, false))
        return false;
    tabWizard->setCurrentIndex(PageReport);
    updateStates();
    return true;
}

bool frmReportWizard::prepareEdit(
    DataConnection *connection, ReportPtr report, qint32 companyId, bool simpleMode)
{
    if (!report || !start(connection, companyId, simpleMode, true))
        return false;
    showReport(report);
    tabWizard->setCurrentIndex(PageOptions);
    updateStates();
    return true;
}

void frmReportWizard::loadCatalogue()
{
    CatalogueOptions options;
    options.excludeMustUseEstCosts = m_simple;
    if (m_connection)
        options.databaseType = m_connection->DatabaseType();
    m_catalogue.Load(options);

    const QSignalBlocker block(treReports);
    treReports->clear();
    QHash<QString, QTreeWidgetItem *> folders;
    const ReportList &reports = m_catalogue.Reports();
    for (int i = 1; i <= reports.count(); ++i) {
        const ReportPtr &report = *reports.item(i);
        QTreeWidgetItem *parent = nullptr;
        for (const CatalogueFolder &f : CatalogueFolders(report->TreePosition())) {
            QTreeWidgetItem *&node = folders[f.key.toCaseFolded()];
            if (!node) {
                node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(treReports);
                node->setText(0, f.text);
                node->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
                node->setData(0, Qt::UserRole, f.key);
                node->setExpanded(true);
            }
            parent = node;
        }
        auto *leaf = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(treReports);
        leaf->setText(0, report->DisplayName());
        leaf->setData(0, Qt::UserRole, reports.keyAt(i));
        leaf->setIcon(0, ChartPicture(*report));
        leaf->setToolTip(0, report->Description());
    }
    treReports->setCurrentItem(nullptr);
}

bool frmReportWizard::fillGroupLists(int failureMessage)
{
    lstUserGroups->clear();
    lstPrinterGroups->clear();
    DataResult e;
    RecordsetPtr users, printers;
    if (!m_connection)
        e = DataError(dataErrNotOpen, GetLangString(214, QString()));
    if (!e)
        e = DataSettings::GetAdminUserGroups(*m_connection, m_companyId, users);
    if (!e)
        e = DataSettings::GetAdminPrinterGroups(*m_connection, m_companyId, printers);
    if (e) {
        MsgBox(GetLangString(failureMessage, e->Description()), MsgIcon::Exclamation,
            MsgButtons::OK, Branding().ProductName());
        return false;
    }
    const auto fill = [](QListWidget *list, const RecordsetPtr &groups) {
        if (!groups)
            return;
        for (groups->MoveFirst(); !groups->Eof(); groups->MoveNext()) {
            auto *item
                = new QListWidgetItem(groups->Value(QStringLiteral("Name")).toString(), list);
            item->setData(Qt::UserRole, groups->Value(QStringLiteral("GroupId")).toInt());
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
    };
    fill(lstUserGroups, users);
    fill(lstPrinterGroups, printers);
    return true;
}

bool frmReportWizard::selectReport(const QString &name)
{
    const ReportList &reports = m_catalogue.Reports();
    for (QTreeWidgetItemIterator it(treReports); *it; ++it) {
        const ReportPtr *r = reports.item((*it)->data(0, Qt::UserRole).toString());
        if (r
            && ((*r)->Name().compare(name, Qt::CaseInsensitive) == 0
                || (*r)->DisplayName().compare(name, Qt::CaseInsensitive) == 0)) {
            treReports->setCurrentItem(*it);
            return true;
        }
    }
    return false;
}

void frmReportWizard::treeSelectionChanged()
{
    const QTreeWidgetItem *item = treReports->currentItem();
    const QString key = item ? item->data(0, Qt::UserRole).toString() : QString();
    if (!key.startsWith(QLatin1String("REPT")))
        return;
    const ReportPtr *report = m_catalogue.Reports().item(key);
    if (!report || *report == m_selected)
        return;
    // A catalogue report starts from its defaults, with the company of the window.
    ReportRunSettings defaults;
    defaults.companyId = m_companyId;
    QString ignored;
    ApplyRunSettings(**report, defaults, ignored);
    showReport(*report);
}

void frmReportWizard::showReport(const ReportPtr &report)
{
    clearParameters();
    m_selected = report;
    QString text = report->Description();
    if (!report->UsageHint().isEmpty())
        text += QStringLiteral("\n\n") + report->UsageHint();
    txtDescription->setPlainText(text);
    loadOptions(*report);
    updateStates();
}

void frmReportWizard::clearParameters()
{
    for (QLabel *l : std::as_const(lblParamLabel))
        delete l;
    for (const ParamInput &p : std::as_const(m_inputs))
        delete p.input;
    lblParamLabel.clear();
    txtParameter.clear();
    dtpParameter.clear();
    m_inputs.clear();
}

void frmReportWizard::buildParameters(clsReport &report)
{
    const ReportParametersPtr params = report.Parameters();
    for (int i = 1; params && i <= params->count(); ++i) {
        const clsReportParameter &p = **params->item(i);
        if (!p.Display() || p.ParameterType() == clsReportParameter::CompanyId)
            continue;
        QWidget *input = nullptr;
        if (p.ParameterType() == clsReportParameter::DateRange) {
            auto *dates = new ctlDateSelector(fraParameters);
            dates->setObjectName(QStringLiteral("dtpParameter%1").arg(dtpParameter.size()));
            const QVariant type = p.Value3();
            dates->SetDates(type.isValid() ? type.toInt() : int(clsDateSelector::ThisMonth),
                p.Value1().toDate(), p.Value2().toDate());
            dates->SetAccessibleCaption(p.Label());
            dtpParameter.append(dates);
            input = dates;
        } else if (p.ParameterType() == clsReportParameter::Number
            || p.ParameterType() == clsReportParameter::UserValue) {
            auto *edit = new QLineEdit(fraParameters);
            edit->setObjectName(QStringLiteral("txtParameter%1").arg(txtParameter.size()));
            edit->setText(p.Value1().toString());
            if (p.ParameterType() == clsReportParameter::Number)
                edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 12);
            SetAccessibleCaption(edit, p.Label());
            txtParameter.append(edit);
            input = edit;
        } else {
            MsgBox(GetLangString(431), MsgIcon::Critical, MsgButtons::OK, Branding().ProductName());
            continue;
        }
        auto *label = new QLabel(p.Label() + QLatin1Char(':'), fraParameters);
        label->setObjectName(QStringLiteral("lblParamLabel%1").arg(lblParamLabel.size()));
        label->setBuddy(input);
        SetAccessibleCaption(label, label->text());
        const int row = int(m_inputs.size());
        m_paramGrid->addWidget(label, row, 0);
        m_paramGrid->addWidget(input, row, 1);
        lblParamLabel.append(label);
        m_inputs.append({ i, input });
    }
    fraParameters->setVisible(!m_inputs.isEmpty());
}

void frmReportWizard::loadOptions(clsReport &report)
{
    txtTitle->setText(report.Title());
    txtSubTitle->setText(report.SubTitle());
    txtDecimals->setText(QString::number(report.NumDecimals()));
    buildParameters(report);

    // The first key of the current sort ("TotalPages DESC, UserName ASC") is the one shown.
    const QStringList firstKey
        = report.Sort().section(QLatin1Char(','), 0, 0).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString sortField = firstKey.value(0);
    const bool descending
        = firstKey.value(1).compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0;
    cmbSorting->clear();
    for (const ReportColPtr &col : report.Columns()) {
        if (col->Sortable())
            cmbSorting->addItem(col->SortName(), col->FieldName());
    }
    cmbSorting->setCurrentIndex(
        cmbSorting->findData(sortField, Qt::UserRole, Qt::MatchFixedString));
    (descending ? optSortDescending : optSortAscending)->setChecked(true);
    const bool sortable = cmbSorting->count() > 0;
    for (QWidget *w : { static_cast<QWidget *>(lblSorting), static_cast<QWidget *>(cmbSorting),
             static_cast<QWidget *>(optSortAscending), static_cast<QWidget *>(optSortDescending) })
        w->setVisible(sortable);

    chkFilter->setVisible(!m_simple && report.CanUseGroups());
    chkGroup->setVisible(!m_simple && report.CanUseGroups());
    chkFilter->setChecked(report.UseFilters());
    chkGroup->setChecked(report.UseGroups());
    m_estCostForced = report.MustUseEstCosts();
    chkEstCosts->setChecked(m_estCostForced || (m_edit ? report.UseEstCosts() : m_estCostDefault));
    chkEstCosts->setEnabled(!m_estCostForced);

    const auto tick = [](QListWidget *list, QRadioButton *all, QRadioButton *selected,
                          const clsSimpleGroups &groups) {
        for (int i = 0; i < list->count(); ++i) {
            QListWidgetItem *item = list->item(i);
            item->setCheckState(
                groups.Contains(item->data(Qt::UserRole).toInt()) ? Qt::Checked : Qt::Unchecked);
        }
        (groups.Count() == 0 ? all : selected)->setChecked(true);
        list->setEnabled(selected->isChecked());
    };
    tick(lstUserGroups, optUsersAll, optUsersSelected, report.SimpleUserGroups());
    tick(lstPrinterGroups, optPrintersAll, optPrintersSelected, report.SimplePrinterGroups());
}

int frmReportWizard::lastPage() const
{
    return m_simple ? PagePrinterGroups : PageOptions;
}

void frmReportWizard::updateStates()
{
    const bool chosen = m_selected != nullptr;
    tabWizard->setTabEnabled(PageReport, !m_edit);
    for (int page : { PageOptions, PageUserGroups, PagePrinterGroups })
        tabWizard->setTabEnabled(page, chosen);
    const int current = tabWizard->currentIndex();
    int first = PageReport;
    while (first < lastPage() && !tabWizard->isTabEnabled(first))
        ++first;
    cmdBack->setEnabled(current > first);
    cmdNext->setEnabled(current < lastPage() && tabWizard->isTabEnabled(current + 1));
    const bool ready = tabWizard->isTabEnabled(lastPage());
    cmdBuild->setEnabled(ready);
    cmdBuildSave->setEnabled(ready);
    if (current >= 0)
        lblMinorHeading->setText(GetLangString(440 + current));
}

void frmReportWizard::move(int step)
{
    for (int page = tabWizard->currentIndex() + step; page >= 0 && page < tabWizard->count();
         page += step) {
        if (tabWizard->isTabVisible(page) && tabWizard->isTabEnabled(page)) {
            tabWizard->setCurrentIndex(page);
            return;
        }
    }
}

void frmReportWizard::failOn(QWidget *input, int message, bool critical)
{
    MsgBox(GetLangString(message), critical ? MsgIcon::Critical : MsgIcon::Exclamation,
        MsgButtons::OK, Branding().ProductName());
    for (int page = 0; page < tabWizard->count(); ++page) {
        if (tabWizard->widget(page)->isAncestorOf(input))
            tabWizard->setCurrentIndex(page);
    }
    input->setFocus();
}

bool frmReportWizard::validateAndApply()
{
    clsReport &report = *m_selected;
    const ReportParametersPtr params = report.Parameters();
    for (const ParamInput &in : std::as_const(m_inputs)) {
        const clsReportParameter &p = **params->item(in.index);
        QString message;
        if (auto *dates = qobject_cast<ctlDateSelector *>(in.input)) {
            if (!dates->Validate(message)) {
                failOn(in.input, 426, true);
                return false;
            }
        } else if (!p.Validate(static_cast<QLineEdit *>(in.input)->text()).isEmpty()) {
            failOn(in.input, 426, true);
            return false;
        }
    }
    bool ok = false;
    const int decimals = txtDecimals->text().trimmed().toInt(&ok);
    if (!ok || decimals < 0 || decimals > 15) {
        failOn(txtDecimals, 427, false);
        return false;
    }
    report.SetTitle(txtTitle->text());
    report.SetSubTitle(txtSubTitle->text());
    report.SetNumDecimals(qint16(decimals));

    report.SimpleUserGroups().Clear();
    report.SimplePrinterGroups().Clear();
    if (m_simple) {
        const auto take = [](QRadioButton *selected, QListWidget *list, clsSimpleGroups &groups) {
            if (!selected->isChecked())
                return;
            for (int i = 0; i < list->count(); ++i) {
                if (list->item(i)->checkState() == Qt::Checked)
                    groups.Add(list->item(i)->data(Qt::UserRole).toInt());
            }
        };
        take(optUsersSelected, lstUserGroups, report.SimpleUserGroups());
        take(optPrintersSelected, lstPrinterGroups, report.SimplePrinterGroups());
        // Simple mode covers groups through the administration groups, never the analysis's.
        report.SetUseFilters(true);
        report.SetUseGroups(false);
        report.SetUseEstCosts(false);
    } else {
        report.SetUseFilters(chkFilter->isChecked());
        report.SetUseGroups(chkGroup->isChecked());
        report.SetUseEstCosts(chkEstCosts->isChecked());
    }
    if (cmbSorting->currentIndex() >= 0) {
        const QString field = cmbSorting->currentData().toString();
        const QString chosen = field
            + (optSortDescending->isChecked() ? QStringLiteral(" DESC") : QStringLiteral(" ASC"));
        // The definition's own sort stays, tie-breakers and all, while its first key is chosen.
        const QString firstKey = report.Sort().section(QLatin1Char(','), 0, 0).simplified();
        if (!field.isEmpty() && chosen.compare(firstKey, Qt::CaseInsensitive) != 0)
            report.SetSort(chosen);
    }

    for (const ParamInput &in : std::as_const(m_inputs)) {
        clsReportParameter &p = **params->item(in.index);
        if (auto *dates = qobject_cast<ctlDateSelector *>(in.input)) {
            QDate from, to;
            dates->GetDates(from, to);
            p.SetValue1(from);
            p.SetValue2(to);
            p.SetValue3(dates->DateSelect());
            continue;
        }
        const QString text = static_cast<QLineEdit *>(in.input)->text().trimmed();
        if (p.ParameterType() == clsReportParameter::UserValue) {
            p.SetValue1(text);
        } else if (text.isEmpty()) {
            p.SetValue1(QVariant());
        } else if (const auto n = clsReportParameter::ToNumber(text)) {
            p.SetValue1(storedNumber(*n));
        } else {
            failOn(in.input, 428, true);
            return false;
        }
    }

    if (!m_simple && !m_estCostForced && chkEstCosts->isChecked() != m_estCostDefault
        && MsgBox(GetLangString(429), MsgIcon::Exclamation, MsgButtons::YesNo,
               Branding().ProductName())
            == MsgAnswer::Yes) {
        m_estCostDefault = chkEstCosts->isChecked();
        clsRegistry reg;
        atReporterKey(reg);
        reg.setValueType(REG_DWORD);
        QString error;
        reg.SetCreateValue(EstCostValue, m_estCostDefault ? 1 : 0, false, error);
    }
    return true;
}

bool frmReportWizard::finish(bool save)
{
    if (!m_selected || !validateAndApply())
        return false;
    if (m_simple) {
        const auto noneTicked = [](QRadioButton *selected, QListWidget *list) {
            if (!selected->isChecked())
                return false;
            for (int i = 0; i < list->count(); ++i) {
                if (list->item(i)->checkState() == Qt::Checked)
                    return false;
            }
            return true;
        };
        for (QListWidget *list : { lstUserGroups, lstPrinterGroups }) {
            QRadioButton *selected = list == lstUserGroups ? optUsersSelected : optPrintersSelected;
            if (noneTicked(selected, list)) {
                failOn(list, 444, false);
                return false;
            }
        }
    }
    if (save) {
        frmSaveReport dialog(this);
        if (!dialog.SaveReport(*m_selected))
            return false;
    }
    m_result = m_selected;
    accept();
    return true;
}

} // namespace kv6
