#include "vbcore/vbdecimal.h"

#include <cmath>

namespace kv6 {

VbDecimal VbDecimal::fromText(QString text)
{
    VbDecimal d;
    if (text.startsWith(u'-')) {
        d.negative = true;
        text.remove(0, 1);
    }
    const qsizetype dot = text.indexOf(u'.');
    const QString whole = dot < 0 ? text : text.left(dot);
    d.digits = whole + (dot < 0 ? QString() : text.mid(dot + 1));
    d.point = int(whole.size());
    d.normalise();
    return d;
}

VbDecimal VbDecimal::fromDouble(double value)
{
    VbDecimal d;
    if (!std::isfinite(value) || value == 0)
        return d;
    d.negative = value < 0;
    const QString s = QString::number(std::fabs(value), 'e', 14); // "1.23450000000000e+03"
    const qsizetype e = s.indexOf(u'e');
    d.digits = s.left(e).remove(u'.');
    d.point = s.mid(e + 1).toInt() + 1;
    d.normalise();
    return d;
}

void VbDecimal::normalise()
{
    qsizetype lead = 0;
    while (lead < digits.size() && digits[lead] == u'0')
        ++lead;
    digits.remove(0, lead);
    point -= int(lead);
    while (!digits.isEmpty() && digits.endsWith(u'0'))
        digits.chop(1);
    if (digits.isEmpty())
        point = 0;
}

void VbDecimal::round(int places)
{
    const int keep = point + places;
    if (keep >= digits.size())
        return;
    if (keep < 0) {
        digits.clear();
        point = 0;
        return;
    }
    const bool up = digits[keep] >= u'5';
    digits.truncate(keep);
    if (up) {
        int i = keep - 1;
        for (; i >= 0; --i) {
            if (digits[i] == u'9') {
                digits[i] = u'0';
            } else {
                digits[i] = QChar(digits[i].unicode() + 1);
                break;
            }
        }
        if (i < 0) {
            digits.prepend(u'1');
            ++point;
        }
    }
    normalise();
}

void VbDecimal::scale(int power)
{
    if (!digits.isEmpty())
        point += power;
}

QString VbDecimal::wholeDigits() const
{
    if (point <= 0)
        return {};
    return digits.left(point).leftJustified(point, u'0');
}

QString VbDecimal::fractionDigits(int places) const
{
    const QString f = point < 0 ? QString(-point, u'0') + digits : digits.mid(point);
    return f.leftJustified(places, u'0', true);
}

QString VbDecimal::fixed(int places) const
{
    VbDecimal d = *this;
    d.round(places);
    QString whole = d.wholeDigits();
    if (whole.isEmpty())
        whole = QStringLiteral("0");
    if (d.negative && !d.isZero())
        whole.prepend(u'-');
    return places > 0 ? whole + u'.' + d.fractionDigits(places) : whole;
}

} // namespace kv6
