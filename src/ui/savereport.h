#pragma once

// The dialog that names and stores a saved report or a proposal: the file name follows the name
// until the user edits it.

#include <QDialog>

class QLineEdit;
class QPushButton;
class QLabel;

namespace kv6 {

class clsReport;

// What the dialog needs of a proposal; the proposal model implements it.
class infSavableProposal
{
public:
    virtual ~infSavableProposal() = default;
    virtual QString Name() const = 0;
    virtual void SetName(const QString &name) = 0;
    virtual QString Description() const = 0;
    virtual void SetDescription(const QString &description) = 0;
    // Saves under the file name (with its extension) in the saved-reports folder; empty on
    // success, otherwise the message for the user.
    virtual QString SaveAs(const QString &fileName) = 0;
};

class frmSaveReport : public QDialog
{
    Q_OBJECT

public:
    explicit frmSaveReport(QWidget *parent = nullptr);

    // Modal; true when something was saved.
    bool SaveReport(clsReport &report);
    bool SaveProposal(infSavableProposal &proposal);

    // The steps of the modal calls, for callers that show the dialog themselves (and tests).
    void prepare(clsReport &report);
    void prepare(infSavableProposal &proposal);

    QLineEdit *txtName = nullptr;
    QLineEdit *txtDescription = nullptr;
    QLineEdit *txtFileName = nullptr;
    QPushButton *cmdSave = nullptr;
    QPushButton *cmdCancel = nullptr;

private:
    void nameEdited(const QString &name);
    void save();

    clsReport *m_report = nullptr;
    infSavableProposal *m_proposal = nullptr;
};

} // namespace kv6
