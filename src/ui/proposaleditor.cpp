#include "ui/proposaleditor.h"

#include "base/clsregistry.h"
#include "base/dialogs.h"
#include "base/langstrings.h"
#include "base/localeinfo.h"
#include "dataaccess/datasettings.h"
#include "proposal/proposal.h"
#include "report/reportcatalogue.h"
#include "ui/ctldateselector.h"
#include "ui/savereport.h"

#include "captions_p.h"
#include "reportpicture_p.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kv6 {

namespace {

const char *const ReporterKey = "Software\\Korvane 6\\Reporter";

bool estCostsDefault()
{
    clsRegistry reg;
    reg.setClassKey(HKEY_CURRENT_USER);
    reg.setSectionKey(QLatin1String(ReporterKey));
    QString error;
    return reg.GetValueOrDefault(QStringLiteral("UseEstCost"), 0, error).toInt() != 0;
}

void storeEstCostsDefault(bool use)
{
    clsRegistry reg;
    reg.setClassKey(HKEY_CURRENT_USER);
    reg.setSectionKey(QLatin1String(ReporterKey));
    reg.setValueType(REG_DWORD);
    QString error;
    if (!reg.SetCreateValue(QStringLiteral("UseEstCost"), use ? -1 : 0, false, error))
        MsgBox(error, MsgIcon::Exclamation);
}

int dateRanges(const clsReport &report)
{
    int n = 0;
    const ReportParametersPtr params = report.Parameters();
    for (int i = 1; params && i <= params->count(); ++i)
        n += (*params->item(i))->ParameterType() == clsReportParameter::DateRange ? 1 : 0;
    return n;
}

// Digits only: the decimals box takes no sign and no separator.
class DigitsOnly : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            const QString text = key->text();
            if (!text.isEmpty() && text.at(0).isPrint()
                && FilterNumericKey(text.at(0).unicode(), false, false) == 0)
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

class SavableProposal : public infSavableProposal
{
public:
    explicit SavableProposal(clsProposal &p)
        : m_p(p)
    { }
    QString Name() const override { return m_p.Name(); }
    void SetName(const QString &name) override { m_p.SetName(name); }
    QString Description() const override { return m_p.Description(); }
    void SetDescription(const QString &text) override { m_p.SetDescription(text); }
    QString SaveAs(const QString &fileName) override
    {
        QString error;
        return m_p.SaveUserDefined(fileName, error) ? QString() : error;
    }

private:
    clsProposal &m_p;
};

template<typename W>
W *named(W *widget, const char *name, int caption = 0)
{
    return NameControl(widget, name, caption ? GetLangString(caption) : QString());
}

QPushButton *button(QWidget *parent, const char *name, int caption)
{
    auto *b = named(new QPushButton(GetLangString(caption), parent), name, caption);
    b->setAutoDefault(false);
    return b;
}

QCheckBox *checkBox(QWidget *parent, const char *name, int caption)
{
    return named(new QCheckBox(GetLangString(caption), parent), name, caption);
}

QRadioButton *option(QWidget *parent, const char *name, int caption)
{
    return named(new QRadioButton(GetLangString(caption), parent), name, caption);
}

// A line edit with its label; the label's mnemonic reaches the edit.
QLineEdit *labelled(QFormLayout *form, QWidget *parent, const char *name, int caption)
{
    auto *edit = named(new QLineEdit(parent), name, caption);
    auto *label = new QLabel(GetLangString(caption), parent);
    label->setBuddy(edit);
    form->addRow(label, edit);
    return edit;
}

} // namespace

