#include "app/common.h"

#include "app/clsregistry.h"
#include "app/paths.h"
#include "app/startup.h"
#include "recordset/recordset.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDomElement>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTemporaryFile>
#include <QWidget>

#include <langinfo.h>

namespace kv6 {

QString GetProductVersion()
{
    clsRegistry reg;
    reg.setClassKey(HKEY_LOCAL_MACHINE);
    reg.setSectionKey(QStringLiteral("Software\\Korvane 6"));
    QString err;
    return reg.GetValueOrDefault(QStringLiteral("ProductVersion"), QString(), err).toString();
}

int WindowStateCode(const QWidget *window)
{
    if (window->isMinimized())
        return 1;
    if (window->isMaximized())
        return 2;
    return 0;
}

void RestoreWindowState(const QString &registryKey, QWidget *window)
{
    clsRegistry reg;
    reg.setClassKey(HKEY_CURRENT_USER);
    reg.setSectionKey(registryKey);
    QString err;
    int state = reg.GetValueOrDefault(QStringLiteral("LastWindowState"), 0, err).toInt();
    if (state == 1)
        state = 0;
    window->setWindowState(state == 2 ? Qt::WindowMaximized : Qt::WindowNoState);
}

void SaveWindowState(const QString &registryKey, QWidget *window)
{
    clsRegistry reg;
    reg.setClassKey(HKEY_CURRENT_USER);
    reg.setSectionKey(registryKey);
    reg.setValueType(REG_DWORD);
    QString err;
    reg.SetCreateValue(QStringLiteral("LastWindowState"), WindowStateCode(window), false, err);
}

bool AddCommonToPath()
{
    const QByteArray path = qgetenv("PATH");
    if (path.isEmpty())
        return false;
    return qputenv("PATH", path + ':' + QFile::encodeName(CommonFolder()));
}

QString TempFileName(const QString &prefix)
{
    QTemporaryFile file(TempFolder() + prefix + QStringLiteral("XXXXXX.tmp"));
    if (!file.open())
        return {};
    const QString name = file.fileName();
    file.remove();
    return name;
}

QString HelpFilePathFrom(const QString &programFolder, const QString &fileName)
{
    const qsizetype cut = programFolder.lastIndexOf(QLatin1Char('/'));
    return programFolder.left(cut + 1) + QStringLiteral("help/") + fileName;
}

QString HelpFilePath(const QString &fileName)
{
    return HelpFilePathFrom(ProgramFolder(), fileName);
}

QUrl HelpTopicUrl(const QString &helpFile, quint32 contextId)
{
    const QFileInfo info(helpFile);
    QUrl url = QUrl::fromLocalFile(
        info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("/index.html"));
    url.setFragment(QString::number(contextId));
    return url;
}

bool ShowHelpTopic(quint32 contextId, QWidget *owner, const QString &helpFile)
{
    Q_UNUSED(owner);
    return QDesktopServices::openUrl(
        HelpTopicUrl(helpFile.isEmpty() ? ApplicationHelpFile : helpFile, contextId));
}

bool IsValidEmail(const QString &text)
{
    QString address = text;
    const qsizetype lt = text.indexOf(QLatin1Char('<'));
    if (lt >= 0) {
        const qsizetype gt = text.indexOf(QLatin1Char('>'), lt);
        if (gt >= 0)
            address = text.mid(lt + 1, gt - lt - 1);
    }
    const qsizetype at = address.indexOf(QLatin1Char('@'));
    if (at < 0)
        return false;
    if (at == 0 || address.mid(at - 1, 1).trimmed().isEmpty())
        return false;
    if (at + 1 >= address.size() || address.mid(at + 1, 1).trimmed().isEmpty())
        return false;
    return address.mid(at + 1).contains(QLatin1Char('.'));
}

bool IsValidEmailList(const QString &list)
{
    if (list.isEmpty())
        return true;
    const QStringList parts = list.split(QLatin1Char(','));
    for (const QString &p : parts) {
        if (!IsValidEmail(p))
            return false;
    }
    return true;
}

QString MakeValidFileName(const QString &text, const QString &replacement)
{
    QString out = text;
    for (const QChar c : QStringLiteral("/\\.\"'?*><|:"))
        out.replace(c, replacement);
    return out;
}

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

QString GetChildText(const QDomNode &node, const QString &childName, const QString &defaultText)
{
    const QDomElement child = node.firstChildElement(childName);
    const QString text = child.isNull() ? QString() : child.text().trimmed();
    return text.isEmpty() ? defaultText : text;
}

WaitCursor::WaitCursor()
{
    // Only a GUI application has a pointer to change.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        m_set = true;
    }
}

WaitCursor::~WaitCursor()
{
    if (m_set)
        QGuiApplication::restoreOverrideCursor();
}

QVariant FieldValue(const infField &field, std::optional<int> wantedType)
{
    QVariant value = field.Value();
    if (value.isValid() && !value.isNull())
        return value;
    if (wantedType)
        return *wantedType == adBSTR ? QVariant(QString()) : QVariant::fromValue<qint16>(0);
    const int type = field.Type();
    if (IsDateType(type) || type == adVariant || type == adPropVariant)
        return {};
    if (IsTextType(type))
        return QString();
    if (type == adBoolean)
        return false;
    return QVariant::fromValue<qint16>(0);
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

QString DecodeText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        // Windows-1252 without a codec library: Latin-1 plus the 0x80-0x9F block.
        static const char16_t high[32] = { 0x20AC, 0x81, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020,
            0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D, 0x017D, 0x8F, 0x90, 0x2018,
            0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153,
            0x9D, 0x017E, 0x0178 };
        text.clear();
        text.reserve(bytes.size());
        for (const char ch : bytes) {
            const uchar b = uchar(ch);
            text += (b >= 0x80 && b < 0xA0) ? QChar(high[b - 0x80]) : QChar(b);
        }
    }
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

bool ReadTextFile(const QString &path, QString *text, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    *text = DecodeText(f.readAll());
    return true;
}

bool WriteTextFile(const QString &path, const QString &text, bool crlf, QString *error)
{
    QString out = text;
    if (crlf) {
        out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        out.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(out.toUtf8()) < 0 || !f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

} // namespace kv6
