#include "schedule/elevate.h"

#include "app/branding.h"
#include "base/clsregistry.h"
#include "base/dialogs.h"
#include "base/langstrings.h"
#include "base/paths.h"
#include "base/registrystore.h"
#include "base/validation.h"
#include "schedule/scheduledrun.h"
#include "taskstore/taskstore.h"
#include "vbcore/vbdate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace kv6 {

namespace {

const QString crlf = QStringLiteral("\r\n");

QString escapeValue(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else
            out += c;
    }
    return out;
}

QString unescapeValue(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar n = text.at(++i);
        out += n == QLatin1Char('t') ? QChar(QLatin1Char('\t'))
            : n == QLatin1Char('r')  ? QChar(QLatin1Char('\r'))
            : n == QLatin1Char('n')  ? QChar(QLatin1Char('\n'))
                                     : n;
    }
    return out;
}

QString valueText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return QString::number(VbDateToDouble(value.toDateTime()), 'g', 15);
    case QMetaType::QDate:
        return QString::number(VbDateToDouble(value.toDate()), 'g', 15);
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    default:
        return value.toString();
    }
}

bool writeText(const QString &path, const QString &text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = text.toUtf8();
    if (f.write(bytes) != bytes.size() || !f.flush()) {
        f.close();
        QFile::remove(path);
        return false;
    }
    return true;
}

bool readLines(const QString &path, QStringList &lines)
{
    QFile f(path);
    // A request is a few lines; anything larger is not one.
    if (!f.open(QIODevice::ReadOnly) || f.size() > qint64(1024) * 1024)
        return false;
    QString text = QString::fromUtf8(f.readAll());
    text.replace(crlf, QStringLiteral("\n"));
    // Lines end with CR LF (or LF); a carriage return inside one is not part of any field, and
    // a request read with it could not be written again.
    if (text.contains(QLatin1Char('\r')))
        return false;
    lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return true;
}

bool hasControl(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x20; });
}

// A schedule's safe name: what the schedule dialog makes of a name typed.
bool isScheduleName(const QString &name)
{
    return !name.isEmpty() && name == name.trimmed() && !hasControl(name)
        && MakeValidFileName(name, QStringLiteral("_")) == name;
}

QString taskNamePrefix()
{
    return ScheduledReportName(QString());
}

} // namespace

KVElevateEntry &KVElevateEntries::Add(
    const QString &sectionKey, const QString &valueName, qint32 valueType, const QVariant &value)
{
    m_items.append({ sectionKey, valueName, valueType, value });
    return m_items.last();
}

bool KVElevateEntries::SaveToTemp(const QString &path) const
{
    QString text;
    for (const KVElevateEntry &e : m_items)
        text += e.SectionKey + QLatin1Char('\t') + e.ValueName + QLatin1Char('\t')
            + QString::number(e.ValueType) + QLatin1Char('\t') + escapeValue(valueText(e.Value))
            + crlf;
    return writeText(path, text);
}

bool KVElevateEntries::LoadFromTemp(const QString &path)
{
    QStringList lines;
    if (!readLines(path, lines))
        return false;
    QList<KVElevateEntry> items;
    for (const QString &line : std::as_const(lines)) {
        const QStringList f = line.split(QLatin1Char('\t'));
        bool ok = false;
        const int type = f.value(2).toInt(&ok);
        if (f.size() != 4 || !ok)
            return false;
        items.append({ f[0], f[1], type, unescapeValue(f[3]) });
    }
    m_items = items;
    return true;
}

