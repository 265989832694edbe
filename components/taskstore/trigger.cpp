#include "taskstore_p.h"

#include <limits>

namespace kv6::taskstore {

namespace {

TaskError wrongType()
{
    return { errInvalidTriggerType, QStringLiteral("Invalid trigger type") };
}

TaskResult store16(qint32 value, qint16 &field)
{
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        return TaskError { errOverflow, QStringLiteral("Overflow") };
    field = qint16(value);
    return std::nullopt;
}

const char *const kDays[] = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
const char *const kMonths[]
    = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };

QString names(quint32 mask, const char *const *list, int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i) {
        if (mask & (1u << i))
            out << QLatin1String(list[i]);
    }
    return out.join(QStringLiteral(", "));
}

QString months(quint32 mask)
{
    return (mask & 0xfff) == 0xfff ? QStringLiteral("every month") : names(mask, kMonths, 12);
}

} // namespace

// A typed property: readable and writable only on its own kind of trigger.
#define KV6_TYPED(Name, Type, field, kind, Stored)                                                 \
    std::optional<Type> Trigger::Name() const                                                      \
    {                                                                                              \
        if (m_copy->type != kind)                                                                  \
            return std::nullopt;                                                                   \
        return Type(m_copy->field);                                                                \
    }                                                                                              \
    TaskResult Trigger::Set##Name(qint32 value)                                                    \
    {                                                                                              \
        if (m_copy->type != kind)                                                                  \
            return wrongType();                                                                    \
        m_pending = true;                                                                          \
        return Stored;                                                                             \
    }

KV6_TYPED(DailyInterval, qint16, dailyInterval, triggerDaily, store16(value, m_copy->dailyInterval))
KV6_TYPED(
    WeeklyInterval, qint16, weeklyInterval, triggerWeekly, store16(value, m_copy->weeklyInterval))
KV6_TYPED(
    WeeklyDaysOfTheWeek, qint32, weeklyDays, triggerWeekly, store16(value, m_copy->weeklyDays))
KV6_TYPED(MonthlyDateDay, qint32, monthlyDays, triggerMonthlyDate,
    (m_copy->monthlyDays = value, TaskResult {}))
KV6_TYPED(MonthlyDateMonths, qint32, monthlyDateMonths, triggerMonthlyDate,
    store16(value, m_copy->monthlyDateMonths))
KV6_TYPED(
    MonthlyDOWDaysOfTheWeek, qint32, dowDays, triggerMonthlyDOW, store16(value, m_copy->dowDays))
KV6_TYPED(MonthlyDOWMonths, qint32, dowMonths, triggerMonthlyDOW, store16(value, m_copy->dowMonths))
KV6_TYPED(MonthlyDOWWeek, qint16, dowWeek, triggerMonthlyDOW, store16(value, m_copy->dowWeek))
#undef KV6_TYPED

Trigger::Trigger(std::shared_ptr<TaskRecord> task, int index)
    : m_task(std::move(task))
    , m_index(index)
    , m_copy(std::make_unique<TriggerRecord>(m_task->triggers.value(index)))
{ }

Trigger::~Trigger()
{
    // Changes reach the task even when the caller never called Update.
    if (m_pending)
        Update();
}

QDate Trigger::BeginDay() const
{
    return m_copy->beginDay;
}
void Trigger::SetBeginDay(const QDate &day)
{
    m_copy->beginDay = day;
    m_pending = true;
}
QDate Trigger::EndDay() const
{
    return m_copy->endDay;
}
void Trigger::SetEndDay(const QDate &day)
{
    m_copy->endDay = day;
    m_pending = true;
}
QTime Trigger::StartTime() const
{
    return m_copy->startTime;
}
void Trigger::SetStartTime(const QTime &time)
{
    m_copy->startTime = time.isValid() ? QTime(time.hour(), time.minute()) : QTime(0, 0);
    m_pending = true;
}
qint32 Trigger::Duration() const
{
    return m_copy->duration;
}
void Trigger::SetDuration(qint32 minutes)
{
    m_copy->duration = minutes;
    m_pending = true;
}
qint32 Trigger::Interval() const
{
    return m_copy->interval;
}
void Trigger::SetInterval(qint32 minutes)
{
    m_copy->interval = minutes;
    m_pending = true;
}
qint32 Trigger::Flags() const
{
    return m_copy->flags;
}
void Trigger::SetFlags(qint32 flags)
{
    m_copy->flags = flags;
    m_pending = true;
}
qint16 Trigger::RandomInterval() const
{
    return m_copy->randomInterval;
}
TaskResult Trigger::SetRandomInterval(qint32 minutes)
{
    m_pending = true;
    return store16(minutes, m_copy->randomInterval);
}
qint32 Trigger::TriggerType() const
{
    return m_copy->type;
}
void Trigger::SetTriggerType(qint32 type)
{
    m_copy->type = type;
    m_pending = true;
}

