#include "uitest.h"

#include "app/startup.h"
#include "base/langstrings.h"
#include "enginetest.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QTimer>
#include <QTreeView>

using namespace kv6;

namespace kv6test {

void UiTest::SetUp()
{
    ResolveFolders();
    databasePath = env.path(QStringLiteral("demo.db"));
    DataSource source = demoSource();
    source.createIfMissing = true;
    DemoOptions options = demoOptions(50, 365);
    options.users = 12;
    std::unique_ptr<DataConnection> c;
    const QString e = openWithDemo(source, options, c);
    ASSERT_TRUE(e.isEmpty()) << e.toStdString();
    databaseUrl = databasePath;
    scoped = std::make_unique<ScopedDialogProvider>(&dialogs);
}

void UiTest::TearDown()
{
    scoped.reset();
    EXPECT_EQ(dialogs.unexpected, 0) << "a message or dialog nobody expected";
}

std::unique_ptr<frmReporting> UiTest::open(bool simple)
{
    qputenv("KV6_DATABASE", databaseUrl.toUtf8());
    auto w = std::make_unique<frmReporting>(simple);
    w->show();
    w->Start();
    return w;
}

DataSource UiTest::demoSource() const
{
    DataSource source;
    source.path = databasePath;
    return source;
}

std::unique_ptr<DataConnection> UiTest::connectDemo() const
{
    QVariant version;
    std::unique_ptr<DataConnection> c;
    const DataResult e = OpenDataConnection(demoSource(), false, version, c);
    EXPECT_FALSE(e) << e->Description().toStdString();
    return c;
}

static int keyColumn(const QTreeView *grid)
{
    return ColumnOfKey(grid, grid->objectName() == QLatin1String("grdPrinters") ? 12 : 5);
}

QModelIndex UiTest::row(QTreeView *grid, const QString &key)
{
    const QAbstractItemModel *m = grid->model();
    const int keyColumn = kv6test::keyColumn(grid);
    for (int g = 0; g < m->rowCount(); ++g) {
        const QModelIndex group = m->index(g, 0);
        if (m->index(g, keyColumn).data().toString() == key)
            return group;
        for (int i = 0; i < m->rowCount(group); ++i) {
            if (m->index(i, keyColumn, group).data().toString() == key)
                return m->index(i, 0, group);
        }
    }
    return {};
}

void UiTest::select(QTreeView *grid, const QStringList &keys)
{
    QItemSelectionModel *s = grid->selectionModel();
    s->clearSelection();
    for (const QString &key : keys) {
        const QModelIndex i = row(grid, key);
        EXPECT_TRUE(i.isValid()) << key.toStdString();
        if (key == keys.first())
            s->setCurrentIndex(i, QItemSelectionModel::NoUpdate);
        s->select(i, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

QStringList UiTest::members(QTreeView *grid, const QString &groupKey)
{
    const QModelIndex group = row(grid, groupKey);
    const QAbstractItemModel *m = grid->model();
    const int keyColumn = kv6test::keyColumn(grid);
    QStringList keys;
    for (int i = 0; i < m->rowCount(group); ++i)
        keys.append(m->index(i, keyColumn, group).data().toString());
    return keys;
}

QStringList UiTest::groupNames(QTreeView *grid)
{
    QStringList names;
    for (int g = 0; g < grid->model()->rowCount(); ++g)
        names.append(grid->model()->index(g, 1).data().toString());
    return names;
}

void UiTest::whenModalWidget(std::function<void(QWidget *)> act)
{
    QTimer::singleShot(0, [act] { act(QApplication::activeModalWidget()); });
}

QStringList UiTest::takeMessages()
{
    QStringList texts;
    for (const MessageRequest &m : std::as_const(dialogs.messages))
        texts.append(m.text);
    dialogs.messages.clear();
    return texts;
}

QString UiTest::enabled(frmReporting &w, const QStringList &ids)
{
    QStringList out;
    for (const QString &id : ids) {
        const QAction *a = w.command(id);
        out.append(id + (a && a->isEnabled() ? QStringLiteral(":1") : QStringLiteral(":0")));
    }
    return out.join(QLatin1Char(' '));
}

} // namespace kv6test
