#include "base/dialogs.h"
#include "base/langstrings.h"
#include "dataaccess/admingroupeditor.h"
#include "dataaccess/dataaccessglobal.h"
#include "dataaccess/datasettings.h"
#include "dataaccess/datasourcedialog.h"
#include "enginetest.h"
#include "testscopes.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

using namespace kv6;

namespace {

template<typename T>
T *child(QWidget *w, const char *name)
{
    T *found = w->findChild<T *>(QString::fromLatin1(name));
    EXPECT_TRUE(found) << name;
    return found;
}

void setText(QWidget *w, const char *name, const QString &text)
{
    QLineEdit *edit = child<QLineEdit>(w, name);
    edit->clear();
    QTest::keyClicks(edit, text);
}

QStringList texts(const QListWidget *list)
{
    QStringList out;
    for (int row = 0; row < list->count(); ++row)
        out << list->item(row)->text();
    return out;
}

void selectTexts(QListWidget *list, const QStringList &wanted)
{
    list->clearSelection();
    for (int row = 0; row < list->count(); ++row)
        if (wanted.contains(list->item(row)->text()))
            list->item(row)->setSelected(true);
}

QString resultText(QWidget *dialog)
{
    return child<QLabel>(dialog, "lblResult")->text();
}

} // namespace

// The dialog on each engine: the test of a good source succeeds, of a broken one fails and says
// why; neither writes.
class DataSourceDialogTest : public kv6test::EngineTest
{
};
KV6_ENGINES(DataSourceDialogTest);

TEST_P(DataSourceDialogTest, TestConnectionReportsBothWays)
{
    openFresh();
    connection.reset();
    DataSourceDialog dialog(source);
    dialog.show();
    EXPECT_EQ(child<QRadioButton>(&dialog, "optSQLite")->isChecked(), isSQLite());
    EXPECT_EQ(child<QLineEdit>(&dialog, "txtHost")->isEnabled(), !isSQLite());
    child<QPushButton>(&dialog, "cmdTest")->click();
    EXPECT_TRUE(resultText(&dialog).startsWith(QStringLiteral("Connected to ")))
        << resultText(&dialog).toStdString();
    EXPECT_TRUE(resultText(&dialog).contains(QStringLiteral("schema version")));

    // Why a source cannot be opened, and that it is left alone, is the connection's to show
    // (connection_test.cpp); here, that the test says it and creates nothing.
    if (isSQLite()) {
        const QString missing = env.path(QStringLiteral("none/print.db"));
        setText(&dialog, "txtFile", missing);
        EXPECT_TRUE(dialog.testConnection());
        EXPECT_TRUE(resultText(&dialog).contains(missing));
        EXPECT_FALSE(QFile::exists(missing));
    } else {
        // A schema that is not there is reported, not created.
        setText(&dialog, "txtSchema", QStringLiteral("no_such_schema"));
        EXPECT_TRUE(dialog.testConnection());
        EXPECT_TRUE(resultText(&dialog).contains(QStringLiteral("schema does not exist")));
        EXPECT_FALSE(kv6test::rawExec(source,
            { QStringLiteral("SET search_path TO no_such_schema"),
                QStringLiteral("CREATE TABLE t (x int)") }));
    }
}

class DataSourceDialogStore : public ::testing::Test
{
protected:
    kv6test::TempEnv env;
    ScriptedDialogs scripted;
    ScopedDialogProvider guard { &scripted };
};

TEST_F(DataSourceDialogStore, OkStoresWhatTheFieldsSay)
{
    DataSourceDialog dialog(DefaultDataSource());
    dialog.show();
    child<QRadioButton>(&dialog, "optPostgreSQL")->click();
    EXPECT_FALSE(child<QLineEdit>(&dialog, "txtFile")->isEnabled());
    EXPECT_EQ(child<QSpinBox>(&dialog, "spnPort")->value(), 5432);

    // Incomplete: a message, the dialog stays and nothing is stored.
    scripted.messageAnswers << MsgAnswer::OK;
    setText(&dialog, "txtHost", QStringLiteral("db.acme.example"));
    child<QPushButton>(&dialog, "cmdOK")->click();
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.messages[0].text, QStringLiteral("Please enter the name of the database."));
    EXPECT_TRUE(dialog.isVisible());
    DataSource stored;
    QString error;
    EXPECT_FALSE(ReadStoredDataSource(stored, error));

    setText(&dialog, "txtDatabase", QStringLiteral("tracking"));
    setText(&dialog, "txtUser", QStringLiteral("reports"));
    setText(&dialog, "txtPassword", QStringLiteral("s3cret pw"));
    child<QSpinBox>(&dialog, "spnPort")->setValue(6432);
    child<QPushButton>(&dialog, "cmdOK")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_TRUE(ReadStoredDataSource(stored, error)) << error.toStdString();
    EXPECT_EQ(stored.type, DatabaseTypePostgreSQL);
    EXPECT_EQ(stored.host, QStringLiteral("db.acme.example"));
    EXPECT_EQ(stored.port, 6432);
    EXPECT_EQ(stored.password, QStringLiteral("s3cret pw"));
    EXPECT_EQ(dialog.storedSource().toUrl(true), stored.toUrl(true));
    EXPECT_EQ(scripted.unexpected, 0);
}