frmProposal::frmProposal(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmProposal"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    lblMajorHeading = named(new QLabel(this), "lblMajorHeading");
    QFont big = lblMajorHeading->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.3);
    lblMajorHeading->setFont(big);
    lblMinorHeading = named(new QLabel(this), "lblMinorHeading");
    tabWizard = named(new QTabWidget(this), "tabWizard");

    // Page 1: the title page.
    auto *titlePage = new QWidget;
    auto *titleForm = new QFormLayout(titlePage);
    txtTitle = labelled(titleForm, titlePage, "txtTitle", 109);
    txtPreparedBy = labelled(titleForm, titlePage, "txtPreparedBy", 112);
    txtPreparedFor = labelled(titleForm, titlePage, "txtPreparedFor", 113);
    chkTitlePage = checkBox(titlePage, "chkTitlePage", 116);
    chkContents = checkBox(titlePage, "chkContents", 117);
    titleForm->addRow(chkTitlePage);
    titleForm->addRow(chkContents);
    tabWizard->addTab(titlePage, GetLangString(105));

    // Page 2: the reports.
    auto *reportsPage = new QWidget;
    auto *reportsLayout = new QHBoxLayout(reportsPage);
    for (int i = 0; i < 2; ++i) {
        auto *list = named(new QTreeWidget(reportsPage), i == 0 ? "lsvReports0" : "lsvReports1",
            i == 0 ? 114 : 115);
        list->setColumnCount(2);
        list->setHeaderLabels({ GetLangString(131), GetLangString(132) });
        list->setRootIsDecorated(false);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
        lsvReports[i] = list;
        auto *column = new QVBoxLayout;
        auto *label = new QLabel(GetLangString(i == 0 ? 114 : 115), reportsPage);
        label->setBuddy(list);
        column->addWidget(label);
        column->addWidget(list);
        if (i == 1) {
            auto *moves = new QHBoxLayout;
            cmdMoveReport[0] = button(reportsPage, "cmdMoveReport0", 146);
            cmdMoveReport[1] = button(reportsPage, "cmdMoveReport1", 147);
            moves->addWidget(cmdMoveReport[0]);
            moves->addWidget(cmdMoveReport[1]);
            moves->addStretch();
            column->addLayout(moves);
        }
        reportsLayout->addLayout(column, 1);
        if (i == 0) {
            auto *middle = new QVBoxLayout;
            cmdAdd = button(reportsPage, "cmdAdd", 142);
            cmdAddAll = button(reportsPage, "cmdAddAll", 143);
            cmdRemove = button(reportsPage, "cmdRemove", 144);
            cmdRemoveAll = button(reportsPage, "cmdRemoveAll", 145);
            middle->addStretch();
            for (QPushButton *b : { cmdAdd, cmdAddAll, cmdRemove, cmdRemoveAll })
                middle->addWidget(b);
            middle->addStretch();
            reportsLayout->addLayout(middle);
        }
    }
    tabWizard->addTab(reportsPage, GetLangString(106));

    // Page 3: the date range and the options.
    auto *optionsPage = new QWidget;
    auto *optionsForm = new QFormLayout(optionsPage);
    dteProposalRange = named(new ctlDateSelector(optionsPage), "dteProposalRange", 110);
    auto *rangeLabel = new QLabel(GetLangString(110), optionsPage);
    rangeLabel->setBuddy(dteProposalRange);
    optionsForm->addRow(rangeLabel, dteProposalRange);
    txtDecimals = labelled(optionsForm, optionsPage, "txtDecimals", 111);
    txtDecimals->setMaxLength(2);
    txtDecimals->installEventFilter(new DigitsOnly(txtDecimals));
    chkFilter = checkBox(optionsPage, "chkFilter", 118);
    chkGroup = checkBox(optionsPage, "chkGroup", 119);
    chkEstCosts = checkBox(optionsPage, "chkEstCosts", 120);
    for (QCheckBox *c : { chkFilter, chkGroup, chkEstCosts })
        optionsForm->addRow(c);
    tabWizard->addTab(optionsPage, GetLangString(107));

    // Page 4: administration groups, in simple mode.
    auto *groupsPage = new QWidget;
    auto *groupsLayout = new QHBoxLayout(groupsPage);
    const auto groupColumn
        = [&](const char *all, int allCaption, const char *selected, QRadioButton *&optAll,
              QRadioButton *&optSelected, QListWidget *&list, const char *listName) {
              auto *column = new QVBoxLayout;
              optAll = option(groupsPage, all, allCaption);
              optSelected = option(groupsPage, selected, 446);
              list = named(new QListWidget(groupsPage), listName, allCaption);
              list->setSelectionMode(QAbstractItemView::MultiSelection);
              auto *box = new QGroupBox(groupsPage);
              auto *inner = new QVBoxLayout(box);
              inner->addWidget(optAll);
              inner->addWidget(optSelected);
              inner->addWidget(list);
              column->addWidget(box);
              groupsLayout->addLayout(column);
              connect(optSelected, &QRadioButton::toggled, list, &QWidget::setEnabled);
              list->setEnabled(false);
          };
    groupColumn("optUsersAll", 447, "optUsersSelected", optUsersAll, optUsersSelected,
        lstUserGroups, "lstUserGroups");
    groupColumn("optPrintersAll", 445, "optPrintersSelected", optPrintersAll, optPrintersSelected,
        lstPrinterGroups, "lstPrinterGroups");
    tabWizard->addTab(groupsPage, GetLangString(108));

    cmdBack = button(this, "cmdBack", 100);
    cmdNext = button(this, "cmdNext", 101);
    cmdCancel = button(this, "cmdCancel", 102);
    cmdBuild = button(this, "cmdBuild", 103);
    cmdBuildSave = button(this, "cmdBuildSave", 104);
    cmdBuild->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdBack);
    buttons->addWidget(cmdNext);
    buttons->addStretch();
    buttons->addWidget(cmdBuild);
    buttons->addWidget(cmdBuildSave);
    buttons->addWidget(cmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblMajorHeading);
    layout->addWidget(lblMinorHeading);
    layout->addWidget(tabWizard, 1);
    layout->addLayout(buttons);
    resize(760, 520);

    connect(cmdBack, &QPushButton::clicked, this, [this] { showPage(tabWizard->currentIndex()); });
    connect(
        cmdNext, &QPushButton::clicked, this, [this] { showPage(tabWizard->currentIndex() + 2); });
    connect(
        tabWizard, &QTabWidget::currentChanged, this, [this](int index) { showPage(index + 1); });
    connect(cmdAdd, &QPushButton::clicked, this, [this] { moveSelected(0, false); });
    connect(cmdAddAll, &QPushButton::clicked, this, [this] { moveSelected(0, true); });
    connect(cmdRemove, &QPushButton::clicked, this, [this] { moveSelected(1, false); });
    connect(cmdRemoveAll, &QPushButton::clicked, this, [this] { moveSelected(1, true); });
    connect(cmdMoveReport[0], &QPushButton::clicked, this, [this] { moveReport(-1); });
    connect(cmdMoveReport[1], &QPushButton::clicked, this, [this] { moveReport(1); });
    connect(lsvReports[1], &QTreeWidget::itemSelectionChanged, this, &frmProposal::updateButtons);
    connect(
        lsvReports[0], &QTreeWidget::itemDoubleClicked, this, [this] { moveSelected(0, false); });
    connect(
        lsvReports[1], &QTreeWidget::itemDoubleClicked, this, [this] { moveSelected(1, false); });
    connect(cmdBuild, &QPushButton::clicked, this, [this] { build(false); });
    connect(cmdBuildSave, &QPushButton::clicked, this, [this] { build(true); });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

