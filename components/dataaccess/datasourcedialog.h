#pragma once

// The data-source dialog: a SQLite database file or a PostgreSQL server (host, port, database,
// user, password and an optional schema), a test of the connection that never writes, and OK,
// which stores the choice in the user's registry store (see datasource.h).

#include "dataaccess/dataerror.h"
#include "dataaccess/datasource.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace kv6 {

class DataSourceDialog : public QDialog
{
    Q_OBJECT
public:
    explicit DataSourceDialog(const DataSource &initial, QWidget *parent = nullptr);

    // The source the fields describe now.
    DataSource source() const;
    // What the fields lack, or "" when they are complete.
    QString validate() const;
    // Opens the source read-only and checks its schema; the outcome is shown in the dialog too.
    DataResult testConnection();
    // After OK: the source as it was stored (and as the configured connection reads it back).
    DataSource storedSource() const { return m_stored; }

    void accept() override;

private:
    void updateEnabled();
    void browse();

    QRadioButton *m_optSQLite;
    QRadioButton *m_optPostgreSQL;
    QLineEdit *m_txtFile;
    QPushButton *m_cmdBrowse;
    QLineEdit *m_txtHost;
    QSpinBox *m_spnPort;
    QLineEdit *m_txtDatabase;
    QLineEdit *m_txtUser;
    QLineEdit *m_txtPassword;
    QLineEdit *m_txtSchema;
    QPushButton *m_cmdTest;
    QLabel *m_lblResult;
    DataSource m_stored;
};

} // namespace kv6