TEST_F(DataSourceDialogStore, BrowseFillsTheFile)
{
    DataSource s;
    s.path = env.path(QStringLiteral("data/old.db"));
    DataSourceDialog dialog(s);
    scripted.fileAnswers << env.path(QStringLiteral("chosen.db"));
    child<QPushButton>(&dialog, "cmdBrowse")->click();
    ASSERT_EQ(scripted.files.size(), 1);
    EXPECT_FALSE(scripted.files[0].save);
    EXPECT_EQ(scripted.files[0].fileName, QStringLiteral("old.db"));
    EXPECT_EQ(child<QLineEdit>(&dialog, "txtFile")->text(), env.path(QStringLiteral("chosen.db")));
    // A cancelled choice keeps the file.
    scripted.fileAnswers << QString();
    child<QPushButton>(&dialog, "cmdBrowse")->click();
    EXPECT_EQ(child<QLineEdit>(&dialog, "txtFile")->text(), env.path(QStringLiteral("chosen.db")));
}

TEST_F(DataSourceDialogStore, ShownForAConnectionRepointsIt)
{
    DataSource first;
    first.path = env.path(QStringLiteral("first.db"));
    first.createIfMissing = true;
    QVariant version;
    std::unique_ptr<DataConnection> c;
    ASSERT_FALSE(OpenDataConnection(first, false, version, c));
    const QString second = env.path(QStringLiteral("second.db"));

    auto answer = [](bool ok, const QString &file) {
        QTimer::singleShot(0, [=] {
            auto *dialog = qobject_cast<DataSourceDialog *>(QApplication::activeModalWidget());
            ASSERT_TRUE(dialog);
            if (!ok) {
                dialog->reject();
                return;
            }
            setText(dialog, "txtFile", file);
            child<QPushButton>(dialog, "cmdOK")->click();
        });
    };
    answer(false, second);
    EXPECT_FALSE(DataAccessGlobal::ShowDataSourceDialog(c.get()));
    EXPECT_EQ(c->Source().path, first.path);
    EXPECT_TRUE(c->IsOpen());

    answer(true, second);
    EXPECT_TRUE(DataAccessGlobal::ShowDataSourceDialog(c.get()));
    EXPECT_EQ(c->Source().path, second);
    EXPECT_FALSE(c->IsOpen());
    DataSource stored;
    QString error;
    ASSERT_TRUE(ReadStoredDataSource(stored, error));
    EXPECT_EQ(stored.path, second);
    // Not the default file, so it is not made on first use.
    EXPECT_TRUE(c->Open(false));
    EXPECT_FALSE(QFile::exists(second));
}

class AdminGroupEditorTest : public kv6test::SuiteTest
{
protected:
    // The program's own table, as the editor shows it inside the program.
    kv6test::ShippedLanguage language;
    ScriptedDialogs scripted;
    ScopedDialogProvider guard { &scripted };
};
KV6_ENGINES(AdminGroupEditorTest);

