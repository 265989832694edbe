#include "taskstore_p.h"

namespace kv6::taskstore {

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')
        || c == QLatin1Char('\r');
}

// The comma list of the set bits of `mask` among `bits`, each written as its position + `first`.
QString bitList(quint32 mask, int bits, int first)
{
    QStringList out;
    for (int i = 0; i < bits; ++i) {
        if (mask & (1u << i))
            out.append(QString::number(i + first));
    }
    return out.join(QLatin1Char(','));
}

qint64 unixDay(const QDate &day)
{
    return QDate(1970, 1, 1).daysTo(day);
}

QDate weekStart(const QDate &day)
{
    return day.addDays(-(day.dayOfWeek() % 7));
}

// The longest command cron takes (crontab refuses one byte more).
const qsizetype kMaxCronCommand = 998;

// The local calendar day as a day count from 1 Jan 1970, so intervals stay exact across time
// zone changes.
const char *const kToday = "$(( $(date -u -d \"$(date +%F)\" +%s) / 86400 ))";

} // namespace

QStringList SplitParameters(const QString &parameters)
{
    QStringList args;
    QString current;
    bool quoted = false;
    bool started = false;
    for (const QChar c : parameters) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            started = true;
        } else if (isBlank(c) && !quoted) {
            if (started)
                args.append(current);
            current.clear();
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (started)
        args.append(current);
    return args;
}

QString ShellQuote(const QString &value)
{
    // Inside single quotes nothing is special but the quote itself. A cron line cannot hold a
    // line break, so breaks and other control characters are made by the shell instead.
    QString out = QStringLiteral("'");
    for (const QChar c : value) {
        if (c == QLatin1Char('\''))
            out += QStringLiteral("'\\''");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("'\"$nl\"'");
        else if ((c.unicode() < 0x20 && c != QLatin1Char('\t')) || c.unicode() == 0x7f)
            out += QStringLiteral("'\"$(printf '\\%1')\"'")
                       .arg(c.unicode(), 3, 8, QLatin1Char('0'));
        else
            out += c;
    }
    return out + QLatin1Char('\'');
}

QString ShellRun(const TaskRecord &task, const QString &runRecord)
{
    QStringList values = SplitParameters(task.parameters);
    QString command = ShellQuote(task.applicationName);
    for (const QString &arg : std::as_const(values))
        command += QLatin1Char(' ') + ShellQuote(arg);
    values << task.applicationName << task.workingDirectory << runRecord;
    QString run = QStringLiteral("{ ");
    if (std::any_of(values.cbegin(), values.cend(),
            [](const QString &v) { return v.contains(QLatin1Char('\n')); }))
        run += QStringLiteral("nl=$(printf '\\n_'); nl=${nl%_}; ");
    run += QStringLiteral("r=") + ShellQuote(runRecord) + QStringLiteral("; date +%s >\"$r\"; ");
    if (!task.workingDirectory.isEmpty())
        run += QStringLiteral("cd ") + ShellQuote(task.workingDirectory) + QStringLiteral(" && ");
    return run + command + QStringLiteral("; echo $? >>\"$r\"; }");
}

QString CronEscape(const QString &shell)
{
    QString out;
    for (const QChar c : shell) {
        if (c == QLatin1Char('%')) {
            // Cron takes "\\" as an escaped backslash, which would leave the "%" bare; a backslash
            // can only stand here inside single quotes, where "''" splits it off harmlessly.
            if (out.endsWith(QLatin1Char('\\')))
                out += QStringLiteral("''");
            out += QStringLiteral("\\%");
        } else {
            out += c;
        }
    }
    return out;
}

bool IsRunnable(const TriggerRecord &t)
{
    if (t.flags & triggerFlagDisabled)
        return false;
    switch (t.type) {
    case triggerDaily:
        return t.dailyInterval >= 1;
    case triggerWeekly:
        return (t.weeklyDays & 0x7f) && t.weeklyInterval >= 1;
    case triggerMonthlyDate:
        return (t.monthlyDays & 0x7fffffff) && (t.monthlyDateMonths & 0xfff);
    case triggerMonthlyDOW:
        return (t.dowDays & 0x7f) && (t.dowMonths & 0xfff) && t.dowWeek >= 1 && t.dowWeek <= 5;
    default:
        return false;
    }
}