bool KVElevateEntries::CreateEntries(quint32 root) const
{
    clsRegistry reg;
    reg.setClassKey(root);
    QString previous;
    for (const KVElevateEntry &e : m_items) {
        QString error;
        if (previous.isNull() || e.SectionKey.compare(previous, Qt::CaseInsensitive) != 0) {
            previous = e.SectionKey;
            reg.setSectionKey(e.SectionKey);
            if (!reg.KeyExists(error) && !reg.CreateKey(false, error))
                return false;
            if (!reg.CheckSecurity(KEY_WRITE))
                return false;
        }
        reg.setValueKey(e.ValueName);
        if (e.ValueType == REG_DWORD) {
            reg.setValueType(REG_DWORD);
            reg.SetValue(qint32(e.Value.toLongLong()), error);
        } else if (e.ValueType == REG_SZ) {
            // Stored as the plain text it is: the registry class would make a text holding two
            // "%" an expandable one, and a mail body naming %PATH% would be mailed expanded.
            RegistryRawValue raw { REG_SZ, e.Value.toString().toUtf8() + '\0' };
            RegistryStore::forRoot(root).writeValue(e.SectionKey, e.ValueName, raw, error);
        } else {
            reg.setValueType(quint32(e.ValueType));
            reg.SetValue(e.Value, error);
        }
    }
    return true;
}

bool KVElevateEntries::DeleteKey(const QString &sectionKey)
{
    clsRegistry reg;
    reg.setClassKey(HKEY_LOCAL_MACHINE);
    reg.setSectionKey(sectionKey);
    QString error;
    return reg.DeleteKey(error);
}

KVElevateSchedule KVElevateSchedule::ForSchedule(const QString &scheduleName)
{
    KVElevateSchedule task;
    task.SetTaskName(ScheduledReportName(scheduleName));
    task.EXEPath = KVElevate::ProgramPath();
    task.TaskCommandLine = QStringLiteral("/runreport \"%1\"").arg(scheduleName);
    task.Creator = Branding().ProductName();
    return task;
}

bool KVElevateSchedule::SaveToTemp(const QString &path) const
{
    for (const QString &field : { m_taskName, EXEPath, TaskCommandLine, Creator }) {
        if (field.contains(QLatin1Char('\n')) || field.contains(QLatin1Char('\r')))
            return false;
    }
    // The day number is written with a full stop whatever the locale: pkexec starts the helper
    // with a locale of its own.
    const QStringList lines
        = { m_taskName, EXEPath, TaskCommandLine, Creator, QString::number(TriggerType),
              QString::number(VbTimeSerial(StartTime.hour(), StartTime.minute(), 0), 'g', 17),
              QString::number(Day), Quarterly ? QStringLiteral("True") : QStringLiteral("False") };
    return writeText(path, lines.join(crlf) + crlf);
}

bool KVElevateSchedule::LoadFromTemp(const QString &path)
{
    QStringList lines;
    if (!readLines(path, lines) || lines.size() != 8)
        return false;
    for (QString &line : lines)
        line = line.trimmed();
    bool typeOk = false;
    bool timeOk = false;
    bool dayOk = false;
    const int type = lines[4].toInt(&typeOk);
    QString time = lines[5];
    const double day = time.replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&timeOk);
    const qint32 mask = lines[6].toInt(&dayOk);
    const bool quarterly = lines[7].compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
    if (!typeOk || !timeOk || !dayOk || !IsVbDateInRange(day)
        || (!quarterly && lines[7].compare(QLatin1String("False"), Qt::CaseInsensitive) != 0))
        return false;
    SetTaskName(lines[0]);
    EXEPath = lines[1];
    TaskCommandLine = lines[2];
    Creator = lines[3];
    TriggerType = type;
    StartTime = QTime(0, 0).addSecs(VbSecondsOfDay(day) / 60 * 60);
    Day = mask;
    Quarterly = quarterly;
    return true;
}

