#pragma once

// The layout model of the banded report engine and its XML file format (described for layout
// authors in data/reports/LAYOUT.md). A layout file holds several reports by name; a report has
// a page, sections by index, groups and a collection of fields placed in the sections. All
// positions and sizes are twips; colours are 0x00BBGGRR integers.

#include "engine/graphics.h"
#include "vbcore/keyedcollection.h"

#include <QList>
#include <QMarginsF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <memory>

namespace kv6::engine {

class ReportEngine;

// Section indices. Group n (1-based) has its header at GroupHeader(n) and footer after it.
enum SectionIndex : int {
    SectionDetail = 0,
    SectionHeader = 1, // report header: once, before everything
    SectionPageHeader = 2,
    SectionPageFooter = 3,
    SectionFooter = 4, // report footer: once, after everything
    SectionFirstGroup = 5,
};
constexpr int GroupHeaderSection(int group)
{
    return SectionFirstGroup + 2 * (group - 1);
}
constexpr int GroupFooterSection(int group)
{
    return SectionFirstGroup + 2 * (group - 1) + 1;
}

// Text alignment codes: horizontal third by code / 3, vertical by code % 3; 9 aligns numbers
// and dates right and everything else left, at the top.
enum AlignCode : int {
    AlignLeftTop = 0,
    AlignLeftMiddle = 1,
    AlignLeftBottom = 2,
    AlignCenterTop = 3,
    AlignCenterMiddle = 4,
    AlignCenterBottom = 5,
    AlignRightTop = 6,
    AlignRightMiddle = 7,
    AlignRightBottom = 8,
    AlignGeneral = 9,
};
Qt::Alignment qtAlignment(int code, bool numeric = false);

// Page break codes of a section.
enum PageBreak : int { BreakNone = 0, BreakBefore = 1, BreakAfter = 2, BreakBeforeAndAfter = 3 };

// Border and line styles: 0 none, 1 solid, 2 dash, 3 dot, 4 dash-dot, 5 dash-dot-dot.
Qt::PenStyle penStyle(int borderStyle);

enum class FieldKind { Text, Line, Rectangle, Picture };

struct Field
{
    QString name;
    FieldKind kind = FieldKind::Text;
    // A literal, or an expression when `calculated` is set or the text starts with "=".
    QString text;
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    int foreColor = 0;
    int backColor = 0xFFFFFF;
    bool backOpaque = false; // the back colour is painted only when set
    int borderStyle = 0;
    int borderColor = 0;
    double lineWidth = 0; // twips; 0 draws the thinnest line the device has
    bool visible = true;
    QString format; // applied to calculated values (Format's format strings)
    int align = AlignLeftTop;
    QString tag;
    bool calculated = false;
    FontSpec font;
    Picture picture;
    int pictureScale = PictureClip;
    bool canGrow = false;
    bool canShrink = false;
    bool wordWrap = true;
    int section = SectionDetail;
    // Rendered inside this field when set; the host owns the engine.
    ReportEngine *subreport = nullptr;
    // The report the file names for the subreport (the host loads and attaches it).
    QString subreportName;

    bool isExpression() const;
    // The expression text without a leading "=".
    QString expression() const;
};

struct Section
{
    QString name;
    bool visible = true;
    double height = 0;
    bool canGrow = false;
    bool canShrink = false;
    int forcePageBreak = BreakNone;
    int backColor = 0xFFFFFF;
    bool keepTogether = true; // moved whole to the next page rather than split
    QString onFormat; // statements run each time the section is formatted
};

struct Group
{
    QString name;
    QString groupBy; // an expression; a new group starts where its value changes
    int sort = 0; // 0 as the data comes, 1 ascending, 2 descending (stable)
    int keepTogether = 0; // 0 no, 1 the whole group on one page, 2 the header with its first row
};

// The fields of a report in order, found by name without regard to case or by 1-based index.
// Fields keep their address for as long as they are in the collection.
class FieldCollection
{
public:
    FieldCollection() = default;
    FieldCollection(const FieldCollection &other);
    FieldCollection &operator=(const FieldCollection &other);
    FieldCollection(FieldCollection &&) = default;
    FieldCollection &operator=(FieldCollection &&) = default;

    int count() const { return m_items.count(); }
    Field *item(int index);
    const Field *item(int index) const;
    Field *item(const QString &name);
    const Field *item(const QString &name) const;
    int indexOf(const QString &name) const { return m_items.indexOf(name); }
    // A text field in the detail section; null when the name is taken.
    Field *Add(const QString &name, const QString &text, double left, double top, double width,
        double height);
    Field *add(const Field &field);
    bool remove(const QString &name) { return m_items.remove(name); }
    void clear() { m_items.clear(); }

    QList<Field *> all();
    QList<const Field *> all() const;

private:
    KeyedCollection<std::shared_ptr<Field>> m_items;
};

class ReportLayout
{
public:
    ReportLayout();

    QString name;
    // The layout file it was read from, named in render errors; empty when read from memory.
    QString fileName;
    // Width of the layout in twips; 0 takes the page's width between the margins.
    double width = 0;
    // Paper size in twips, portrait; empty takes A4 or Letter by the system's territory.
    QSizeF paperSize;
    bool landscape = false;
    QMarginsF margins { 1440, 1440, 1440, 1440 };
    FontSpec font; // the default font of fields that name none
    QString script; // procedures and globals the expressions and section scripts may use
    bool pageHeaderOnFirstPage = true;
    bool pageFooterOnFirstPage = true;
    // Shown on the group headers repeated above rows continued from the previous page; the host
    // sets it in the user's language.
    QString continuedCaption;
    FieldCollection fields;

    // The page's size in twips with the orientation applied.
    QSizeF pageSize() const;
    double layoutWidth() const;

    int sectionCount() const { return int(m_sections.size()); }
    // Out-of-range indices give null.
    Section *section(int index);
    const Section *section(int index) const;
    Section *section(const QString &name);
    const Section *section(const QString &name) const;
    int sectionIndex(const QString &name) const; // -1 when absent
    QList<Field *> sectionFields(int index);
    QList<const Field *> sectionFields(int index) const;

    int groupCount() const { return int(m_groups.size()); }
    Group &group(int number) { return m_groups[number - 1]; } // 1-based
    const Group &group(int number) const { return m_groups.at(number - 1); }
    // Appends an innermost group with its header and footer sections; returns its number.
    int addGroup(const Group &group);

    static QString defaultSectionName(int index);

private:
    QList<Section> m_sections;
    QList<Group> m_groups;
};

// Reading and writing layout files. Errors carry the file, the report, line and column where
// known.
QStringList layoutReportNames(const QString &path, QString *error = nullptr);
bool loadLayout(
    const QString &path, const QString &reportName, ReportLayout &layout, QString *error = nullptr);
// `baseDir` resolves relative picture paths.
bool loadLayoutXml(const QByteArray &xml, const QString &reportName, ReportLayout &layout,
    QString *error = nullptr, const QString &baseDir = {});
QByteArray layoutsToXml(const QList<ReportLayout> &reports);
bool saveLayouts(const QString &path, const QList<ReportLayout> &reports, QString *error = nullptr);

} // namespace kv6::engine
