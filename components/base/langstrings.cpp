#include "base/langstrings.h"

#include "base/clsregistry.h"
#include "base/localeinfo.h"
#include "base/paths.h"
#include "base/textfile.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHash>
#include <QWidget>

#include <optional>

namespace kv6 {

namespace {

struct LanguageState
{
    QString programName;
    std::optional<QString> folder;
    QString folderOverride;
    bool loaded = false;
    QHash<int, QString> english;
    QHash<int, QString> current; // empty when English is current
};

LanguageState &state()
{
    static LanguageState s;
    return s;
}

QString tablePath(const QString &folder, const QString &sub, const QString &program)
{
    return folder + QLatin1Char('/') + sub + QLatin1Char('/') + program
        + QStringLiteral("LangRes.txt");
}

bool loadTable(const QString &path, QHash<int, QString> &table)
{
    if (!QFileInfo(path).isFile())
        return false;
    QString text;
    if (!ReadTextFile(path, &text))
        return false;
    table = ParseLanguageTable(text, path);
    return true;
}

QString unescape(const QString &s, bool &ok)
{
    QString out;
    out.reserve(s.size());
    ok = true;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (++i >= s.size()) {
            ok = false;
            break;
        }
        switch (s.at(i).unicode()) {
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case '\\':
            out += QLatin1Char('\\');
            break;
        default:
            ok = false;
            out += s.at(i);
            break;
        }
    }
    return out;
}

} // namespace

QHash<int, QString> ParseLanguageTable(const QString &text, const QString &fileName)
{
    QHash<int, QString> table;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QString &line = lines.at(n);
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        bool numberOk = false;
        const int id = tab > 0 ? line.left(tab).trimmed().toInt(&numberOk) : 0;
        bool escOk = false;
        const QString value = tab > 0 ? unescape(line.mid(tab + 1), escOk) : QString();
        if (!numberOk || !escOk) {
            qWarning(
                "%s:%lld: malformed language line skipped", qPrintable(fileName), qlonglong(n + 1));
            continue;
        }
        table.insert(id, value);
    }
    return table;
}

QString LanguageFolderFrom(const QString &startFolder)
{
    QString folder = startFolder;
    for (;;) {
        if (QFileInfo(folder + QStringLiteral("/lang")).isDir())
            return folder + QStringLiteral("/lang");
        const qsizetype cut = folder.lastIndexOf(QLatin1Char('/'));
        if (cut < 0)
            return folder + QStringLiteral("/lang");
        folder.truncate(cut);
        if (folder.isEmpty())
            return QStringLiteral("/lang");
    }
}

QString LanguageFolder()
{
    LanguageState &s = state();
    if (!s.folderOverride.isEmpty())
        return s.folderOverride;
    if (!s.folder)
        s.folder = LanguageFolderFrom(ProgramFolder());
    return *s.folder;
}

void SetLanguageFolderForTesting(const QString &folder)
{
    FreeLanguage();
    state().folderOverride = folder;
}

quint32 GetLocaleId()
{
    clsRegistry reg;
    reg.setClassKey(HKEY_CURRENT_USER);
    reg.setSectionKey(QStringLiteral("Software\\Korvane 6"));
    QString err;
    const QVariant v = reg.GetValueOrDefault(QStringLiteral("LocaleId"), QVariant(), err);
    bool ok = false;
    const quint32 id = v.toString().trimmed().toUInt(&ok);
    return ok && id ? id : LocaleLcid();
}

bool LoadLanguage(const QString &programName)
{
    FreeLanguage();
    LanguageState &s = state();
    s.programName = programName;
    const QString folder = LanguageFolder();
    if (!loadTable(tablePath(folder, QStringLiteral("1033"), programName), s.english))
        return false;
    s.loaded = true;
    const quint32 lcid = GetLocaleId();
    if (lcid == 1033)
        return true;
    if (loadTable(tablePath(folder, QString::number(lcid), programName), s.current))
        return true;
    // No table for the region: any of the same primary language (its low byte) will do.
    const quint32 primary = lcid & 0xFF;
    const QStringList subs = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &sub : subs) {
        bool ok = false;
        const quint32 n = sub.toUInt(&ok);
        if (ok && n != 1033 && (n & 0xFF) == primary
            && loadTable(tablePath(folder, sub, programName), s.current))
            return true;
    }
    return true;
}

void FreeLanguage()
{
    LanguageState &s = state();
    s.english.clear();
    s.current.clear();
    s.loaded = false;
}

bool LanguageLoaded()
{
    return state().loaded;
}

QString GetLangString(int id, const QStringList &arguments)
{
    LanguageState &s = state();
    if (!s.loaded && !s.programName.isEmpty())
        LoadLanguage(s.programName);
    QString text = s.current.value(id);
    if (text.isEmpty())
        text = s.english.value(id);
    if (!text.isEmpty() && !arguments.isEmpty())
        text = FormatString(text, arguments);
    return text;
}

QString FormatString(const QString &templ, const QStringList &arguments)
{
    QString out = templ;
    qsizetype from = 0;
    for (const QString &arg : arguments) {
        const qsizetype p = out.indexOf(QStringLiteral("%s"), from);
        if (p < 0)
            continue;
        out.replace(p, 2, arg);
        from = p + arg.size();
    }
    return out;
}

namespace {
// A family is accepted when fontconfig resolves it to itself or to its metric-compatible
// stand-in (Liberation Sans for Arial): the name check of the original acceptance test.
bool resolves(const QString &family, const QStringList &accepted)
{
    const QFont f(family, 8);
    const QString got = QFontInfo(f).family();
    for (const QString &a : accepted) {
        if (got.compare(a, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
} // namespace

QFont DefaultFont(bool forReports)
{
    const int page = CodePage();
    if (!forReports
        && resolves(QStringLiteral("MS Sans Serif"), { QStringLiteral("MS Sans Serif") }))
        return QFont(QStringLiteral("MS Sans Serif"), 8);
    struct Candidate
    {
        const char *family;
        QStringList accepted;
    };
    const Candidate candidates[] = {
        { "Arial", { QStringLiteral("Arial"), QStringLiteral("Liberation Sans") } },
        { "Tahoma", { QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans") } },
    };
    for (const Candidate &c : candidates) {
        if (resolves(QString::fromLatin1(c.family), c.accepted))
            return QFont(QFontInfo(QFont(QString::fromLatin1(c.family), 8)).family(), 8);
    }
    switch (page) {
    case 932:
        return QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9);
    case 949:
        return QFont(QStringLiteral("굴림"), 9);
    case 936:
        return QFont(QStringLiteral("宋体"), 9);
    case 950:
        return QFont(QStringLiteral("新細明體"), 9);
    default:
        break;
    }
    // Cyrillic and everything else: DejaVu covers the most scripts of what Debian installs.
    return QFont(QStringLiteral("DejaVu Sans"), 8);
}

void ApplyFont(QWidget *window, const QFont &font)
{
    if (!window)
        return;
    const qreal defaultSize = QApplication::font().pointSizeF();
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    for (QWidget *w : widgets) {
        QFont f = w->font();
        f.setFamily(font.family());
        if (qFuzzyCompare(f.pointSizeF(), defaultSize))
            f.setPointSizeF(font.pointSizeF());
        w->setFont(f);
    }
}

} // namespace kv6