frmProposal::~frmProposal() = default;

std::shared_ptr<clsProposal> frmProposal::BuildProposal(
    DataConnection *connection, qint32 companyId, bool simpleMode)
{
    if (!prepare(connection, nullptr, companyId, simpleMode))
        return nullptr;
    exec();
    return m_result;
}

std::shared_ptr<clsProposal> frmProposal::EditProposal(DataConnection *connection,
    std::shared_ptr<clsProposal> proposal, qint32 companyId, bool simpleMode)
{
    if (!proposal || !prepare(connection, std::move(proposal), companyId, simpleMode))
        return nullptr;
    exec();
    return m_result;
}

bool frmProposal::loadCatalogue()
{
    m_catalogue.clear();
    for (QTreeWidget *list : lsvReports)
        list->clear();
    CatalogueOptions options;
    options.excludeMustUseEstCosts = m_simpleMode;
    options.reportFailures = false;
    ReportCatalogue catalogue;
    catalogue.Load(options);
    for (const ReportPtr &report : catalogue.Reports()) {
        if (dateRanges(*report) >= 2 || m_catalogue.exists(report->Name()))
            continue;
        m_catalogue.add(report, report->Name());
        auto *item
            = new QTreeWidgetItem(lsvReports[0], { report->DisplayName(), report->Description() });
        item->setData(0, Qt::UserRole, report->Name());
        item->setIcon(0, ChartPicture(*report));
    }
    return !m_catalogue.isEmpty();
}

