// kv6elvte: the elevation helper. Writes the machine-wide values of scheduled reports, creates,
// deletes and runs their tasks, and starts or stops the suite's services, for a program that may
// not. Every request is checked before anything is done: only the keys and tasks of this
// program's schedules, and only the installed program as what a task runs.

#include "app/branding.h"
#include "app/startup.h"
#include "base/clsregistry.h"
#include "base/dialogs.h"
#include "base/langstrings.h"
#include "base/paths.h"
#include "mainguard/mainguard.h"
#include "schedule/elevate.h"
#include "schedule/scheduledrun.h"
#include "ui/scheduledreports.h"

#include <QApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cstdio>

using namespace kv6;

namespace {

const char *const usage = R"(Usage: kv6elvte -savereg ENTRIES_FILE
       kv6elvte -schedule SCHEDULE_FILE ENTRIES_FILE CONFIRM
       kv6elvte -unschedule TASK_NAME KEY_PATH
       kv6elvte -runtask TASK_NAME
       kv6elvte -showscheduled APP_ID KEY_PATH
       kv6elvte -startservice NAME | -stopservice NAME

The elevation helper of Korvane 6 Analysis Reporting; the program starts it with request files
it writes. Exit status: for -schedule 0 scheduled, 1 a task of that name could not be replaced,
2 the scheduler is not running, 3 the request could not be read or written, 4 the request was
refused; -unschedule and -runtask 0 done, 2 failed; -startservice and -stopservice 1 done, 0 not.
)";

int refuse(const QString &text)
{
    std::fprintf(stderr, "kv6elvte: %s\n", qPrintable(text.simplified()));
    return elevateRefused;
}

int unreadable(const QString &path)
{
    std::fprintf(stderr, "kv6elvte: the request file %s could not be read or is not a request.\n",
        qPrintable(path));
    return elevateRequestFileError;
}

bool loadEntries(const QString &path, KVElevateEntries &entries, int &exit)
{
    QString error;
    if (!entries.LoadFromTemp(path))
        exit = unreadable(path);
    else if (!ValidateElevateEntries(entries, error))
        exit = refuse(error);
    else
        return true;
    return false;
}

int saveReg(const QStringList &args)
{
    if (args.size() != 1)
        return refuse(QStringLiteral("-savereg takes one request file."));
    KVElevateEntries entries;
    int exit = 0;
    if (!loadEntries(args[0], entries, exit))
        return exit;
    return entries.CreateEntries(HKEY_LOCAL_MACHINE) ? 0 : 1;
}

int schedule(const QStringList &args)
{
    if (args.size() != 3)
        return refuse(QStringLiteral("-schedule takes a schedule file, an entries file and the "
                                     "confirmation flag."));
    KVElevateSchedule task;
    if (!task.LoadFromTemp(args[0]))
        return unreadable(args[0]);
    QString error;
    if (!ValidateElevateSchedule(task, error))
        return refuse(error);
    KVElevateEntries entries;
    int exit = 0;
    if (!loadEntries(args[1], entries, exit))
        return exit;
    // The values go to the key of the schedule whose task this is, and nowhere else.
    const QString key = ScheduleKeyPath(task.TaskName().mid(ScheduledReportName({}).size()));
    for (const KVElevateEntry &e : entries) {
        if (e.SectionKey.compare(key, Qt::CaseInsensitive) != 0)
            return refuse(QStringLiteral("The values of \"%1\" go to \"%2\", not \"%3\".")
                              .arg(task.TaskName(), key, e.SectionKey));
    }
    bool ok = false;
    const int confirm = args[2].toInt(&ok);
    if (!ok)
        return refuse(QStringLiteral("The confirmation flag must be a number."));
    // A new schedule whose task cannot be made leaves no key behind.
    clsRegistry probe;
    probe.setClassKey(HKEY_LOCAL_MACHINE);
    probe.setSectionKey(key);
    const bool existed = probe.KeyExists(error);
    int result = elevateRequestFileError;
    if (!entries.CreateEntries(HKEY_LOCAL_MACHINE))
        std::fprintf(stderr, "kv6elvte: the schedule's values could not be written.\n");
    else
        result = task.CreateTask(confirm != 0);
    if (result != 0 && !existed)
        KVElevateEntries::DeleteKey(key);
    return result;
}