bool FiresOn(const TriggerRecord &t, const QDate &day)
{
    if (!IsRunnable(t) || (t.beginDay.isValid() && day < t.beginDay))
        return false;
    if ((t.flags & triggerFlagHasEndDate) && t.endDay.isValid() && day > t.endDay)
        return false;
    const int weekday = day.dayOfWeek() % 7; // 0 Sunday
    switch (t.type) {
    case triggerDaily:
        return !t.beginDay.isValid() || t.beginDay.daysTo(day) % t.dailyInterval == 0;
    case triggerWeekly:
        return (t.weeklyDays & (1 << weekday))
            && (!t.beginDay.isValid()
                || weekStart(t.beginDay).daysTo(day) / 7 % t.weeklyInterval == 0);
    case triggerMonthlyDate:
        return (quint32(t.monthlyDays) & (1u << (day.day() - 1)))
            && (t.monthlyDateMonths & (1 << (day.month() - 1)));
    case triggerMonthlyDOW: {
        const bool week = t.dowWeek == 5 ? day.addDays(7).month() != day.month()
                                         : (day.day() - 1) / 7 + 1 == t.dowWeek;
        return week && (t.dowDays & (1 << weekday)) && (t.dowMonths & (1 << (day.month() - 1)));
    }
    default:
        return false;
    }
}

TaskResult CronLines(
    const TaskRecord &task, const QString &runRecord, const QDate &today, QStringList *lines)
{
    lines->clear();
    if (task.flags & taskFlagDisabled)
        return std::nullopt;
    const QString run = ShellRun(task, runRecord);
    const QString user = task.account.isEmpty() ? QStringLiteral("root") : task.account;
    for (const TriggerRecord &t : task.triggers) {
        const bool hasEnd = (t.flags & triggerFlagHasEndDate) && t.endDay.isValid();
        if (!IsRunnable(t) || (hasEnd && t.endDay < today))
            continue;
        QString dom = QStringLiteral("*"), month = QStringLiteral("*"), dow = QStringLiteral("*");
        QStringList guards;
        if (t.beginDay.isValid() && t.beginDay > today)
            guards << QStringLiteral("[ $(date +%Y%m%d) -ge %1 ]")
                          .arg(t.beginDay.toString(QStringLiteral("yyyyMMdd")));
        if (hasEnd)
            guards << QStringLiteral("[ $(date +%Y%m%d) -le %1 ]")
                          .arg(t.endDay.toString(QStringLiteral("yyyyMMdd")));
        const QDate begin = t.beginDay.isValid() ? t.beginDay : today;
        switch (t.type) {
        case triggerDaily:
            if (t.dailyInterval > 1)
                guards << QStringLiteral("[ $(( (%1 - %2) % %3 )) -eq 0 ]")
                              .arg(QLatin1String(kToday))
                              .arg(unixDay(begin))
                              .arg(t.dailyInterval);
            break;
        case triggerWeekly:
            dow = bitList(quint32(t.weeklyDays), 7, 0);
            if (t.weeklyInterval > 1)
                guards << QStringLiteral("[ $(( (%1 - %2) / 7 % %3 )) -eq 0 ]")
                              .arg(QLatin1String(kToday))
                              .arg(unixDay(weekStart(begin)))
                              .arg(t.weeklyInterval);
            break;
        case triggerMonthlyDate:
            dom = bitList(quint32(t.monthlyDays), 31, 1);
            month = bitList(quint32(t.monthlyDateMonths), 12, 1);
            break;
        case triggerMonthlyDOW: {
            // Cron ORs day-of-month with day-of-week, so the week's days go in the line and the
            // weekday is checked by the command.
            const int first = t.dowWeek == 5 ? 22 : (t.dowWeek - 1) * 7 + 1;
            dom = QStringLiteral("%1-%2").arg(first).arg(t.dowWeek == 5 ? 31 : first + 6);
            month = bitList(quint32(t.dowMonths), 12, 1);
            guards << QStringLiteral("case $(date +%w) in %1) true;; *) false;; esac")
                          .arg(bitList(quint32(t.dowDays), 7, 0)
                                   .replace(QLatin1Char(','), QLatin1Char('|')));
            if (t.dowWeek == 5)
                guards << QStringLiteral("[ $(date -d '7 days' +%m) != $(date +%m) ]");
            break;
        }
        }
        guards << run;
        const QString command = CronEscape(guards.join(QStringLiteral(" && ")));
        // Cron silently cuts longer commands, which would leave a quote open and the task dead.
        if (command.toUtf8().size() > kMaxCronCommand)
            return TaskError { errGeneral,
                QStringLiteral(
                    "The command of the task %1 is too long for cron (%2 bytes, at most %3).")
                    .arg(task.name)
                    .arg(command.toUtf8().size())
                    .arg(kMaxCronCommand) };
        *lines << QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                      .arg(t.startTime.minute())
                      .arg(t.startTime.hour())
                      .arg(dom, month, dow, user, command);
    }
    return std::nullopt;
}

} // namespace kv6::taskstore
