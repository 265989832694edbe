#include "base/localeinfo.h"

#include <QApplication>

#include <langinfo.h>

namespace kv6 {

QString DecimalSeparator(const QLocale &locale)
{
    return locale.decimalPoint();
}
QString NegativeSign(const QLocale &locale)
{
    return locale.negativeSign();
}

namespace {
ushort filterWith(
    ushort key, bool allowNegative, bool allowDecimal, ushort decimal, ushort negative)
{
    bool pass;
    if (key == decimal)
        pass = allowDecimal;
    else if (key == negative)
        pass = allowNegative;
    else
        pass = (key >= '0' && key <= '9') || key == 8;
    if (pass)
        return key;
    QApplication::beep();
    return 0;
}

ushort firstCode(const QString &s)
{
    return s.isEmpty() ? 0 : s.at(0).unicode();
}
} // namespace

ushort FilterNumericKey(
    ushort keyCode, bool allowNegative, bool allowDecimal, const QLocale &locale)
{
    return filterWith(keyCode, allowNegative, allowDecimal, firstCode(DecimalSeparator(locale)),
        firstCode(NegativeSign(locale)));
}

ushort FilterNumericKey(ushort keyCode, bool allowNegative, bool allowDecimal)
{
    static const ushort decimal = firstCode(DecimalSeparator());
    static const ushort negative = firstCode(NegativeSign());
    return filterWith(keyCode, allowNegative, allowDecimal, decimal, negative);
}

int CodePageForCodeset(const QByteArray &codesetIn)
{
    const QByteArray cs = codesetIn.toUpper().replace('_', '-');
    struct Row
    {
        const char *name;
        int page;
    };
    static const Row rows[] = {
        { "UTF-8", 65001 },
        { "UTF8", 65001 },
        { "ISO-8859-1", 1252 },
        { "ISO8859-1", 1252 },
        { "ISO-8859-15", 1252 },
        { "ISO8859-15", 1252 },
        { "CP1252", 1252 },
        { "WINDOWS-1252", 1252 },
        { "ANSI-X3.4-1968", 1252 },
        { "ASCII", 1252 },
        { "CP1251", 1251 },
        { "WINDOWS-1251", 1251 },
        { "ISO-8859-5", 1251 },
        { "ISO8859-5", 1251 },
        { "KOI8-R", 1251 },
        { "KOI8-U", 1251 },
        { "ISO-8859-2", 1250 },
        { "ISO8859-2", 1250 },
        { "CP1250", 1250 },
        { "ISO-8859-7", 1253 },
        { "ISO8859-7", 1253 },
        { "CP1253", 1253 },
        { "ISO-8859-9", 1254 },
        { "ISO8859-9", 1254 },
        { "CP1254", 1254 },
        { "ISO-8859-8", 1255 },
        { "CP1255", 1255 },
        { "ISO-8859-6", 1256 },
        { "CP1256", 1256 },
        { "ISO-8859-13", 1257 },
        { "CP1257", 1257 },
        { "TIS-620", 874 },
        { "SHIFT-JIS", 932 },
        { "SJIS", 932 },
        { "EUC-JP", 932 },
        { "GB2312", 936 },
        { "GBK", 936 },
        { "GB18030", 936 },
        { "EUC-KR", 949 },
        { "BIG5", 950 },
        { "BIG5-HKSCS", 950 },
    };
    for (const Row &r : rows) {
        if (cs == r.name)
            return r.page;
    }
    return 1252;
}

int CodePage()
{
    return CodePageForCodeset(QByteArray(nl_langinfo(CODESET)));
}

quint32 LocaleLcid(const QLocale &locale)
{
    struct Row
    {
        QLocale::Language language;
        QLocale::Territory territory; // AnyTerritory: the primary language's usual id
        quint32 lcid;
    };
    static const Row rows[] = {
        { QLocale::English, QLocale::UnitedStates, 1033 },
        { QLocale::English, QLocale::UnitedKingdom, 2057 },
        { QLocale::English, QLocale::Australia, 3081 },
        { QLocale::English, QLocale::Canada, 4105 },
        { QLocale::English, QLocale::Ireland, 6153 },
        { QLocale::English, QLocale::NewZealand, 5129 },
        { QLocale::French, QLocale::France, 1036 },
        { QLocale::French, QLocale::Belgium, 2060 },
        { QLocale::French, QLocale::Canada, 3084 },
        { QLocale::French, QLocale::Switzerland, 4108 },
        { QLocale::German, QLocale::Germany, 1031 },
        { QLocale::German, QLocale::Switzerland, 2055 },
        { QLocale::German, QLocale::Austria, 3079 },
        { QLocale::Spanish, QLocale::Spain, 3082 },
        { QLocale::Spanish, QLocale::Mexico, 2058 },
        { QLocale::Italian, QLocale::Italy, 1040 },
        { QLocale::Dutch, QLocale::Netherlands, 1043 },
        { QLocale::Dutch, QLocale::Belgium, 2067 },
        { QLocale::Portuguese, QLocale::Brazil, 1046 },
        { QLocale::Portuguese, QLocale::Portugal, 2070 },
        { QLocale::Russian, QLocale::Russia, 1049 },
        { QLocale::Japanese, QLocale::Japan, 1041 },
        { QLocale::Chinese, QLocale::China, 2052 },
        { QLocale::Chinese, QLocale::Taiwan, 1028 },
        { QLocale::Korean, QLocale::SouthKorea, 1042 },
        { QLocale::Polish, QLocale::Poland, 1045 },
        { QLocale::Swedish, QLocale::Sweden, 1053 },
        { QLocale::Danish, QLocale::Denmark, 1030 },
        { QLocale::NorwegianBokmal, QLocale::Norway, 1044 },
        { QLocale::Finnish, QLocale::Finland, 1035 },
        { QLocale::Czech, QLocale::CzechRepublic, 1029 },
        { QLocale::Hungarian, QLocale::Hungary, 1038 },
        { QLocale::Greek, QLocale::Greece, 1032 },
        { QLocale::Turkish, QLocale::Turkey, 1055 },
        { QLocale::Ukrainian, QLocale::Ukraine, 1058 },
        { QLocale::Hebrew, QLocale::Israel, 1037 },
        { QLocale::Arabic, QLocale::SaudiArabia, 1025 },
        { QLocale::Thai, QLocale::Thailand, 1054 },
    };
    for (const Row &r : rows) {
        if (r.language == locale.language() && r.territory == locale.territory())
            return r.lcid;
    }
    for (const Row &r : rows) { // same language, another region: its first listed id
        if (r.language == locale.language())
            return r.lcid;
    }
    return 1033;
}

} // namespace kv6