int KVElevateSchedule::CreateTask(bool confirm) const
{
    using namespace taskstore;
    Schedule schedule;
    if (!schedule.CheckStartScheduler(false))
        return 2;
    schedule.Refresh();
    if (confirm && schedule.Job(m_taskName)
        && MsgBox(GetLangString(628), MsgIcon::Exclamation, MsgButtons::YesNo) == MsgAnswer::No)
        return 0;
    TaskError error;
    TaskResult deleted = schedule.Delete(m_taskName);
    const TaskPtr task = deleted ? nullptr : schedule.CreateTask(m_taskName, &error);
    if (deleted)
        error = *deleted;
    if (!task)
        return error.number == errFileExists ? 1 : 3;
    task->SetApplicationName(EXEPath);
    task->SetCommandLine(TaskCommandLine);
    task->SetCreator(Creator);
    task->SetFlags(taskFlagInteractive);
    {
        TriggerPtr trigger = task->Triggers().Add();
        trigger->SetStartTime(StartTime);
        trigger->SetTriggerType(TriggerType);
        TaskResult set;
        switch (TriggerType) {
        case triggerDaily:
            set = trigger->SetDailyInterval(1);
            break;
        case triggerWeekly:
            set = trigger->SetWeeklyDaysOfTheWeek(Day);
            break;
        case triggerMonthlyDate:
            set = trigger->SetMonthlyDateDay(Quarterly ? 1 : Day);
            if (!set)
                set = trigger->SetMonthlyDateMonths(Quarterly ? 585 : 4095);
            break;
        default:
            break;
        }
        if (set)
            return 3;
    }
    task->SetAccountInfo(QString(), QString());
    return task->Save() ? 3 : 0;
}

int KVElevateSchedule::DeleteTask(const QString &taskName)
{
    taskstore::Schedule schedule;
    if (!schedule.CheckStartScheduler(false))
        return 2;
    schedule.Refresh();
    return schedule.Delete(taskName) ? 2 : 0;
}

int KVElevateSchedule::RunTask(const QString &taskName)
{
    taskstore::Schedule schedule;
    if (!schedule.CheckStartScheduler(false))
        return 2;
    schedule.Refresh();
    const taskstore::TaskPtr task = schedule.Job(taskName);
    return task && !task->Run() ? 0 : 2;
}

QString InstalledProgramPath()
{
    return QFileInfo(CommonFolder() + QStringLiteral("/../reporter/kv6reprt")).canonicalFilePath();
}

bool IsScheduleKeyPath(const QString &keyPath, QString *scheduleName)
{
    const QString prefix = SchedulingKey + QLatin1Char('\\');
    if (!keyPath.startsWith(prefix, Qt::CaseInsensitive))
        return false;
    const QString name = keyPath.mid(prefix.size());
    if (!isScheduleName(name))
        return false;
    if (scheduleName)
        *scheduleName = name;
    return true;
}

bool ValidateScheduleTaskName(const QString &taskName, QString &error)
{
    const QString prefix = taskNamePrefix();
    if (taskName.startsWith(prefix) && isScheduleName(taskName.mid(prefix.size())))
        return true;
    error = QStringLiteral("\"%1\" is not the task of a scheduled report (\"%2\" and a "
                           "schedule name).")
                .arg(taskName, prefix);
    return false;
}

bool ValidateElevateEntries(const KVElevateEntries &entries, QString &error)
{
    if (entries.Count() == 0) {
        error = QStringLiteral("The request holds no registry values.");
        return false;
    }
    for (const KVElevateEntry &e : entries) {
        if (!IsScheduleKeyPath(e.SectionKey)) {
            error = QStringLiteral("Only the keys of scheduled reports, below \"%1\\\", may be "
                                   "written, not \"%2\".")
                        .arg(SchedulingKey, e.SectionKey);
            return false;
        }
        if (e.ValueName.isEmpty() || hasControl(e.ValueName)
            || (e.ValueType != REG_SZ && e.ValueType != REG_DWORD)) {
            error = QStringLiteral("The value \"%1\" of \"%2\" is not a text or a number.")
                        .arg(e.ValueName, e.SectionKey);
            return false;
        }
        bool ok = true;
        if (e.ValueType == REG_DWORD)
            e.Value.toString().toInt(&ok);
        if (!ok) {
            error = QStringLiteral("The value \"%1\" must be a 32-bit number.").arg(e.ValueName);
            return false;
        }
    }
    return true;
}

