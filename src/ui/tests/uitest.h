#pragma once

// One fixture for the window tests: a demo database of two companies in a temporary folder, the
// English strings, the per-user folders, and scripted answers to every message and file dialog.

#include "base/dialogs.h"
#include "dataaccess/dataconnection.h"
#include "ui/mainwindow.h"

#include "testenv.h"
#include "testscopes.h"

#include <gtest/gtest.h>
#include <QModelIndex>

#include <functional>
#include <memory>

class QTreeView;

namespace kv6test {

class UiTest : public ::testing::Test
{
public:
    // A row of a grid by its key ("PRT12", "*GROUP*1"), in column 0.
    static QModelIndex row(QTreeView *grid, const QString &key);

protected:
    void SetUp() override;
    void TearDown() override;

    // A started window; the database is the demo file unless `databaseUrl` is given.
    std::unique_ptr<kv6::frmReporting> open(bool simple = false);

    // Selects exactly these rows (the first becomes current).
    static void select(QTreeView *grid, const QStringList &keys);
    // Keys of the items of a grid's group, in display order.
    static QStringList members(QTreeView *grid, const QString &groupKey);
    static QStringList groupNames(QTreeView *grid);
    // Answers the next modal dialog of type D with `act` once it runs.
    template<typename D>
    static void whenModal(std::function<void(D *)> act);
    static void whenModalWidget(std::function<void(QWidget *)> act);

    // The demo database, and a connection to it (a failure fails the running test).
    kv6::DataSource demoSource() const;
    std::unique_ptr<kv6::DataConnection> connectDemo() const;
    // Texts of the messages shown since the last call.
    QStringList takeMessages();
    // Whether each of the commands is enabled, as "ID:0/1" joined by blanks.
    static QString enabled(kv6::frmReporting &w, const QStringList &ids);

    TempEnv env;
    ShippedLanguage language;
    QString databasePath;
    QString databaseUrl;
    kv6::ScriptedDialogs dialogs;
    std::unique_ptr<kv6::ScopedDialogProvider> scoped;
};

template<typename D>
void UiTest::whenModal(std::function<void(D *)> act)
{
    whenModalWidget([act](QWidget *w) {
        D *d = qobject_cast<D *>(w);
        ASSERT_NE(d, nullptr) << "the expected dialog did not open";
        act(d);
    });
}

} // namespace kv6test
