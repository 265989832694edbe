// Times a large analysis against baselines measured in the same run, at two sizes so growth
// shows: a step that doubles with the data is linear; one that quadruples is not.
//
//   bench_groups [printers users groups]     (default 5000 50000 500)

#include "benchsupport.h"

#include "base/dialogs.h"
#include "dataaccess/dataconnection.h"
#include "dataaccess/datasettings.h"
#include "groups/analysis.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace kv6;

using kv6bench::check;
using kv6bench::seconds;

namespace {

struct Figures
{
    double load, loadBase, admin, save, saveBase, apply, applyBase, count, countBase;
};

Figures run(const QString &folder, int printers, int users, int groups)
{
    DataSource source;
    source.path = folder + QStringLiteral("/bench-%1.db").arg(printers);
    source.createIfMissing = true;
    QVariant version;
    std::unique_ptr<DataConnection> c;
    check(OpenDataConnection(source, true, version, c));
    QSqlDatabase db = c->database();
    QSqlQuery q(db);
    db.transaction();
    q.exec(QStringLiteral("INSERT INTO companies (company_id, name) VALUES (1, 'Bench')"));
    q.prepare(QStringLiteral("INSERT INTO printers (printer_id, company_id, name, port, host, "
                             "manufacturer_model, connection_type, color_device, duplex_device, "
                             "device_type) VALUES (?, 1, ?, ?, ?, ?, 3, ?, 1, ?)"));
    for (int i = 1; i <= printers; ++i) {
        q.addBindValue(i);
        q.addBindValue(QStringLiteral("Printer %1").arg(i, 5, 10, QChar(u'0')));
        q.addBindValue(QStringLiteral("socket://10.0.%1.%2").arg(i / 250).arg(i % 250));
        q.addBindValue(i % 3 ? QVariant(QStringLiteral("srv%1").arg(i % 40)) : QVariant());
        q.addBindValue(QStringLiteral("Model %1").arg(i % 60));
        q.addBindValue(i % 4 == 0);
        q.addBindValue(i % 50 == 0 ? 1 : 0);
        q.exec();
    }
    q.prepare(QStringLiteral("INSERT INTO users (user_id, company_id, user_name, display_name, "
                             "user_domain) VALUES (?, 1, ?, ?, 'CORP')"));
    for (int i = 1; i <= users; ++i) {
        q.addBindValue(100000 + i);
        q.addBindValue(QStringLiteral("user%1").arg(i));
        q.addBindValue(QStringLiteral("User %1").arg(i, 6, 10, QChar(u'0')));
        q.exec();
    }
    db.commit();
    // Administration groups: a tenth for printers, the rest for users; everyone is in one, some
    // in two, so the highest-owner rule has work to do.
    const int printerGroups = std::max(1, groups / 10);
    QList<int> pg, ug;
    for (int g = 0; g < groups; ++g) {
        int id = 0;
        const bool isPrinter = g < printerGroups;
        check(DataSettings::CreateAdminGroup(*c, isPrinter ? AdminObjectPrinter : AdminObjectUser,
            QStringLiteral("Group %1").arg(g), 1, g % 7, id));
        (isPrinter ? pg : ug).append(id);
    }
    db.transaction();
    q.prepare(
        QStringLiteral("INSERT INTO admin_group_members (group_id, object_id) VALUES (?, ?)"));
    for (int i = 1; i <= printers; ++i) {
        q.addBindValue(pg[i % pg.size()]);
        q.addBindValue(i);
        q.exec();
    }
    for (int i = 1; i <= users; ++i) {
        for (int k = 0; k < (i % 5 == 0 ? 2 : 1); ++k) {
            q.addBindValue(ug[(i + k * 7) % ug.size()]);
            q.addBindValue(100000 + i);
            q.exec();
        }
    }
    db.commit();

    Figures f {};
    clsAnalysis a;
    a.setShowProgress(false);
    f.load = seconds([&] { check(a.InitializeDefault(*c, 1)); });
    // Baseline: the same rows read by a bare query loop, nothing built from them.
    f.loadBase = seconds([&] {
        QSqlQuery r(db);
        r.setForwardOnly(true);
        qint64 sum = 0;
        for (const char *sql : { "SELECT printer_id, name, port, host, manufacturer_model, "
                                 "connection_type, color_device, duplex_device, device_type, "
                                 "company_id FROM printers",
                 "SELECT user_id, display_name, user_domain, company_id FROM users" }) {
            r.exec(QLatin1String(sql));
            while (r.next())
                sum += r.value(0).toLongLong() + r.value(1).toString().size();
        }
        if (sum == 42)
            std::puts("");
    });
    clsAnalysis admin;
    admin.setShowProgress(false);
    f.admin = seconds([&] { check(admin.InitializeFromAdminGroups(*c, 1)); });

    const QString path = folder + QStringLiteral("/bench-%1.grp").arg(printers);
    QString error;
    f.save = seconds([&] { admin.SaveGroups(path, &error); });
    const QByteArray bytes = [&] {
        QFile in(path);
        in.open(QIODevice::ReadOnly);
        return in.readAll();
    }();
    // Baseline: writing the same bytes, and reading them back line by line.
    f.saveBase = seconds([&] {
        QFile out(path + QStringLiteral(".copy"));
        out.open(QIODevice::WriteOnly);
        out.write(bytes);
    });
    f.apply = seconds([&] {
        if (!a.ApplyGroupsFromFile(path, &error))
            std::fprintf(stderr, "bench_groups: %s\n", qPrintable(error));
    });
    f.applyBase = seconds([&] {
        QFile in(path + QStringLiteral(".copy"));
        in.open(QIODevice::ReadOnly);
        int fields = 0;
        while (!in.atEnd())
            fields += QString::fromUtf8(in.readLine()).split(u',').size();
        if (fields == 42)
            std::puts("");
    });
    qint64 n = 0;
    f.count = seconds([&] {
        for (int i = 0; i < 100; ++i)
            n += a.UserManager()->NumIncluded() + a.PrinterManager()->NumIncluded();
    });
    f.countBase = seconds([&] {
        for (int i = 0; i < 100; ++i)
            for (const GroupItemPtr &item : a.UserManager()->Items())
                n += item->Include();
    });
    if (!error.isEmpty())
        std::fprintf(stderr, "bench_groups: %s\n", qPrintable(error));
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SilentDialogs silent;
    ScopedDialogProvider quiet(&silent);
    const QStringList args = app.arguments();
    const int printers = args.size() > 1 ? args[1].toInt() : 5000;
    const int users = args.size() > 2 ? args[2].toInt() : 50000;
    const int groups = args.size() > 3 ? args[3].toInt() : 500;
    QTemporaryDir dir;

    const Figures half = run(dir.path(), printers / 2, users / 2, groups / 2);
    const Figures full = run(dir.path(), printers, users, groups);
    std::printf("analysis of %d printers, %d users, %d groups (SQLite)\n", printers, users, groups);
    std::printf("%-28s %9s %9s %9s %9s\n", "step", "seconds", "baseline", "ratio", "x at 2N");
    auto row = [](const char *name, double t, double base, double halfT) {
        std::printf("%-28s %9.3f %9.3f %9.2f %9.2f\n", name, t, base, base > 0 ? t / base : 0,
            halfT > 0 ? t / halfT : 0);
    };
    row("load (InitializeDefault)", full.load, full.loadBase, half.load);
    row("admin groups import", full.admin, full.loadBase, half.admin);
    row("SaveGroups", full.save, full.saveBase, half.save);
    row("ApplyGroupsFromFile", full.apply, full.applyBase, half.apply);
    row("NumIncluded x100", full.count, full.countBase, half.count);
    std::printf("baselines: bare query loop over the same rows; writing and splitting the same "
                "file; one loop over the items.\n");
    return 0;
}
