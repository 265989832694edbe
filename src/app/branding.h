#pragma once

// Product names, report colours, logos, icons and splash pictures, re-brandable without a
// rebuild: read from the folder common/kvmark/ (strings.txt in the language-table format, images
// named by resource id such as 114.png), each with a built-in default.

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QString>

namespace kv6 {

class clsKV6Branding
{
public:
    // The folder holding kvmark/; a missing folder leaves every default in force.
    explicit clsKV6Branding(const QString &commonFolder);

    QString CompanyName() const;
    QString CompanyNameFull() const;
    QString ProductName() const;
    QString CompanyURL() const;
    quint32 ReportColorMain() const;
    quint32 ReportColorSub() const;
    QString ReportFooter() const;
    QImage ReportLogo() const;
    QImage WizardPanel() const;
    QImage ClientLogo() const;
    QImage AdminHeaderLogo() const;
    QImage DBMaintenancePanel() const;
    QImage ClientIcon(int width, int height) const;
    QImage AboutIcon(int width, int height) const;
    QImage SplashScreen(int index) const;
    QString ApplicationName(int index) const;

    // reset clears both overrides; otherwise they are set (0 means "no override").
    void OverrideReportColors(quint32 main, quint32 sub, bool reset);

    // The raw bytes of an image resource, and writing them out to a file.
    bool ResourceBytes(int id, QByteArray &bytes) const;
    static bool WriteBytesToFile(const QByteArray &bytes, const QString &path);

    bool loaded() const { return m_loaded; }

private:
    QString stringResource(int id, const QString &fallback) const;
    quint32 colorResource(int id, const char *fallback, quint32 override) const;
    QString imagePath(int id) const;
    QImage bitmap(int id) const;
    QImage icon(int id, int width, int height) const;

    QString m_folder;
    bool m_loaded = false;
    QHash<int, QString> m_strings;
    quint32 m_mainOverride = 0;
    quint32 m_subOverride = 0;
};

// The process-wide branding instance, created by start-up (or by a test) from a common folder.
clsKV6Branding &Branding();
void CreateBranding(const QString &commonFolder);

// Clears the colour overrides and sets the report logo picture to the branding's logo, else the
// program's own picture 300.
void ResetReportBranding();
// A logo the user keeps in the database: it replaces the report logo and greys the sub colour.
void ApplyUserReportLogo(const QImage &logo);
QImage BuiltInReportLogo();

inline constexpr quint32 UserLogoSubColor = 13816530; // 0xD2D2D2

// The scheduler's task name for a report or proposal.
QString ScheduledReportName(const QString &name);

} // namespace kv6