bool frmProposal::prepare(DataConnection *connection, std::shared_ptr<clsProposal> proposal,
    qint32 companyId, bool simpleMode)
{
    const bool editing = proposal != nullptr;
    m_result.reset();
    m_proposal = editing ? std::move(proposal) : std::make_shared<clsProposal>();
    m_companyId = companyId;
    m_simpleMode = simpleMode;
    m_estCostsDefault = estCostsDefault();
    if (!loadCatalogue()) {
        MsgBox(GetLangString(editing ? 138 : 134), MsgIcon::Exclamation);
        return false;
    }
    setWindowTitle(GetLangString(editing ? 135 : 133));
    lblMajorHeading->setText(GetLangString(editing ? 136 : 121));
    cmdBuild->setText(GetLangString(editing ? 137 : 103));
    SetAccessibleCaption(cmdBuild, cmdBuild->text());
    cmdBuildSave->setVisible(!editing);

    const clsProposal &p = *m_proposal;
    if (editing) {
        txtTitle->setText(p.Title());
        txtPreparedBy->setText(p.PreparedBy());
        txtPreparedFor->setText(p.PreparedFor());
        txtDecimals->setText(QString::number(p.NumDecimals()));
        chkTitlePage->setChecked(p.CreateTitlePage());
        chkContents->setChecked(p.CreateTableContents());
        dteProposalRange->SetDates(p.DateSelectType(), p.FromDate(), p.ToDate());
        // A report whose definition has left the catalogue is left out.
        for (const ReportPtr &report : p.Reports())
            moveEntry(1, report->Name());
    } else {
        for (const QString &name : DefaultAnalysisSet())
            moveEntry(1, name);
        const ProposalTitleTexts remembered = RememberedTitleTexts();
        txtTitle->setText(remembered.title);
        txtPreparedBy->setText(remembered.preparedBy);
        txtPreparedFor->setText(remembered.preparedFor);
        chkTitlePage->setChecked(true);
        chkContents->setChecked(true);
        txtDecimals->setText(QString::number(DataSettings::DefaultDecimals()));
        dteProposalRange->SetDates(p.DateSelectType(), p.FromDate(), p.ToDate());
    }
    if (simpleMode) {
        chkFilter->setChecked(true);
        chkGroup->setChecked(true);
        chkEstCosts->setChecked(m_estCostsDefault);
    } else if (editing) {
        chkFilter->setChecked(p.UseFilters());
        chkGroup->setChecked(p.UseGroups());
        chkEstCosts->setChecked(p.UseEstCosts());
    } else {
        chkFilter->setChecked(true);
        chkGroup->setChecked(true);
        chkEstCosts->setChecked(m_estCostsDefault);
    }
    for (QCheckBox *c : { chkFilter, chkGroup, chkEstCosts })
        c->setEnabled(!simpleMode);
    fillGroups(simpleMode ? connection : nullptr);
    tabWizard->widget(3)->setEnabled(simpleMode);
    showPage(1);
    return true;
}

