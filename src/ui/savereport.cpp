#include "ui/savereport.h"

#include "base/dialogs.h"
#include "base/langstrings.h"
#include "base/validation.h"
#include "captions_p.h"
#include "report/report.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv6 {

namespace {
QLineEdit *lineEdit(QWidget *parent, const char *name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}
} // namespace

frmSaveReport::frmSaveReport(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSaveReport"));
    setWindowTitle(GetLangString(500));
    txtName = lineEdit(this, "txtName");
    txtDescription = lineEdit(this, "txtDescription");
    txtFileName = lineEdit(this, "txtFileName");
    auto *form = new QFormLayout;
    form->addRow(GetLangString(501), txtName);
    form->addRow(GetLangString(502), txtDescription);
    form->addRow(GetLangString(503), txtFileName);
    SetAccessibleCaption(txtName, GetLangString(501));
    SetAccessibleCaption(txtDescription, GetLangString(502));
    SetAccessibleCaption(txtFileName, GetLangString(503));
    txtName->setMinimumWidth(320);

    auto *buttons = new QDialogButtonBox(this);
    cmdSave = buttons->addButton(GetLangString(504), QDialogButtonBox::AcceptRole);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdSave->setDefault(true);
    cmdCancel = buttons->addButton(GetLangString(505), QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    SetAccessibleCaption(cmdSave, cmdSave->text());
    SetAccessibleCaption(cmdCancel, cmdCancel->text());

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(txtName, &QLineEdit::textEdited, this, &frmSaveReport::nameEdited);
    connect(cmdSave, &QPushButton::clicked, this, &frmSaveReport::save);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmSaveReport::prepare(clsReport &report)
{
    m_report = &report;
    m_proposal = nullptr;
    setWindowTitle(GetLangString(500));
    txtName->setText(report.Caption());
    txtDescription->setText(report.Description());
    nameEdited(txtName->text());
}

void frmSaveReport::prepare(infSavableProposal &proposal)
{
    m_proposal = &proposal;
    m_report = nullptr;
    setWindowTitle(GetLangString(508));
    txtName->setText(proposal.Name());
    txtDescription->setText(proposal.Description());
    nameEdited(txtName->text());
}

bool frmSaveReport::SaveReport(clsReport &report)
{
    prepare(report);
    return exec() == QDialog::Accepted;
}

bool frmSaveReport::SaveProposal(infSavableProposal &proposal)
{
    prepare(proposal);
    return exec() == QDialog::Accepted;
}

void frmSaveReport::nameEdited(const QString &name)
{
    txtFileName->setText(MakeValidFileName(name, QStringLiteral("_")));
}

void frmSaveReport::save()
{
    const QString name = txtName->text().trimmed();
    if (name.isEmpty()) {
        MsgBox(GetLangString(506), MsgIcon::Exclamation);
        txtName->setFocus();
        return;
    }
    const QString fileName = txtFileName->text().trimmed();
    if (fileName.isEmpty()) {
        MsgBox(GetLangString(507), MsgIcon::Exclamation);
        txtFileName->setFocus();
        return;
    }
    QString message;
    if (m_proposal) {
        m_proposal->SetName(name);
        m_proposal->SetDescription(txtDescription->text());
        message = m_proposal->SaveAs(fileName + QStringLiteral(".prp"));
    } else if (m_report) {
        m_report->SetDisplayName(name);
        m_report->SetDescription(txtDescription->text());
        message = m_report->SaveUserDefined(fileName + QStringLiteral(".rpt"));
    }
    if (!message.isEmpty()) {
        MsgBox(message, MsgIcon::Exclamation);
        return;
    }
    accept();
}

} // namespace kv6