bool ValidateElevateSchedule(const KVElevateSchedule &schedule, QString &error)
{
    if (!ValidateScheduleTaskName(schedule.TaskName(), error))
        return false;
    const QString name = schedule.TaskName().mid(taskNamePrefix().size());
    const QString program = InstalledProgramPath();
    if (program.isEmpty() || QFileInfo(schedule.EXEPath).canonicalFilePath() != program) {
        error = QStringLiteral("A scheduled report runs the installed program %1, not \"%2\".")
                    .arg(program.isEmpty() ? QStringLiteral("(not found)") : program,
                        schedule.EXEPath);
        return false;
    }
    const QString expected = QStringLiteral("/runreport \"%1\"").arg(name);
    if (schedule.TaskCommandLine != expected) {
        error = QStringLiteral("A scheduled report runs %1, not \"%2\".")
                    .arg(expected, schedule.TaskCommandLine);
        return false;
    }
    const bool typeOk = schedule.TriggerType == taskstore::triggerDaily
        || schedule.TriggerType == taskstore::triggerWeekly
        || schedule.TriggerType == taskstore::triggerMonthlyDate;
    if (!typeOk || hasControl(schedule.Creator)) {
        error = QStringLiteral("The schedule's trigger type %1 is not daily, weekly or monthly.")
                    .arg(schedule.TriggerType);
        return false;
    }
    return true;
}

KVElevate::KVElevate()
{
    const auto writable = [](const QString &path) {
        QFileInfo info(path);
        while (!info.exists() && info.absolutePath() != info.absoluteFilePath())
            info = QFileInfo(info.absolutePath());
        return info.isWritable();
    };
    m_useElevation = !writable(RegistryStore::filePathForRoot(HKEY_LOCAL_MACHINE))
        || !writable(taskstore::TaskFolder()) || !writable(taskstore::CronFolder());
}

QString KVElevate::HelperPath()
{
    const QString over = qEnvironmentVariable("KV6_ELEVATE_HELPER");
    return over.isEmpty() ? CommonFolder() + QStringLiteral("/kv6elvte") : over;
}

QString KVElevate::ProgramPath()
{
    return QDir::cleanPath(
        QFileInfo(HelperPath()).absolutePath() + QStringLiteral("/../reporter/kv6reprt"));
}

int KVElevate::run(const QStringList &arguments, bool elevate)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    if (elevate && m_useElevation) {
        const QString pkexec = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
        if (pkexec.isEmpty())
            return -1;
        p.start(pkexec, QStringList { HelperPath() } + arguments);
    } else {
        p.start(HelperPath(), arguments);
    }
    if (!p.waitForStarted(-1) || !p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    return p.exitCode();
}

bool KVElevate::StartService(const QString &name)
{
    return run({ QStringLiteral("-startservice"), name }) != 0;
}

bool KVElevate::StopService(const QString &name)
{
    return run({ QStringLiteral("-stopservice"), name }) != 0;
}

int KVElevate::CreateEntries(const KVElevateEntries &entries)
{
    const QString file = TempFileName(QStringLiteral("plv"));
    if (file.isEmpty() || !entries.SaveToTemp(file))
        return elevateRequestFileError;
    const int result = run({ QStringLiteral("-savereg"), file });
    QFile::remove(file);
    return result;
}

int KVElevate::ScheduleTask(
    const KVElevateSchedule &schedule, const KVElevateEntries &entries, qint16 confirm)
{
    const QString scheduleFile = TempFileName(QStringLiteral("plv"));
    if (scheduleFile.isEmpty() || !schedule.SaveToTemp(scheduleFile))
        return elevateRequestFileError;
    const QString entriesFile = TempFileName(QStringLiteral("plv"));
    if (entriesFile.isEmpty() || !entries.SaveToTemp(entriesFile)) {
        QFile::remove(scheduleFile);
        return elevateRequestFileError;
    }
    const int result
        = run({ QStringLiteral("-schedule"), scheduleFile, entriesFile, QString::number(confirm) });
    QFile::remove(scheduleFile);
    QFile::remove(entriesFile);
    return result;
}

int KVElevate::UnscheduleTask(const QString &taskName, const QString &keyPath)
{
    return run({ QStringLiteral("-unschedule"), taskName, keyPath });
}

int KVElevate::RunTask(const QString &taskName)
{
    return run({ QStringLiteral("-runtask"), taskName });
}

int KVElevate::ShowScheduledReports(qint32 appId, const QString &keyPath)
{
    return run({ QStringLiteral("-showscheduled"), QString::number(appId), keyPath }, false);
}

} // namespace kv6