TEST_P(AdminGroupEditorTest, CreateFillRenameEmptyAndDeleteAPrinterGroup)
{
    AdminGroupEditor editor(*connection, AdminObjectPrinter, 1);
    editor.show();
    auto *groups = child<QListWidget>(&editor, "lstGroups");
    auto *members = child<QListWidget>(&editor, "lstMembers");
    auto *available = child<QListWidget>(&editor, "lstAvailable");
    EXPECT_EQ(groups->count(), 0);
    EXPECT_FALSE(child<QPushButton>(&editor, "cmdDelete")->isEnabled());

    setText(&editor, "txtName", QStringLiteral("Second floor"));
    child<QPushButton>(&editor, "cmdNew")->click();
    EXPECT_EQ(texts(groups), QStringList { QStringLiteral("Second floor") });
    const int id = editor.currentGroupId();
    ASSERT_GT(id, 0);
    // Acme's printers and devices; Birch's Lobby is not offered.
    EXPECT_EQ(texts(available),
        QStringList({ QStringLiteral("back office"), QStringLiteral("Front"),
            QStringLiteral("Copier 2F"), QStringLiteral("MFD 3F") }));

    selectTexts(available, { QStringLiteral("Front"), QStringLiteral("Copier 2F") });
    child<QPushButton>(&editor, "cmdAdd")->click();
    EXPECT_EQ(
        texts(members), QStringList({ QStringLiteral("Copier 2F"), QStringLiteral("Front") }));
    EXPECT_EQ(available->count(), 2);
    AdminGroup group;
    ASSERT_FALSE(DataSettings::LoadAdminGroup(*connection, id, group));
    EXPECT_EQ(group.MemberCount(), 2);
    EXPECT_EQ(group.CompanyId(), 1);

    setText(&editor, "txtName", QStringLiteral("Floor 2"));
    child<QPushButton>(&editor, "cmdRename")->click();
    EXPECT_EQ(texts(groups), QStringList { QStringLiteral("Floor 2") });

    selectTexts(members, { QStringLiteral("Front") });
    child<QPushButton>(&editor, "cmdRemove")->click();
    EXPECT_EQ(texts(members), QStringList { QStringLiteral("Copier 2F") });

    // Declining the question keeps the group; agreeing removes it with its members.
    scripted.messageAnswers << MsgAnswer::No << MsgAnswer::Yes;
    child<QPushButton>(&editor, "cmdDelete")->click();
    EXPECT_EQ(groups->count(), 1);
    child<QPushButton>(&editor, "cmdDelete")->click();
    EXPECT_EQ(groups->count(), 0);
    EXPECT_EQ(members->count(), 0);
    EXPECT_EQ(scripted.unexpected, 0);
}

TEST_P(AdminGroupEditorTest, RefusedNamesAreShownAndChangeNothing)
{
    const int existing
        = kv6test::addAdminGroup(*connection, AdminObjectUser, QStringLiteral("Staff"), 1);
    AdminGroupEditor editor(*connection, AdminObjectUser, 1);
    auto *groups = child<QListWidget>(&editor, "lstGroups");
    EXPECT_EQ(editor.currentGroupId(), existing);
    EXPECT_EQ(child<QLineEdit>(&editor, "txtName")->text(), QStringLiteral("Staff"));

    scripted.messageAnswers << MsgAnswer::OK << MsgAnswer::OK;
    setText(&editor, "txtName", QStringLiteral("staff"));
    EXPECT_TRUE(editor.createGroup());
    setText(&editor, "txtName", QStringLiteral("  "));
    EXPECT_TRUE(editor.createGroup());
    ASSERT_EQ(scripted.messages.size(), 2);
    EXPECT_TRUE(scripted.messages[0].text.contains(QStringLiteral("already")));
    EXPECT_EQ(scripted.messages[1].text, QStringLiteral("Please enter a name for the new group."));
    EXPECT_EQ(texts(groups), QStringList { QStringLiteral("Staff") });
}

TEST_P(AdminGroupEditorTest, AllCompaniesMakeSuiteWideGroupsOfAnyone)
{
    AdminGroupEditor editor(*connection, AdminObjectUser, -1);
    setText(&editor, "txtName", QStringLiteral("Everyone"));
    ASSERT_FALSE(editor.createGroup());
    auto *available = child<QListWidget>(&editor, "lstAvailable");
    EXPECT_EQ(texts(available),
        QStringList({ QStringLiteral("Ann Smith (Acme)"), QStringLiteral("bob (Acme)"),
            QStringLiteral("Carol Diaz (Birch)") }));
    selectTexts(available, { QStringLiteral("bob (Acme)"), QStringLiteral("Carol Diaz (Birch)") });
    ASSERT_FALSE(editor.addMembers());
    AdminGroup group;
    ASSERT_FALSE(DataSettings::LoadAdminGroup(*connection, editor.currentGroupId(), group));
    EXPECT_EQ(group.CompanyId(), -1);
    EXPECT_EQ(group.MemberCount(), 2);
}
