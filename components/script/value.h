#pragma once

#include "vbcore/currency.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <memory>

namespace kv6::script {

class HostObject;

// VarType codes as VBScript reports them.
enum class VarType : int {
    Empty = 0,
    Null = 1,
    Integer = 2,
    Long = 3,
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    String = 8,
    Object = 9,
    Error = 10, // only as a skipped argument: FormatNumber(x, 2, , , 0)
    Boolean = 11,
    Byte = 17,
    Array = 8192,
};

struct ArrayData;

// A script value with VBScript's subtypes. Dates are kept as OLE doubles (see vbcore/vbdate.h);
// arrays are values, copied on assignment; objects are shared.
class Variant
{
public:
    Variant() = default;
    static Variant null();
    static Variant boolean(bool b);
    static Variant byte(int v);
    static Variant integer(int v);
    static Variant longValue(qint32 v);
    static Variant single(float v);
    static Variant dbl(double v);
    static Variant currency(kv6::Currency c);
    static Variant date(double ole);
    static Variant string(const QString &s);
    static Variant object(std::shared_ptr<HostObject> o); // null pointer = Nothing
    static Variant array(std::shared_ptr<ArrayData> a);
    // An optional argument left out between commas; functions treat it as not given.
    static Variant missing();

    VarType type() const { return m_type; }
    bool isEmpty() const { return m_type == VarType::Empty; }
    bool isNull() const { return m_type == VarType::Null; }
    bool isObject() const { return m_type == VarType::Object; }
    bool isArray() const { return m_type == VarType::Array; }
    bool isString() const { return m_type == VarType::String; }
    bool isMissing() const { return m_type == VarType::Error; }
    bool isNumeric() const; // numeric subtypes, Boolean and Date included

    bool boolValue() const { return m_i != 0; }
    qint64 intValue() const { return m_i; } // Byte, Integer, Long, Boolean
    double doubleValue() const { return m_d; } // Single, Double, Date
    kv6::Currency currencyValue() const { return kv6::Currency::fromRaw(m_i); }
    const QString &stringValue() const { return m_s; }
    const std::shared_ptr<HostObject> &objectValue() const { return m_obj; }
    const std::shared_ptr<ArrayData> &arrayValue() const { return m_arr; }
    std::shared_ptr<ArrayData> &arrayValue() { return m_arr; }

    // Conversions as VBScript coerces; they throw the script's run-time errors (13, 6, 94)
    // and are meant for use inside the engine and host objects.
    double toDouble() const;
    qint32 toLong() const; // banker's rounding, overflow error 6
    int toInteger() const;
    bool toBool() const;
    kv6::Currency toCurrency() const;
    double toDate() const;
    QString toString() const;
    // Numeric value of a string, or nothing: accepts blanks, sign, decimals, exponent, &H/&O.
    static bool parseNumber(const QString &s, double *out);
    // A date literal's text (#...#): month/day/year or ISO order, whatever the locale.
    static bool parseDate(const QString &s, double *out);
    // A date as the user's locale writes it, for conversions at run time (CDate, IsDate).
    static bool parseDateText(const QString &s, double *out);

    // Value as the rest of the program carries it (Currency as kv6::Currency, Date as a
    // QDateTime, arrays as QVariantList, Nothing/objects as an invalid QVariant).
    QVariant toQVariant() const;
    static Variant fromQVariant(const QVariant &v);

    QString typeName() const;
    int varType() const;

private:
    VarType m_type = VarType::Empty;
    qint64 m_i = 0;
    double m_d = 0;
    QString m_s;
    std::shared_ptr<HostObject> m_obj;
    std::shared_ptr<ArrayData> m_arr;
};

struct ArrayData
{
    ArrayData() = default;
    ArrayData(const ArrayData &) = default;
    ArrayData &operator=(const ArrayData &) = default;
    // Frees nested arrays one at a time: a = Array(a) a million times would otherwise recurse
    // a million levels deep on release.
    ~ArrayData();

    QList<int> upper; // upper bound per dimension; lower bounds are 0
    QList<Variant> items;
    bool fixed = false; // Dim a(3) cannot be ReDim'd
    int flatIndex(const QList<int> &idx) const; // -1 when out of range
};

// A run-time error with VBScript's number and description; thrown inside the engine only.
struct RuntimeError
{
    int number = 0;
    QString description;
    int line = 0;
    int column = 0;
    bool fatal = false; // not catchable by On Error Resume Next (step limit)
    QString source = {}; // Err.Source; empty for the engine's own errors
};

// Strings longer than this are refused (error 14, "Out of string space") rather than
// exhausting memory.
inline constexpr qsizetype MaxStringLength = qsizetype(1) << 28;
void checkStringLength(qint64 length);

[[noreturn]] void raise(int number, const QString &description = {});
QString standardDescription(int number);

} // namespace kv6::script
