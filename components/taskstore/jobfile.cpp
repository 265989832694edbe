#include "taskstore_p.h"

#include "base/textfile.h"

#include <QFile>
#include <QSaveFile>

namespace kv6::taskstore {

namespace {

const QByteArray kMagic = "KV6TASK 1";

QByteArray escaped(const QString &value)
{
    QByteArray out;
    for (const char c : value.toUtf8()) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

QString unescaped(const QByteArray &value)
{
    QByteArray out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        char c = value.at(i);
        if (c == '\\' && i + 1 < value.size()) {
            c = value.at(++i);
            c = c == 'n' ? '\n' : c == 'r' ? '\r' : c;
        }
        out += c;
    }
    return QString::fromUtf8(out);
}

const QString kDay = QStringLiteral("yyyy-MM-dd");
const QString kTime = QStringLiteral("HH:mm");

} // namespace

QByteArray JobFileText(const TaskRecord &t)
{
    QByteArray out = kMagic + '\n';
    const auto line = [&out](const char *key, const QString &value) {
        out += key;
        out += '=';
        out += escaped(value);
        out += '\n';
    };
    const auto num = [&line](const char *key, qint64 value) { line(key, QString::number(value)); };
    line("ApplicationName", t.applicationName);
    line("Parameters", t.parameters);
    line("Creator", t.creator);
    line("Comment", t.comment);
    line("Account", t.account);
    line("WorkingDirectory", t.workingDirectory);
    num("Flags", t.flags);
    num("ErrorRetryCount", t.errorRetryCount);
    num("ErrorRetryInterval", t.errorRetryInterval);
    num("IdleWait", t.idleWait);
    num("IdleDeadline", t.idleDeadline);
    num("MaxRunTime", t.maxRunTime);
    num("Priority", t.priority);
    for (const TriggerRecord &r : t.triggers) {
        out += "[Trigger]\n";
        num("Type", r.type);
        line("BeginDay", r.beginDay.toString(kDay));
        line("EndDay", r.endDay.toString(kDay));
        line("StartTime", r.startTime.toString(kTime));
        num("Duration", r.duration);
        num("Interval", r.interval);
        num("Flags", r.flags);
        num("RandomInterval", r.randomInterval);
        num("DailyInterval", r.dailyInterval);
        num("WeeklyInterval", r.weeklyInterval);
        num("WeeklyDays", r.weeklyDays);
        num("MonthlyDays", r.monthlyDays);
        num("MonthlyDateMonths", r.monthlyDateMonths);
        num("DOWWeek", r.dowWeek);
        num("DOWDays", r.dowDays);
        num("DOWMonths", r.dowMonths);
    }
    return out;
}

bool ParseJobFile(const QByteArray &text, TaskRecord *task)
{
    QList<QByteArray> lines = text.split('\n');
    if (lines.isEmpty() || lines.takeFirst().trimmed() != kMagic)
        return false;
    TaskRecord t;
    TriggerRecord *r = nullptr;
    for (const QByteArray &raw : std::as_const(lines)) {
        const QByteArray l = raw.endsWith('\r') ? raw.chopped(1) : raw;
        if (l.isEmpty())
            continue;
        if (l == "[Trigger]") {
            t.triggers.append(TriggerRecord {});
            r = &t.triggers.last();
            continue;
        }
        const qsizetype eq = l.indexOf('=');
        if (eq <= 0)
            return false;
        const QByteArray key = l.left(eq);
        const QString value = unescaped(l.mid(eq + 1));
        bool ok = true;
        const auto n32 = [&](qint32 &field) {
            const qint32 v = value.toInt(&ok);
            if (ok)
                field = v;
        };
        const auto n16 = [&](qint16 &field) {
            const qint16 v = value.toShort(&ok);
            if (ok)
                field = v;
        };
        const auto day = [&](QDate &field) {
            field = QDate::fromString(value, kDay);
            ok = value.isEmpty() || field.isValid();
        };
        if (!r) {
            QString *texts[] = { &t.applicationName, &t.parameters, &t.creator, &t.comment,
                &t.account, &t.workingDirectory };
            const char *textKeys[] = { "ApplicationName", "Parameters", "Creator", "Comment",
                "Account", "WorkingDirectory" };
            for (size_t i = 0; i < std::size(texts); ++i) {
                if (key == textKeys[i])
                    *texts[i] = value;
            }
            if (key == "Flags")
                n32(t.flags);
            else if (key == "ErrorRetryCount")
                n16(t.errorRetryCount);
            else if (key == "ErrorRetryInterval")
                n16(t.errorRetryInterval);
            else if (key == "IdleWait")
                n16(t.idleWait);
            else if (key == "IdleDeadline")
                n16(t.idleDeadline);
            else if (key == "MaxRunTime")
                n32(t.maxRunTime);
            else if (key == "Priority")
                n32(t.priority);
        } else if (key == "Type")
            n32(r->type);
        else if (key == "BeginDay")
            day(r->beginDay);
        else if (key == "EndDay")
            day(r->endDay);
        else if (key == "StartTime") {
            r->startTime = QTime::fromString(value, kTime);
            ok = r->startTime.isValid();
        } else if (key == "Duration")
            n32(r->duration);
        else if (key == "Interval")
            n32(r->interval);
        else if (key == "Flags")
            n32(r->flags);
        else if (key == "RandomInterval")
            n16(r->randomInterval);
        else if (key == "DailyInterval")
            n16(r->dailyInterval);
        else if (key == "WeeklyInterval")
            n16(r->weeklyInterval);
        else if (key == "WeeklyDays")
            n16(r->weeklyDays);
        else if (key == "MonthlyDays")
            n32(r->monthlyDays);
        else if (key == "MonthlyDateMonths")
            n16(r->monthlyDateMonths);
        else if (key == "DOWWeek")
            n16(r->dowWeek);
        else if (key == "DOWDays")
            n16(r->dowDays);
        else if (key == "DOWMonths")
            n16(r->dowMonths);
        if (!ok)
            return false;
    }
    *task = t;
    return true;
}

QString RunRecordPath(const QString &jobFile)
{
    return jobFile + QStringLiteral(".run");
}

TaskResult WriteFileAtomically(
    const QString &path, const QByteArray &data, QFileDevice::Permissions permissions)
{
    QSaveFile file(path);
    QString why;
    if (!file.open(QIODevice::WriteOnly))
        why = file.errorString();
    else if (permissions && !file.setPermissions(permissions))
        why = file.errorString();
    else if (WriteAndCommit(file, data, &why))
        return std::nullopt;
    return TaskError { errGeneral, QStringLiteral("Cannot write %1: %2").arg(path, why) };
}

} // namespace kv6::taskstore
