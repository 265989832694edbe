#include "app/branding.h"
#include "base/startupvalues.h"

#include "base/langstrings.h"
#include "base/paths.h"
#include "base/textfile.h"
#include "base/validation.h"

#include <memory>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>

// The picture is compiled into this static library; it must be registered explicitly.
static void initAppResources()
{
    Q_INIT_RESOURCE(app);
}

namespace kv6 {

namespace {
std::unique_ptr<clsKV6Branding> g_branding;
const char *const kImageSuffixes[] = { "png", "bmp", "jpg", "ico", "svg", "xpm" };
} // namespace

clsKV6Branding::clsKV6Branding(const QString &commonFolder)
    : m_folder(commonFolder + QStringLiteral("/kvmark"))
{
    m_loaded = QFileInfo(m_folder).isDir();
    QString text;
    if (m_loaded && ReadTextFile(m_folder + QStringLiteral("/strings.txt"), &text))
        m_strings = ParseLanguageTable(text, m_folder + QStringLiteral("/strings.txt"));
}

QString clsKV6Branding::stringResource(int id, const QString &fallback) const
{
    const QString s = m_strings.value(id).trimmed();
    return s.isEmpty() ? fallback : s;
}

quint32 clsKV6Branding::colorResource(int id, const char *fallback, quint32 override) const
{
    if (override != 0)
        return override;
    bool ok = false;
    const quint32 v = stringResource(id, QString::fromLatin1(fallback)).toUInt(&ok);
    return ok ? v : QString::fromLatin1(fallback).toUInt();
}

QString clsKV6Branding::CompanyName() const
{
    return stringResource(101, QStringLiteral("Korvane"));
}
QString clsKV6Branding::CompanyNameFull() const
{
    return stringResource(102, QStringLiteral("Korvane Inc."));
}
QString clsKV6Branding::ProductName() const
{
    return stringResource(103, QStringLiteral("Korvane 6"));
}
QString clsKV6Branding::CompanyURL() const
{
    return stringResource(107, QStringLiteral("https://www.korvane.example"));
}
quint32 clsKV6Branding::ReportColorMain() const
{
    return colorResource(109, "11366423", m_mainOverride);
}
quint32 clsKV6Branding::ReportColorSub() const
{
    return colorResource(110, "6737151", m_subOverride);
}
QString clsKV6Branding::ReportFooter() const
{
    return stringResource(114, QStringLiteral("Korvane 6"));
}

QString clsKV6Branding::imagePath(int id) const
{
    if (!m_loaded)
        return {};
    for (const char *suffix : kImageSuffixes) {
        const QString p = m_folder + QLatin1Char('/') + QString::number(id) + QLatin1Char('.')
            + QString::fromLatin1(suffix);
        if (QFileInfo(p).isFile())
            return p;
    }
    return {};
}

QImage clsKV6Branding::bitmap(int id) const
{
    const QString p = imagePath(id);
    return p.isEmpty() ? QImage() : QImage(p);
}

QImage clsKV6Branding::icon(int id, int width, int height) const
{
    const QString p = imagePath(id);
    if (p.isEmpty())
        return {};
    // An icon file may hold several sizes: take the one nearest the request.
    const QIcon ic(p);
    return ic.pixmap(QSize(width, height))
        .toImage()
        .scaled(width, height, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QImage clsKV6Branding::ReportLogo() const
{
    return bitmap(114);
}
QImage clsKV6Branding::WizardPanel() const
{
    return bitmap(117);
}
QImage clsKV6Branding::ClientLogo() const
{
    return bitmap(119);
}
QImage clsKV6Branding::AdminHeaderLogo() const
{
    return bitmap(120);
}
QImage clsKV6Branding::DBMaintenancePanel() const
{
    return bitmap(121);
}
QImage clsKV6Branding::ClientIcon(int width, int height) const
{
    return icon(115, width, height);
}
QImage clsKV6Branding::AboutIcon(int width, int height) const
{
    return icon(118, width, height);
}

QImage clsKV6Branding::SplashScreen(int index) const
{
    static const int ids[] = { 104, 105, 103, 116 };
    return index >= 1 && index <= 4 ? bitmap(ids[index - 1]) : QImage();
}

QString clsKV6Branding::ApplicationName(int index) const
{
    static const int ids[] = { 104, 105, 106, 113 };
    static const char *const defaults[] = { "Korvane 6 Administrator", "Korvane 6 Print Monitor",
        "Korvane 6 Analysis Reporting", "Korvane 6 Print Client" };
    if (index < 1 || index > 4)
        return QStringLiteral("Unknown");
    return stringResource(ids[index - 1], QString::fromLatin1(defaults[index - 1]));
}

void clsKV6Branding::OverrideReportColors(quint32 main, quint32 sub, bool reset)
{
    m_mainOverride = reset ? 0 : main;
    m_subOverride = reset ? 0 : sub;
}

bool clsKV6Branding::ResourceBytes(int id, QByteArray &bytes) const
{
    QFile f(imagePath(id));
    if (f.fileName().isEmpty() || !f.open(QIODevice::ReadOnly))
        return false;
    bytes = f.readAll();
    return true;
}

bool clsKV6Branding::WriteBytesToFile(const QByteArray &bytes, const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write(bytes) == bytes.size();
}

clsKV6Branding &Branding()
{
    if (!g_branding)
        g_branding = std::make_unique<clsKV6Branding>(CommonFolder());
    return *g_branding;
}

void CreateBranding(const QString &commonFolder)
{
    g_branding = std::make_unique<clsKV6Branding>(commonFolder);
}

QImage BuiltInReportLogo()
{
    static const QImage logo = [] {
        initAppResources();
        return QImage(QStringLiteral(":/kv6/report300.png"));
    }();
    return logo;
}

void ResetReportBranding()
{
    Branding().OverrideReportColors(0, 0, true);
    const QImage logo = Branding().ReportLogo();
    SetStartupValue(&StartupValues::ReportLogoPicture, logo.isNull() ? BuiltInReportLogo() : logo);
}

void ApplyUserReportLogo(const QImage &logo)
{
    if (logo.isNull())
        return;
    clsKV6Branding &b = Branding();
    b.OverrideReportColors(b.ReportColorMain(), UserLogoSubColor, false);
    SetStartupValue(&StartupValues::ReportLogoPicture, logo);
}

QString ScheduledReportName(const QString &name)
{
    return MakeValidFileName(Branding().ProductName(), QStringLiteral(" "))
        + QStringLiteral(" Report - ") + MakeValidFileName(name, QStringLiteral("_"));
}

} // namespace kv6