void Trigger::Refresh()
{
    if (m_index >= 0 && m_index < m_task->triggers.size())
        *m_copy = m_task->triggers.at(m_index);
    m_pending = false;
}

void Trigger::Update()
{
    if (m_index >= 0 && m_index < m_task->triggers.size())
        m_task->triggers[m_index] = *m_copy;
    Refresh();
}

QString Trigger::Text() const
{
    if (m_index < 0 || m_index >= m_task->triggers.size())
        return {};
    const TriggerRecord &t = m_task->triggers.at(m_index);
    QString text = QStringLiteral("At %1 ").arg(t.startTime.toString(QStringLiteral("HH:mm")));
    switch (t.type) {
    case triggerDaily:
        text += t.dailyInterval == 1 ? QStringLiteral("every day")
                                     : QStringLiteral("every %1 days").arg(t.dailyInterval);
        break;
    case triggerWeekly:
        text += QStringLiteral("every %1 of every ").arg(names(t.weeklyDays, kDays, 7))
            + (t.weeklyInterval == 1 ? QStringLiteral("week")
                                     : QStringLiteral("%1 weeks").arg(t.weeklyInterval));
        break;
    case triggerMonthlyDate: {
        QStringList days;
        for (int i = 0; i < 31; ++i) {
            if (quint32(t.monthlyDays) & (1u << i))
                days << QString::number(i + 1);
        }
        text += QStringLiteral("on day %1 of %2")
                    .arg(days.join(QStringLiteral(", ")), months(t.monthlyDateMonths));
        break;
    }
    case triggerMonthlyDOW: {
        const char *const weeks[] = { "first", "second", "third", "fourth", "last" };
        text += QStringLiteral("on the %1 %2 of %3")
                    .arg(QLatin1String(
                             t.dowWeek >= 1 && t.dowWeek <= 5 ? weeks[t.dowWeek - 1] : "?"),
                        names(t.dowDays, kDays, 7), months(t.dowMonths));
        break;
    }
    default:
        return QStringLiteral("Trigger type %1 is not supported").arg(t.type);
    }
    if (t.beginDay.isValid())
        text += QStringLiteral(", starting %1").arg(t.beginDay.toString(Qt::ISODate));
    if ((t.flags & triggerFlagHasEndDate) && t.endDay.isValid())
        text += QStringLiteral(", until %1").arg(t.endDay.toString(Qt::ISODate));
    return text;
}

Triggers::Triggers(std::shared_ptr<TaskRecord> task)
    : m_task(std::move(task))
{
    Update();
}

TriggerPtr Triggers::Add()
{
    TriggerRecord r;
    r.beginDay = QDate::currentDate();
    m_task->triggers.append(r);
    TriggerPtr t(new Trigger(m_task, int(m_task->triggers.size() - 1)));
    t->SetFlags(0);
    m_items.append(t);
    return t;
}

TriggerPtr Triggers::Item(int index) const
{
    return index >= 1 && index <= m_items.size() ? m_items.at(index - 1) : nullptr;
}

TaskResult Triggers::Remove(qint16 index)
{
    if (index < 1 || index > m_items.size())
        return TaskError { errGeneral, QStringLiteral("There is no trigger %1.").arg(index) };
    m_items.at(index - 1)->m_index = -1;
    m_items.removeAt(index - 1);
    m_task->triggers.removeAt(index - 1);
    for (const TriggerPtr &t : std::as_const(m_items)) {
        if (t->m_index >= index)
            --t->m_index;
    }
    return std::nullopt;
}

void Triggers::Update()
{
    m_items.clear();
    for (int i = 0; i < m_task->triggers.size(); ++i)
        m_items.append(TriggerPtr(new Trigger(m_task, i)));
}

} // namespace kv6::taskstore
