#include "renderer_p.h"

#include "vbcore/currency.h"

namespace kv6::engine {

using script::Variant;
using script::VarType;

// Aggregate calls become names of values computed over the rows beforehand: "Sum(Pages) * 2"
// reads "[~agg0] * 2".
QString Renderer::rewriteAggregates(const QString &expression, int level)
{
    static const QHash<QString, Aggregate::Kind> kinds = {
        { QStringLiteral("sum"), Aggregate::Sum },
        { QStringLiteral("count"), Aggregate::Count },
        { QStringLiteral("avg"), Aggregate::Avg },
        { QStringLiteral("min"), Aggregate::Min },
        { QStringLiteral("max"), Aggregate::Max },
    };
    const QString &s = expression;
    QString out;
    qsizetype i = 0;
    const qsizetype n = s.size();
    auto skipString = [&](qsizetype j) { // j at the opening quote; returns past the closing one
        ++j;
        while (j < n) {
            if (s[j] == u'"') {
                if (j + 1 < n && s[j + 1] == u'"') {
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return n;
    };
    while (i < n) {
        const QChar c = s[i];
        if (c == u'"') {
            const qsizetype j = skipString(i);
            out += s.mid(i, j - i);
            i = j;
            continue;
        }
        if (c == u'[') {
            const qsizetype j = s.indexOf(u']', i);
            const qsizetype stop = j < 0 ? n : j + 1;
            out += s.mid(i, stop - i);
            i = stop;
            continue;
        }
        if (!(c.isLetter() || c == u'_')) {
            out += c;
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < n && (s[j].isLetterOrNumber() || s[j] == u'_'))
            ++j;
        const QString word = s.mid(i, j - i);
        qsizetype k = j;
        while (k < n && s[k].isSpace())
            ++k;
        qsizetype prev = i - 1;
        while (prev >= 0 && s[prev].isSpace())
            --prev;
        const auto kind = kinds.constFind(word.toLower());
        if (kind == kinds.cend() || k >= n || s[k] != u'(' || (prev >= 0 && s[prev] == u'.')) {
            out += word;
            i = j;
            continue;
        }
        // Find the matching parenthesis.
        int depth = 0;
        qsizetype e = k;
        for (; e < n; ++e) {
            if (s[e] == u'"') {
                e = skipString(e) - 1;
                continue;
            }
            if (s[e] == u'(')
                ++depth;
            else if (s[e] == u')' && --depth == 0)
                break;
        }
        if (e >= n) { // unbalanced: leave it to the compiler to report
            out += s.mid(i);
            break;
        }
        QString inner = s.mid(k + 1, e - k - 1).trimmed();
        Aggregate::Kind kd = *kind;
        if (kd == Aggregate::Count && (inner == u"*" || inner.isEmpty()))
            kd = Aggregate::CountAll;
        const QString id = QString::number(int(kd)) + u'|' + QString::number(level) + u'|' + inner;
        int index = m_aggregateIds.value(id, -1);
        if (index < 0) {
            Aggregate a { kd, inner, level, {}, {}, false };
            if (kd != Aggregate::CountAll) {
                try {
                    a.code = m_script.compileExpression(inner);
                } catch (const script::ScriptError &err) {
                    throw RenderFailure { scriptMessage(
                        err, QStringLiteral("%1(%2)").arg(word, inner)) };
                }
            }
            index = int(m_aggregates.size());
            m_aggregates.append(std::move(a));
            m_aggregateIds.insert(id, index);
            // One met while rendering (a script gave a field new text) is computed at once.
            if (m_ready)
                computeAggregate(m_aggregates.last());
        }
        out += QStringLiteral("[~agg%1]").arg(index);
        i = e + 1;
    }
    return out;
}

void Renderer::computeAggregate(Aggregate &a)
{
    if (a.computed)
        return;
    a.computed = true;
    const int saved = m_pos;
    const int rows = int(m_order.size());
    struct Acc
    {
        qint64 count = 0;
        bool allCurrency = true, allInteger = true, any = false;
        Currency cur;
        qint64 integer = 0;
        double dbl = 0;
        Variant best;
    };
    QHash<int, Acc> acc;
    acc.insert(0, Acc());
    const QString what = QStringLiteral("aggregate over %1").arg(a.inner);
    for (int p = 0; p < rows; ++p) {
        m_pos = p;
        const int key = a.level == 0 ? 0 : m_groupStartOf[size_t(a.level - 1)][size_t(p)];
        Acc &x = acc[key];
        if (a.kind == Aggregate::CountAll) {
            ++x.count;
            continue;
        }
        const Variant v = evaluate(a.code, what);
        if (v.isNull() || v.isEmpty())
            continue;
        ++x.count;
        if (a.kind == Aggregate::Count)
            continue;
        if (a.kind == Aggregate::Min || a.kind == Aggregate::Max) {
            const int c = x.any ? compareForSort(v, x.best) : 0;
            if (!x.any || (a.kind == Aggregate::Min ? c < 0 : c > 0))
                x.best = v;
            x.any = true;
            continue;
        }
        double d = 0;
        try {
            d = v.toDouble();
        } catch (const script::RuntimeError &) {
            throw RenderFailure { QStringLiteral("%1: the value \"%2\" is not a number")
                                      .arg(what, v.isString() ? v.stringValue() : QString()) };
        }
        x.any = true;
        x.dbl += d;
        if (v.type() == VarType::Currency) {
            bool ok = true;
            x.cur = x.cur.add(v.currencyValue(), &ok);
            x.allCurrency = x.allCurrency && ok;
        } else {
            x.allCurrency = false;
        }
        if (v.type() == VarType::Integer || v.type() == VarType::Long || v.type() == VarType::Byte)
            x.integer += v.intValue();
        else
            x.allInteger = false;
    }
    m_pos = saved;
    for (auto it = acc.cbegin(); it != acc.cend(); ++it) {
        const Acc &x = *it;
        Variant v = Variant::null();
        switch (a.kind) {
        case Aggregate::Count:
        case Aggregate::CountAll:
            v = Variant::longValue(qint32(x.count));
            break;
        case Aggregate::Sum:
            if (!x.any)
                break;
            if (x.allCurrency)
                v = Variant::currency(x.cur);
            else if (x.allInteger && x.integer >= INT32_MIN && x.integer <= INT32_MAX)
                v = Variant::longValue(qint32(x.integer));
            else
                v = Variant::dbl(x.dbl);
            break;
        case Aggregate::Avg:
            if (x.count > 0 && x.any)
                v = Variant::dbl(x.dbl / double(x.count));
            break;
        case Aggregate::Min:
        case Aggregate::Max:
            if (x.any)
                v = x.best;
            break;
        }
        a.values.insert(it.key(), v);
    }
}

Variant Renderer::aggregateValue(int id)
{
    if (id < 0 || id >= m_aggregates.size())
        return Variant::null();
    Aggregate &a = m_aggregates[id];
    computeAggregate(a);
    int key = 0;
    if (a.level > 0) {
        if (m_pos < 0)
            return a.kind == Aggregate::Count || a.kind == Aggregate::CountAll
                ? Variant::longValue(0)
                : Variant::null();
        key = m_groupStartOf[size_t(a.level - 1)][size_t(m_pos)];
    }
    return a.values.value(key,
        a.kind == Aggregate::Count || a.kind == Aggregate::CountAll ? Variant::longValue(0)
                                                                    : Variant::null());
}

int Renderer::aggregateLevel(int section) const
{
    if (section >= SectionFirstGroup)
        return (section - SectionFirstGroup) / 2 + 1;
    if (section == SectionDetail)
        return m_engine.m_layout.groupCount();
    return 0;
}

} // namespace kv6::engine