void frmProposal::fillGroups(DataConnection *connection)
{
    const auto fill = [&](QListWidget *list, QRadioButton *all, QRadioButton *selected,
                          const clsSimpleGroups &chosen, bool printers) {
        list->clear();
        RecordsetPtr groups;
        if (connection) {
            const DataResult e = printers
                ? DataSettings::GetAdminPrinterGroups(*connection, m_companyId, groups)
                : DataSettings::GetAdminUserGroups(*connection, m_companyId, groups);
            if (e)
                MsgBox(e->Description(), MsgIcon::Exclamation);
        }
        for (int r = 0; groups && r < groups->RecordCount(); ++r) {
            const qint32 id
                = groups->ValueAt(r, groups->FieldIndex(QStringLiteral("GroupId"))).toInt();
            auto *item = new QListWidgetItem(
                groups->ValueAt(r, groups->FieldIndex(QStringLiteral("Name"))).toString(), list);
            item->setData(Qt::UserRole, id);
            item->setSelected(chosen.Contains(id));
        }
        (chosen.Count() > 0 ? selected : all)->setChecked(true);
        list->setEnabled(selected->isChecked());
    };
    fill(lstUserGroups, optUsersAll, optUsersSelected, m_proposal->SimpleUserGroups(), false);
    fill(lstPrinterGroups, optPrintersAll, optPrintersSelected, m_proposal->SimplePrinterGroups(),
        true);
}

void frmProposal::showPage(int page)
{
    page = std::clamp(page, 1, 4);
    tabWizard->setCurrentIndex(page - 1);
    // The options page keeps the heading of the page before it.
    const int heading[] = { 139, 140, 0, 141 };
    if (heading[page - 1])
        lblMinorHeading->setText(GetLangString(heading[page - 1]));
    updateButtons();
}

void frmProposal::moveEntry(int to, const QString &name)
{
    QTreeWidget *source = lsvReports[1 - to];
    for (int i = 0; i < source->topLevelItemCount(); ++i) {
        if (source->topLevelItem(i)
                ->data(0, Qt::UserRole)
                .toString()
                .compare(name, Qt::CaseInsensitive)
            == 0) {
            lsvReports[to]->addTopLevelItem(source->takeTopLevelItem(i));
            return;
        }
    }
}

void frmProposal::moveSelected(int from, bool all)
{
    QTreeWidget *source = lsvReports[from];
    QStringList names;
    for (int i = 0; i < source->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = source->topLevelItem(i);
        if (all || item->isSelected())
            names << item->data(0, Qt::UserRole).toString();
    }
    for (const QString &name : std::as_const(names))
        moveEntry(1 - from, name);
    for (QTreeWidget *list : lsvReports)
        list->clearSelection();
    updateButtons();
}

void frmProposal::moveReport(int step)
{
    QTreeWidget *list = lsvReports[1];
    const QList<QTreeWidgetItem *> selected = list->selectedItems();
    if (selected.size() != 1)
        return;
    const int from = list->indexOfTopLevelItem(selected.first());
    const int to = from + step;
    if (to < 0 || to >= list->topLevelItemCount())
        return;
    QTreeWidgetItem *item = list->takeTopLevelItem(from);
    list->insertTopLevelItem(to, item);
    list->clearSelection();
    item->setSelected(true);
    list->setCurrentItem(item);
    updateButtons();
}

void frmProposal::updateButtons()
{
    const int page = tabWizard->currentIndex() + 1;
    cmdBack->setEnabled(page > 1);
    cmdNext->setEnabled(page < 4);
    QTreeWidget *list = lsvReports[1];
    const QList<QTreeWidgetItem *> selected = list->selectedItems();
    const int at = selected.size() == 1 ? list->indexOfTopLevelItem(selected.first()) : -1;
    cmdMoveReport[0]->setEnabled(at > 0);
    cmdMoveReport[1]->setEnabled(at >= 0 && at < list->topLevelItemCount() - 1);
}

