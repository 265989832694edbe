#include "script/builtins.h"

// The named constants scripts use without declaring them. Small ones are Integers and the rest
// Longs, the subtypes the language gives them.

namespace kv6::script {

namespace {

QHash<QString, Variant> build()
{
    QHash<QString, Variant> c;
    auto integer = [&c](const char *name, int v) {
        c.insert(QString::fromLatin1(name).toCaseFolded(), Variant::integer(v));
    };
    auto longValue = [&c](const char *name, qint32 v) {
        c.insert(QString::fromLatin1(name).toCaseFolded(), Variant::longValue(v));
    };
    auto text = [&c](const char *name, const QString &v) {
        c.insert(QString::fromLatin1(name).toCaseFolded(), Variant::string(v));
    };

    // Days of the week and the first week of the year (Weekday, DatePart, DateDiff).
    integer("vbUseSystem", 0);
    integer("vbUseSystemDayOfWeek", 0);
    integer("vbSunday", 1);
    integer("vbMonday", 2);
    integer("vbTuesday", 3);
    integer("vbWednesday", 4);
    integer("vbThursday", 5);
    integer("vbFriday", 6);
    integer("vbSaturday", 7);
    integer("vbFirstJan1", 1);
    integer("vbFirstFourDays", 2);
    integer("vbFirstFullWeek", 3);

    // FormatDateTime and the tristate arguments of the Format functions.
    integer("vbGeneralDate", 0);
    integer("vbLongDate", 1);
    integer("vbShortDate", 2);
    integer("vbLongTime", 3);
    integer("vbShortTime", 4);
    integer("vbUseDefault", -2);
    integer("vbTrue", -1);
    integer("vbFalse", 0);

    // Strings.
    text("vbCr", QStringLiteral("\r"));
    text("vbLf", QStringLiteral("\n"));
    text("vbCrLf", QStringLiteral("\r\n"));
    text("vbNewLine", QStringLiteral("\r\n"));
    text("vbTab", QStringLiteral("\t"));
    text("vbFormFeed", QStringLiteral("\f"));
    text("vbVerticalTab", QStringLiteral("\v"));
    text("vbNullChar", QString(QChar(0)));
    text("vbNullString", QString());
    integer("vbBinaryCompare", 0);
    integer("vbTextCompare", 1);

    // Errors raised by scripts start here.
    longValue("vbObjectError", qint32(0x80040000));

    // VarType results.
    integer("vbEmpty", 0);
    integer("vbNull", 1);
    integer("vbInteger", 2);
    integer("vbLong", 3);
    integer("vbSingle", 4);
    integer("vbDouble", 5);
    integer("vbCurrency", 6);
    integer("vbDate", 7);
    integer("vbString", 8);
    integer("vbObject", 9);
    integer("vbError", 10);
    integer("vbBoolean", 11);
    integer("vbVariant", 12);
    integer("vbDataObject", 13);
    integer("vbDecimal", 14);
    integer("vbByte", 17);
    integer("vbArray", 8192);

    // Colours as section format scripts set them: red + 256 * green + 65536 * blue.
    longValue("vbBlack", 0x000000);
    longValue("vbRed", 0x0000FF);
    longValue("vbGreen", 0x00FF00);
    longValue("vbYellow", 0x00FFFF);
    longValue("vbBlue", 0xFF0000);
    longValue("vbMagenta", 0xFF00FF);
    longValue("vbCyan", 0xFFFF00);
    longValue("vbWhite", 0xFFFFFF);
    return c;
}

} // namespace

const QHash<QString, Variant> &standardConstants()
{
    static const QHash<QString, Variant> all = build();
    return all;
}

} // namespace kv6::script