int unschedule(const QStringList &args)
{
    if (args.size() != 2)
        return refuse(QStringLiteral("-unschedule takes a task name and a key path."));
    QString error;
    QString name;
    if (!ValidateScheduleTaskName(args[0], error))
        return refuse(error);
    if (!IsScheduleKeyPath(args[1], &name)
        || args[0].mid(ScheduledReportName({}).size()).compare(name, Qt::CaseInsensitive) != 0)
        return refuse(
            QStringLiteral("\"%1\" is not the key of the schedule \"%2\".").arg(args[1], args[0]));
    const int result = KVElevateSchedule::DeleteTask(args[0]);
    clsRegistry key;
    key.setClassKey(HKEY_LOCAL_MACHINE);
    key.setSectionKey(args[1]);
    if (key.KeyExists(error) && !KVElevateEntries::DeleteKey(args[1]))
        return 2;
    return result;
}

int runTask(const QStringList &args)
{
    QString error;
    if (args.size() != 1)
        return refuse(QStringLiteral("-runtask takes a task name."));
    if (!ValidateScheduleTaskName(args[0], error))
        return refuse(error);
    return KVElevateSchedule::RunTask(args[0]);
}

int showScheduled(const QStringList &args)
{
    if (args.size() != 2 || args[0] != QString::number(ReporterAppId)
        || args[1].compare(SchedulingKey, Qt::CaseInsensitive) != 0)
        return refuse(QStringLiteral("-showscheduled shows the schedules of this program only: "
                                     "%1 \"%2\".")
                          .arg(ReporterAppId)
                          .arg(SchedulingKey));
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        std::fprintf(stderr, "kv6elvte: there is no display to show the scheduled reports on.\n");
        return 1;
    }
    return ShowScheduledReportsWindow();
}

// Services of the suite only, started or stopped by the system's own tool, never by a shell.
int service(const QStringList &args, bool start)
{
    static const QRegularExpression name(
        QStringLiteral("^korvane[A-Za-z0-9_.@-]*$"), QRegularExpression::CaseInsensitiveOption);
    if (args.size() != 1 || !name.match(args[0]).hasMatch()) {
        refuse(QStringLiteral("Only the suite's services (korvane...) may be started or stopped."));
        return 0;
    }
    const QString verb = start ? QStringLiteral("start") : QStringLiteral("stop");
    QProcess p;
    const QString systemctl = QStandardPaths::findExecutable(QStringLiteral("systemctl"));
    if (!systemctl.isEmpty())
        p.start(systemctl, { verb, args[0] });
    else
        p.start(QStringLiteral("service"), { args[0], verb });
    const bool done
        = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return done ? 1 : 0;
}

int run(const QStringList &arguments)
{
    const QString command = arguments.value(1).toLower();
    const QStringList args = arguments.mid(2);
    if (command == QLatin1String("-savereg"))
        return saveReg(args);
    if (command == QLatin1String("-schedule"))
        return schedule(args);
    if (command == QLatin1String("-unschedule"))
        return unschedule(args);
    if (command == QLatin1String("-runtask"))
        return runTask(args);
    if (command == QLatin1String("-showscheduled"))
        return showScheduled(args);
    if (command == QLatin1String("-startservice"))
        return service(args, true);
    if (command == QLatin1String("-stopservice"))
        return service(args, false);
    if (command == QLatin1String("-h") || command == QLatin1String("--help")) {
        std::fputs(usage, stdout);
        return 0;
    }
    std::fputs(usage, stderr);
    return elevateRefused;
}

} // namespace

int main(int argc, char **argv)
{
    SelectHeadlessPlatform();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kv6elvte"));
    QCoreApplication::setOrganizationName(QStringLiteral("Korvane 6"));
    // Without a display (pkexec passes none) a question gets its default answer.
    SilentDialogs silent([](const MessageRequest &m) {
        std::fprintf(stderr, "kv6elvte: %s\n", qPrintable(m.text.simplified()));
    });
    std::optional<ScopedDialogProvider> quiet;
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        quiet.emplace(&silent);
    return RunGuarded("kv6elvte", [] {
        LoadLanguage(QStringLiteral("kv6reprt"));
        ResolveFolders();
        CreateBranding(CommonFolder());
        SetDefaultMessageTitle(Branding().ProductName());
        return run(QCoreApplication::arguments());
    });
}
