#include "render/reportrender.h"
#include "base/startupvalues.h"

#include "chart/chart.h"
#include "render/reportchartrender.h"

#include "app/branding.h"
#include "base/langstrings.h"
#include "report/dateselector.h"
#include "report/report.h"
#include "vbcore/vbdate.h"
#include "vbcore/vbdatetext.h"

#include <QDir>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <pwd.h>
#include <unistd.h>

namespace kv6 {

using engine::FieldKind;
using engine::ReportEngine;
using LayoutField = engine::Field;

namespace {

constexpr int White = 16777215;
constexpr int AlternateGrey = 15790320; // RGB(240, 240, 240)

constexpr int rgb(int r, int g, int b)
{
    return r + 256 * g + 65536 * b;
}

QString layoutPath(const QString &fileName)
{
    if (fileName.contains(QLatin1Char('/')) || fileName.contains(QLatin1Char('\\')))
        return QString(fileName).replace(QLatin1Char('\\'), QLatin1Char('/'));
    return Startup().DefinitionsFolder + QLatin1Char('/') + fileName;
}

QString shortDate(const QDate &day)
{
    return VbLocale().toString(day, ShortDateFormat(VbLocale()));
}

QString withDates(QString text, const QDateTime &from, const QDateTime &to)
{
    if (IsVbZeroDate(from))
        return text;
    text.replace(QLatin1String("%from"), shortDate(from.date()));
    text.replace(QLatin1String("%to"), shortDate(to.date()));
    return text;
}

// A literal text: a leading "=" would make the engine evaluate it.
void setLiteral(LayoutField &field, const QString &text)
{
    field.calculated = false;
    field.text = text.startsWith(QLatin1Char('=')) ? QLatin1Char(' ') + text : text;
}

QString loginName()
{
    if (const passwd *pw = getpwuid(getuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

QString parameterValueText(const clsReportParameter &p)
{
    const auto day = [](const QVariant &v) {
        if (v.typeId() == QMetaType::QDateTime)
            return v.toDateTime().date();
        if (v.typeId() == QMetaType::QDate)
            return v.toDate();
        return QDate::fromString(v.toString().left(10), Qt::ISODate);
    };
    if (p.ParameterType() == clsReportParameter::DateRange) {
        const QString type = p.Value3().isNull()
            ? GetLangString(897)
            : clsDateSelector::SearchTypeDescription(p.Value3().toInt());
        return shortDate(day(p.Value1())) + QStringLiteral(" - ") + shortDate(day(p.Value2()))
            + QStringLiteral("  (") + type + QLatin1Char(')');
    }
    return p.Value1().isNull() ? GetLangString(897) : p.Value1().toString();
}

} // namespace

bool clsReportRender::MeasureText(const QString &text, const engine::FontSpec &font, QSizeF &twips)
{
    // Measured at the engine's own resolution, so the result matches how the page draws it.
    QImage probe(1, 1, QImage::Format_ARGB32);
    probe.setDotsPerMeterX(int(1440 / 0.0254));
    probe.setDotsPerMeterY(int(1440 / 0.0254));
    QFont f = font.toQFont();
    const QFontMetricsF metrics(f, &probe);
    const QRectF r
        = metrics.boundingRect(QRectF(0, 0, 1e7, 1e7), Qt::AlignLeft | Qt::AlignTop, text);
    if (r.isEmpty() && !text.isEmpty())
        return false;
    const double perInch = probe.logicalDpiX();
    if (perInch <= 0)
        return false;
    // A little air, so a font that renders wider than it measures does not clip.
    twips = QSizeF(r.width() / perInch * 1440 + 60, r.height() / probe.logicalDpiY() * 1440);
    return true;
}

bool clsReportRender::PrepareToRender(clsReport &report, EngineArray &engines, bool printCover,
    QString *error, const QString &databaseDescription)
{
    if (engines.empty())
        engines.push_back(std::make_unique<ReportEngine>());
    ReportEngine &main = *engines.front();
    main.setIndex(0);
    if (!main.load(layoutPath(report.FileName()), report.Name(), error))
        return false;
    main.layout().continuedCaption = GetLangString(2475);
    if (RecordsetPtr data = report.ReportData()) {
        data->MoveFirst();
        main.setRecordset(data);
    }

    const ReportList &subs = report.SubReports();
    for (int i = 1; i <= subs.count(); ++i) {
        clsReport &sub = **subs.item(i);
        auto element = std::make_unique<ReportEngine>();
        element->setIndex(int(engines.size()));
        const QString file = sub.FileName().isEmpty() ? report.FileName() : sub.FileName();
        if (!element->load(layoutPath(file), sub.Name(), error))
            return false;
        if (RecordsetPtr data = sub.ReportData()) {
            data->MoveFirst();
            element->setRecordset(data);
        }
        if (LayoutField *holder = main.Fields().item(
                report.SubReportField().isEmpty() ? sub.SubReportField() : report.SubReportField());
            holder)
            holder->subreport = element.get();
        else if (LayoutField *own = main.Fields().item(sub.SubReportField()))
            own->subreport = element.get();
        engines.push_back(std::move(element));
    }

    report.InitializeCharts();
    if (LayoutField *logo = main.Fields().item(QStringLiteral("picLogo")))
        logo->picture = engine::Picture::fromImage(Startup().ReportLogoPicture);
    prepareLayout(report, main);
    if (printCover)
        addCoverPage(report, main, databaseDescription);
    LocaliseLabels(main);
    return true;
}

void clsReportRender::prepareLayout(clsReport &report, ReportEngine &engine)
{
    const int main = int(Branding().ReportColorMain());
    QDateTime from, to;
    report.GetDateRange(from, to);
    double available = std::floor(engine.width());
    if (!report.SubTitle().isEmpty())
        available /= 2;

    LayoutField *title = engine.Fields().item(QStringLiteral("lblTitle"));
    if (title) {
        if (report.Title().isEmpty()) {
            title->visible = false;
        } else {
            const QString text = withDates(report.Title(), from, to);
            QSizeF size;
            if (MeasureText(text, title->font, size)) {
                title->width = std::min(size.width(), available);
                title->height = size.height();
            } else {
                title->width = available;
                title->canGrow = true;
            }
            setLiteral(*title, text);
            title->foreColor = main;
            title->visible = true;
        }
    }
    if (LayoutField *sub = engine.Fields().item(QStringLiteral("lblSubTitle"))) {
        const bool hasTitle = title && !report.Title().isEmpty();
        if (report.SubTitle().isEmpty()) {
            sub->visible = false;
        } else {
            QString text = withDates(report.SubTitle(), from, to);
            if (hasTitle)
                text = QStringLiteral(" - ") + text;
            setLiteral(*sub, text);
            sub->align = engine::AlignRightTop;
            QSizeF size;
            const bool measured = MeasureText(text, sub->font, size);
            sub->width = measured ? std::min(size.width(), available) : available;
            const double height = measured ? size.height() : (title ? title->height : sub->height);
            if (hasTitle) {
                sub->left = title->left + title->width;
                sub->top = title->top + std::max(0.0, (title->height - height) / 2);
            } else {
                sub->left = 0;
                sub->top = title ? title->top + title->height : sub->top;
            }
            sub->height = height;
            sub->foreColor = main;
            sub->visible = true;
        }
    }
    if (LayoutField *header = engine.Fields().item(QStringLiteral("rctColHeader"))) {
        header->backColor = rgb(210, 210, 210);
        header->backOpaque = true;
    }
    if (LayoutField *line = engine.Fields().item(QStringLiteral("linSeparate")))
        line->borderColor = main;

    const QString alternate = report.SectionToAlternate();
    if (!alternate.isEmpty()) {
        if (engine::Section *s = engine.layout().section(alternate)) {
            if (!engine.Fields().item(QStringLiteral("ctlAlternate"))) {
                if (LayoutField *counter = engine.Fields().Add(
                        QStringLiteral("ctlAlternate"), QStringLiteral("0"), 0, 0, 0, 0)) {
                    counter->visible = false;
                    counter->section = engine::SectionHeader;
                }
            }
            const QString n = s->name;
            const QStringList lines = { QStringLiteral("If (ctlAlternate = 0) Then"),
                QStringLiteral("[%1].BackColor = %2").arg(n).arg(White),
                QStringLiteral("ctlAlternate = 1"), QStringLiteral("Else"),
                QStringLiteral("[%1].BackColor = %2").arg(n).arg(AlternateGrey),
                QStringLiteral("ctlAlternate = 0"), QStringLiteral("End If") };
            s->onFormat += QStringLiteral("\r\n") + lines.join(QStringLiteral("\r\n"));
        }
    }
    if (LayoutField *company = engine.Fields().item(QStringLiteral("lblFooterCompany"))) {
        company->foreColor = main;
        setLiteral(*company, Branding().ReportFooter());
    }
    for (const char *name : { "lblFooterDate", "lblFooterPages" }) {
        if (LayoutField *f = engine.Fields().item(QLatin1String(name)))
            f->foreColor = main;
    }
}

void clsReportRender::SetFormatting(
    clsReport &report, ReportEngine &engine, const QFont &reportFont, bool showPageNumbers)
{
    ApplyReportStyle(engine, reportFont);
    for (LayoutField *f : engine.Fields().all()) {
        if (f->kind == FieldKind::Text
            && (f->format.startsWith(QLatin1Char('$'))
                || f->format.compare(QLatin1String("currency"), Qt::CaseInsensitive) == 0)
            && f->tag.compare(QLatin1String("fmt"), Qt::CaseInsensitive) != 0) {
            f->format.clear();
            f->text = QStringLiteral("FormatCurrency(%1, %2)")
                          .arg(f->isExpression() ? f->expression() : f->text)
                          .arg(report.NumDecimals());
            f->calculated = true;
        }
        if (f->name.compare(QLatin1String("lblFooterPages"), Qt::CaseInsensitive) == 0
            && !showPageNumbers)
            f->visible = false;
    }
}

void clsReportRender::ApplyReportStyle(ReportEngine &engine, const QFont &reportFont)
{
    const int main = int(Branding().ReportColorMain());
    const int sub = int(Branding().ReportColorSub());
    const engine::FontSpec chosen = engine::FontSpec::fromQFont(reportFont);
    const double defaultSize = engine.font().size;
    for (LayoutField *f : engine.Fields().all()) {
        if (f->name.startsWith(QLatin1String("clr"), Qt::CaseInsensitive)) {
            f->foreColor = main;
            f->borderColor = main;
        }
        if (f->name.compare(QLatin1String("rctColHeader"), Qt::CaseInsensitive) == 0) {
            f->backColor = sub;
            f->backOpaque = true;
        }
        if (!reportFont.family().isEmpty()) {
            f->font.name = chosen.name;
            f->font.charset = chosen.charset;
            if (qFuzzyCompare(f->font.size, defaultSize))
                f->font.size = chosen.size;
        }
    }
}

bool clsReportRender::RenderCharts(clsReport &report, ReportEngine &engine, chart::Chart &chart,
    int section, const QFont &reportFont, QString *error)
{
    const ReportCharts &charts = report.Charts();
    const RecordsetPtr data = report.ReportData();
    for (int i = 1; i <= charts.count() && data; ++i) {
        clsReportChart &definition = **charts.item(i);
        LayoutField *field = engine.Fields().item(definition.DestField());
        if (!field || field->section != section)
            continue;
        QPicture picture;
        const int w = int(field->width);
        const int h = int(field->height);
        // The data set's cursor belongs to the engine; charts read from a bookmark of their own.
        const QVariant position = data->Eof() || data->Bof() ? QVariant() : data->Bookmark();
        const bool drawn
            = RenderChartPicture(chart, definition, reportFont, *data, w, h, picture, error);
        if (position.isValid())
            data->SetBookmark(position);
        if (!drawn)
            return false;
        field->kind = FieldKind::Picture;
        field->pictureScale = ChartPictureScaling;
        // The chart lays itself out at 96 units per inch over the field's size.
        field->picture
            = engine::Picture::fromVector(picture, QRectF(0, 0, w / 15.0, h / 15.0), QSizeF(w, h));
    }
    return true;
}

void clsReportRender::LocaliseLabels(ReportEngine &engine)
{
    for (LayoutField *f : engine.Fields().all()) {
        if (f->subreport) {
            LocaliseLabels(*f->subreport);
            continue;
        }
        if (f->kind != FieldKind::Text || f->calculated)
            continue;
        if (f->name.endsWith(QLatin1String("Value"), Qt::CaseInsensitive))
            continue;
        bool numeric = false;
        const int id = f->text.trimmed().toInt(&numeric);
        if (!numeric)
            continue;
        const QString text = GetLangString(id);
        if (!text.isEmpty())
            setLiteral(*f, QString(text).replace(QLatin1Char('~'), QLatin1Char('"')));
    }
}

void clsReportRender::addCoverPage(
    clsReport &report, ReportEngine &engine, const QString &databaseDescription)
{
    engine::Section *header = engine.Sections(engine::SectionHeader);
    if (!header)
        return;
    header->forcePageBreak = engine::BreakAfter;
    // The cover stands alone: the running page header starts on the first page of data.
    engine.layout().pageHeaderOnFirstPage = false;
    header->visible = true;
    header->canGrow = true;

    const double width = engine.width();
    const int main = int(Branding().ReportColorMain());
    const int grey = rgb(100, 100, 100);
    constexpr double labelLeft = 120;
    constexpr double labelWidth = 1800;
    double top = 0;
    double lastHeight = 0;
    const auto place = [&](const QString &name, const QString &text, double gap, double left,
                           double w, double h) -> LayoutField * {
        top += lastHeight + gap;
        LayoutField *f = engine.Fields().Add(name, QString(), left, top, w, h);
        if (!f)
            return nullptr;
        setLiteral(*f, text);
        f->section = engine::SectionHeader;
        lastHeight = h;
        return f;
    };
    const auto line = [&](const QString &name, double gap, int colour, double lineWidth) {
        LayoutField *f = place(name, QString(), gap, 0, width, 20);
        if (f) {
            // A line runs from its top left to its bottom right: keep it level, 20 twips of room.
            f->height = 0;
            f->top += 10;
            f->kind = FieldKind::Line;
            f->borderStyle = 1;
            f->borderColor = colour;
            f->lineWidth = lineWidth;
        }
    };
    // A label and, to its right on the same line, its value.
    const auto row = [&](const QString &label, int caption, const QString &valueName,
                         const QString &value, double gap) {
        LayoutField *l = place(label, GetLangString(caption), gap, labelLeft, labelWidth, 300);
        if (!l)
            return;
        l->font.bold = true;
        LayoutField *v = engine.Fields().Add(valueName, QString(), labelLeft + labelWidth, l->top,
            std::max(0.0, width - labelLeft - labelWidth), 300);
        if (v) {
            setLiteral(*v, value);
            v->section = engine::SectionHeader;
            v->canGrow = true;
        }
    };

    if (LayoutField *logo = place(QStringLiteral("pichdrLogo"), QString(), 0, 0, 0, 0)) {
        logo->kind = FieldKind::Picture;
        logo->picture = engine::Picture::fromImage(Startup().ReportLogoPicture);
        const QSizeF natural = logo->picture.sizeTwips();
        logo->width = natural.width();
        logo->height = natural.height();
        lastHeight = logo->height;
    }
    line(QStringLiteral("lblhdrLine"), 180, main, 50);
    if (LayoutField *title
        = place(QStringLiteral("lblhdrReportTitle"), report.Caption(), 120, 0, width, 600)) {
        title->font.size = 20;
        title->font.bold = true;
        title->foreColor = main;
        title->canGrow = true;
    }
    const auto captionBlock = [&](const QString &lineName, const QString &captionName, int caption,
                                  const QString &line2Name) {
        line(lineName, 240, grey, 0);
        if (LayoutField *c
            = place(captionName, GetLangString(caption), 60, labelLeft, width - labelLeft, 360)) {
            c->font.bold = true;
            c->font.size = 11;
            c->foreColor = main;
        }
        line(line2Name, 0, grey, 0);
    };
    captionBlock(QStringLiteral("lblhdrDescLine"), QStringLiteral("lblhdrDesc"), 880,
        QStringLiteral("lblhdrDescLine2"));
    if (LayoutField *d = place(QStringLiteral("lblhdrReportDesc"), report.Description(), 120,
            labelLeft, width - labelLeft, 300))
        d->canGrow = true;
    captionBlock(QStringLiteral("lblhdrCreatedLine"), QStringLiteral("lblhdrCreated"), 881,
        QStringLiteral("lblhdrCreatedLine2"));
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QDateTime now = QDateTime::currentDateTime();
    row(QStringLiteral("lblhdrReport"), 882, QStringLiteral("lblhdrReportValue"), report.Name(),
        120);
    row(QStringLiteral("lblhdrUser"), 883, QStringLiteral("lblhdrUserName"), loginName(), 120);
    row(QStringLiteral("lblhdrDate"), 884, QStringLiteral("lblhdrDateValue"),
        VbLocale().toString(now.date(), QStringLiteral("MMM dd, yyyy")) + QLatin1Char(' ')
            + GetLangString(885) + QLatin1Char(' ')
            + english.toString(now.time(), QStringLiteral("hh:mm:ss AP")),
        60);
    row(QStringLiteral("lblhdrDatabase"), 886, QStringLiteral("lblhdrDatebaseValue"),
        databaseDescription, 60);
    captionBlock(QStringLiteral("lblhdrParamLine"), QStringLiteral("lblhdrParameters"), 887,
        QStringLiteral("lblhdrParamLine2"));
    row(QStringLiteral("lblhdrFilter"), 888, QStringLiteral("lblhdrFilterValue"),
        GetLangString(report.UseFilters() ? 889 : 890), 120);
    row(QStringLiteral("lblhdrGroup"), 891, QStringLiteral("lblhdrGroupValue"),
        GetLangString(report.UseGroups() ? 892 : 893), 120);
    row(QStringLiteral("lblhdrEstCost"), 894, QStringLiteral("lblhdrEstCostValue"),
        GetLangString(report.UseEstCosts() ? 895 : 896), 120);

    const ReportParametersPtr params = report.Parameters();
    if (params && params->count() >= 2) {
        for (int i = 1; i <= params->count(); ++i) {
            const clsReportParameter &p = **params->item(i);
            if (p.ParameterType() == clsReportParameter::CompanyId || !p.Display())
                continue;
            const QString name = QStringLiteral("lblhdr") + p.Label();
            top += lastHeight + 60;
            lastHeight = 300;
            if (LayoutField *l
                = engine.Fields().Add(name, QString(), labelLeft, top, labelWidth, 300)) {
                setLiteral(*l, p.Label() + QLatin1Char(':'));
                l->section = engine::SectionHeader;
                l->font.bold = true;
            }
            if (LayoutField *v = engine.Fields().Add(name + QStringLiteral("Value"), QString(),
                    labelLeft + labelWidth, top, std::max(0.0, width - labelLeft - labelWidth),
                    300)) {
                setLiteral(*v, parameterValueText(p));
                v->section = engine::SectionHeader;
            }
        }
    }
    header->height = std::max(header->height, top + lastHeight + 240);
}

} // namespace kv6