bool frmProposal::validate()
{
    const auto refuse = [&](int message, int page, QWidget *focus) {
        MsgBox(GetLangString(message), MsgIcon::Exclamation);
        showPage(page);
        if (focus)
            focus->setFocus();
        return false;
    };
    if (chkTitlePage->isChecked()) {
        if (txtTitle->text().trimmed().isEmpty())
            return refuse(125, 1, txtTitle);
        if (txtPreparedBy->text().trimmed().isEmpty())
            return refuse(126, 1, txtPreparedBy);
        if (txtPreparedFor->text().trimmed().isEmpty())
            return refuse(127, 1, txtPreparedFor);
    }
    bool whole = false;
    const int decimals = txtDecimals->text().trimmed().toInt(&whole);
    if (!whole || decimals < 2 || decimals > 4)
        return refuse(128, 3, txtDecimals);
    if (lsvReports[1]->topLevelItemCount() == 0)
        return refuse(129, 2, lsvReports[1]);
    if (m_simpleMode
        && ((optPrintersSelected->isChecked() && lstPrinterGroups->selectedItems().isEmpty())
            || (optUsersSelected->isChecked() && lstUserGroups->selectedItems().isEmpty())))
        return refuse(444, 4, nullptr);
    QString message;
    if (!dteProposalRange->Validate(message)) {
        MsgBox(message, MsgIcon::Exclamation);
        showPage(3);
        return false;
    }
    return true;
}

void frmProposal::build(bool save)
{
    if (!validate())
        return;
    if (chkEstCosts->isChecked() != m_estCostsDefault
        && MsgBox(GetLangString(130), MsgIcon::Exclamation, MsgButtons::YesNo) == MsgAnswer::Yes) {
        m_estCostsDefault = chkEstCosts->isChecked();
        storeEstCostsDefault(m_estCostsDefault);
    }

    clsProposal &p = *m_proposal;
    p.SetTitle(txtTitle->text());
    p.SetPreparedBy(txtPreparedBy->text());
    p.SetPreparedFor(txtPreparedFor->text());
    p.SetNumDecimals(qint16(txtDecimals->text().trimmed().toInt()));
    QDate from, to;
    dteProposalRange->GetDates(from, to);
    p.SetFromDate(from);
    p.SetToDate(to);
    p.SetDateSelectType(dteProposalRange->DateSelect());
    ReportList reports;
    for (int i = 0; i < lsvReports[1]->topLevelItemCount(); ++i) {
        const QString name = lsvReports[1]->topLevelItem(i)->data(0, Qt::UserRole).toString();
        if (const ReportPtr *report = m_catalogue.item(name))
            reports.add(*report, name);
    }
    p.SetReports(std::move(reports));
    p.SetUseEstCosts(chkEstCosts->isChecked());
    p.SetUseFilters(chkFilter->isChecked());
    p.SetUseGroups(chkGroup->isChecked());
    p.SetCreateTableContents(chkContents->isChecked());
    p.SetCreateTitlePage(chkTitlePage->isChecked());
    if (m_simpleMode) {
        const auto take = [](QListWidget *list, QRadioButton *selected, clsSimpleGroups &groups) {
            groups.Clear();
            if (!selected->isChecked())
                return;
            for (int i = 0; i < list->count(); ++i) {
                if (list->item(i)->isSelected())
                    groups.Add(list->item(i)->data(Qt::UserRole).toInt());
            }
        };
        take(lstUserGroups, optUsersSelected, p.SimpleUserGroups());
        take(lstPrinterGroups, optPrintersSelected, p.SimplePrinterGroups());
    }
    for (const ReportPtr &report : p.Reports())
        p.PrepareReport(*report, m_companyId, true);

    if (save) {
        frmSaveReport dialog(this);
        SavableProposal savable(p);
        if (!dialog.SaveProposal(savable))
            return;
    }
    RememberTitleTexts({ p.Title(), p.PreparedBy(), p.PreparedFor() });
    m_result = m_proposal;
    accept();
}

} // namespace kv6
