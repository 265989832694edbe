#include "dataaccess/datasourcedialog.h"

#include "base/dialogs.h"
#include "dataaccess/dataaccessglobal.h"
#include "dataaccess/dataconnection.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kv6 {

DataSourceDialog::DataSourceDialog(const DataSource &initial, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmDataSource"));
    setWindowTitle(tr("%1 - Data Source").arg(DataAccessGlobal::ProductName()));

    m_optSQLite = new QRadioButton(tr("&SQLite database file"), this);
    m_optSQLite->setObjectName(QStringLiteral("optSQLite"));
    m_txtFile = new QLineEdit(this);
    m_txtFile->setObjectName(QStringLiteral("txtFile"));
    // Room for a whole path of a database file in the user's folders.
    m_txtFile->setMinimumWidth(m_txtFile->fontMetrics().averageCharWidth() * 48);
    m_cmdBrowse = new QPushButton(tr("&Browse..."), this);
    m_cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(m_txtFile, 1);
    fileRow->addWidget(m_cmdBrowse);

    m_optPostgreSQL = new QRadioButton(tr("&PostgreSQL server"), this);
    m_optPostgreSQL->setObjectName(QStringLiteral("optPostgreSQL"));
    m_txtHost = new QLineEdit(this);
    m_txtHost->setObjectName(QStringLiteral("txtHost"));
    m_spnPort = new QSpinBox(this);
    m_spnPort->setObjectName(QStringLiteral("spnPort"));
    m_spnPort->setRange(1, 65535);
    m_txtDatabase = new QLineEdit(this);
    m_txtDatabase->setObjectName(QStringLiteral("txtDatabase"));
    m_txtUser = new QLineEdit(this);
    m_txtUser->setObjectName(QStringLiteral("txtUser"));
    m_txtPassword = new QLineEdit(this);
    m_txtPassword->setObjectName(QStringLiteral("txtPassword"));
    m_txtPassword->setEchoMode(QLineEdit::Password);
    m_txtSchema = new QLineEdit(this);
    m_txtSchema->setObjectName(QStringLiteral("txtSchema"));
    m_txtSchema->setPlaceholderText(tr("the database's default"));
    auto *server = new QFormLayout;
    server->addRow(tr("Ser&ver:"), m_txtHost);
    server->addRow(tr("P&ort:"), m_spnPort);
    server->addRow(tr("Data&base:"), m_txtDatabase);
    server->addRow(tr("&User name:"), m_txtUser);
    server->addRow(tr("Pass&word:"), m_txtPassword);
    server->addRow(tr("Sc&hema:"), m_txtSchema);

    m_cmdTest = new QPushButton(tr("&Test Connection"), this);
    m_cmdTest->setObjectName(QStringLiteral("cmdTest"));
    m_lblResult = new QLabel(this);
    m_lblResult->setObjectName(QStringLiteral("lblResult"));
    m_lblResult->setWordWrap(true);
    m_lblResult->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok
        = buttons->addButton(DialogText(5, QStringLiteral("OK")), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    QPushButton *cancel
        = buttons->addButton(DialogText(6, QStringLiteral("Cancel")), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_optSQLite);
    layout->addLayout(fileRow);
    layout->addSpacing(8);
    layout->addWidget(m_optPostgreSQL);
    layout->addLayout(server);
    auto *testRow = new QHBoxLayout;
    testRow->addWidget(m_cmdTest);
    testRow->addStretch(1);
    layout->addLayout(testRow);
    layout->addWidget(m_lblResult);
    layout->addStretch(1);
    layout->addWidget(buttons);

    if (initial.isSQLite()) {
        m_optSQLite->setChecked(true);
        m_txtFile->setText(initial.path);
        m_spnPort->setValue(5432);
    } else {
        m_optPostgreSQL->setChecked(true);
        m_txtHost->setText(initial.host);
        m_spnPort->setValue(initial.port);
        m_txtDatabase->setText(initial.database);
        m_txtUser->setText(initial.user);
        m_txtPassword->setText(initial.password);
        m_txtSchema->setText(initial.schema);
    }

    connect(m_optSQLite, &QRadioButton::toggled, this, &DataSourceDialog::updateEnabled);
    connect(m_cmdBrowse, &QPushButton::clicked, this, &DataSourceDialog::browse);
    connect(m_cmdTest, &QPushButton::clicked, this, [this] { testConnection(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &DataSourceDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &DataSourceDialog::reject);
    updateEnabled();
}

void DataSourceDialog::updateEnabled()
{
    const bool file = m_optSQLite->isChecked();
    m_txtFile->setEnabled(file);
    m_cmdBrowse->setEnabled(file);
    for (QWidget *w : { static_cast<QWidget *>(m_txtHost), static_cast<QWidget *>(m_spnPort),
             static_cast<QWidget *>(m_txtDatabase), static_cast<QWidget *>(m_txtUser),
             static_cast<QWidget *>(m_txtPassword), static_cast<QWidget *>(m_txtSchema) })
        w->setEnabled(!file);
    m_lblResult->clear();
}

void DataSourceDialog::browse()
{
    FileRequest request;
    request.caption = tr("Choose the Database File");
    const QFileInfo current(m_txtFile->text().trimmed());
    request.folder = current.fileName().isEmpty() ? QString() : current.absolutePath();
    request.fileName = current.fileName();
    request.filter = tr("Databases (*.db *.sqlite *.sqlite3);;All files (*)");
    const QString chosen = Dialogs().fileName(request);
    if (!chosen.isEmpty())
        m_txtFile->setText(chosen);
}

DataSource DataSourceDialog::source() const
{
    DataSource s;
    if (m_optSQLite->isChecked()) {
        s.type = DatabaseTypeSQLite;
        s.path = m_txtFile->text().trimmed();
        return s;
    }
    s.type = DatabaseTypePostgreSQL;
    s.host = m_txtHost->text().trimmed();
    s.port = m_spnPort->value();
    s.database = m_txtDatabase->text().trimmed();
    s.user = m_txtUser->text().trimmed();
    s.password = m_txtPassword->text();
    s.schema = m_txtSchema->text().trimmed();
    return s;
}

QString DataSourceDialog::validate() const
{
    const DataSource s = source();
    if (s.isSQLite())
        return s.path.isEmpty() ? tr("Please choose the database file.") : QString();
    if (s.host.isEmpty())
        return tr("Please enter the name of the PostgreSQL server.");
    if (s.database.isEmpty())
        return tr("Please enter the name of the database.");
    return {};
}

DataResult DataSourceDialog::testConnection()
{
    const QString missing = validate();
    if (!missing.isEmpty()) {
        m_lblResult->setText(missing);
        return DataError(dataErrInvalid, missing);
    }
    m_lblResult->setText(tr("Connecting..."));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::processEvents();
    // Read-only and without creating anything: a test must leave the database as it found it.
    DataConnection connection(source());
    connection.SetOption(true);
    DataResult e = connection.Open(false);
    if (!e) {
        QVariant version;
        e = connection.Setup(version);
    }
    QApplication::restoreOverrideCursor();
    if (e)
        m_lblResult->setText(tr("The connection failed: %1").arg(e->Description()));
    else
        m_lblResult->setText(tr("Connected to %1.").arg(connection.Description()));
    return e;
}

void DataSourceDialog::accept()
{
    const QString missing = validate();
    if (!missing.isEmpty()) {
        MsgBox(missing, MsgIcon::Exclamation, MsgButtons::OK, DataAccessGlobal::ProductName());
        return;
    }
    QString error;
    DataSource stored;
    if (!StoreDataSource(source(), error) || !ReadStoredDataSource(stored, error)) {
        MsgBox(tr("The connection could not be stored:\n%1").arg(error), MsgIcon::Exclamation,
            MsgButtons::OK, DataAccessGlobal::ProductName());
        return;
    }
    m_stored = stored;
    QDialog::accept();
}

} // namespace kv6
