#include "engine/layout.h"

#include "base/textfile.h"
#include "engine/previewdocument.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>
#include <limits>

namespace kv6::engine {

Qt::Alignment qtAlignment(int code, bool numeric)
{
    if (code == AlignGeneral)
        return (numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop;
    if (code < 0 || code > AlignRightBottom)
        code = AlignLeftTop;
    static const Qt::Alignment h[] = { Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight };
    static const Qt::Alignment v[] = { Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom };
    return h[code / 3] | v[code % 3];
}

Qt::PenStyle penStyle(int borderStyle)
{
    switch (borderStyle) {
    case 1:
        return Qt::SolidLine;
    case 2:
        return Qt::DashLine;
    case 3:
        return Qt::DotLine;
    case 4:
        return Qt::DashDotLine;
    case 5:
        return Qt::DashDotDotLine;
    default:
        return Qt::NoPen;
    }
}

bool Field::isExpression() const
{
    return calculated || text.startsWith(u'=');
}

QString Field::expression() const
{
    return text.startsWith(u'=') ? text.mid(1) : text;
}

// ---- FieldCollection

FieldCollection::FieldCollection(const FieldCollection &other)
{
    *this = other;
}

FieldCollection &FieldCollection::operator=(const FieldCollection &other)
{
    if (this == &other)
        return *this;
    m_items.clear();
    for (int i = 1; i <= other.count(); ++i)
        m_items.add(std::make_shared<Field>(**other.m_items.item(i)), other.m_items.keyAt(i));
    return *this;
}

Field *FieldCollection::item(int index)
{
    auto *p = m_items.item(index);
    return p ? p->get() : nullptr;
}

const Field *FieldCollection::item(int index) const
{
    auto *p = m_items.item(index);
    return p ? p->get() : nullptr;
}

Field *FieldCollection::item(const QString &name)
{
    auto *p = m_items.item(name);
    return p ? p->get() : nullptr;
}

const Field *FieldCollection::item(const QString &name) const
{
    auto *p = m_items.item(name);
    return p ? p->get() : nullptr;
}

Field *FieldCollection::Add(
    const QString &name, const QString &text, double left, double top, double width, double height)
{
    Field f;
    f.name = name;
    f.text = text;
    f.left = left;
    f.top = top;
    f.width = width;
    f.height = height;
    return add(f);
}

Field *FieldCollection::add(const Field &field)
{
    auto p = std::make_shared<Field>(field);
    if (m_items.add(p, field.name) != KeyedCollection<std::shared_ptr<Field>>::Result::Ok)
        return nullptr;
    return p.get();
}

QList<Field *> FieldCollection::all()
{
    QList<Field *> out;
    out.reserve(count());
    for (const auto &p : m_items)
        out.append(p.get());
    return out;
}

QList<const Field *> FieldCollection::all() const
{
    QList<const Field *> out;
    out.reserve(count());
    for (const auto &p : m_items)
        out.append(p.get());
    return out;
}

// ---- ReportLayout

ReportLayout::ReportLayout()
{
    for (int i = 0; i < SectionFirstGroup; ++i) {
        Section s;
        s.name = defaultSectionName(i);
        m_sections.append(s);
    }
}

QString ReportLayout::defaultSectionName(int index)
{
    switch (index) {
    case SectionDetail:
        return QStringLiteral("Detail");
    case SectionHeader:
        return QStringLiteral("Header");
    case SectionPageHeader:
        return QStringLiteral("PageHeader");
    case SectionPageFooter:
        return QStringLiteral("PageFooter");
    case SectionFooter:
        return QStringLiteral("Footer");
    default: {
        const int g = (index - SectionFirstGroup) / 2 + 1;
        return ((index - SectionFirstGroup) % 2 ? QStringLiteral("GroupFooter")
                                                : QStringLiteral("GroupHeader"))
            + QString::number(g);
    }
    }
}

QSizeF ReportLayout::pageSize() const
{
    QSizeF s = paperSize.isEmpty() ? pageSizeTwips(defaultPageSize()) : paperSize;
    if (landscape != (s.width() > s.height()))
        s.transpose();
    return s;
}

double ReportLayout::layoutWidth() const
{
    if (width > 0)
        return width;
    return std::max(0.0, pageSize().width() - margins.left() - margins.right());
}

Section *ReportLayout::section(int index)
{
    return index >= 0 && index < m_sections.size() ? &m_sections[index] : nullptr;
}

const Section *ReportLayout::section(int index) const
{
    return index >= 0 && index < m_sections.size() ? &m_sections[index] : nullptr;
}

int ReportLayout::sectionIndex(const QString &name) const
{
    for (int i = 0; i < m_sections.size(); ++i) {
        if (m_sections[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

Section *ReportLayout::section(const QString &name)
{
    return section(sectionIndex(name));
}

const Section *ReportLayout::section(const QString &name) const
{
    return section(sectionIndex(name));
}

QList<Field *> ReportLayout::sectionFields(int index)
{
    QList<Field *> out;
    for (Field *f : fields.all()) {
        if (f->section == index)
            out.append(f);
    }
    return out;
}

QList<const Field *> ReportLayout::sectionFields(int index) const
{
    QList<const Field *> out;
    for (const Field *f : fields.all()) {
        if (f->section == index)
            out.append(f);
    }
    return out;
}

int ReportLayout::addGroup(const Group &group)
{
    m_groups.append(group);
    const int n = int(m_groups.size());
    for (int index : { GroupHeaderSection(n), GroupFooterSection(n) }) {
        Section s;
        s.name = defaultSectionName(index);
        m_sections.append(s);
    }
    return n;
}

// ---- reading

namespace {

struct PaperName
{
    const char *name;
    QPageSize::PageSizeId id;
};
const PaperName paperNames[] = {
    { "A4", QPageSize::A4 },
    { "Letter", QPageSize::Letter },
    { "Legal", QPageSize::Legal },
    { "A3", QPageSize::A3 },
    { "A5", QPageSize::A5 },
    { "Executive", QPageSize::Executive },
    { "B5", QPageSize::B5 },
};

struct SectionType
{
    const char *name;
    int index; // -1 / -2: group header / footer
};
const SectionType sectionTypes[] = {
    { "Detail", SectionDetail },
    { "Header", SectionHeader },
    { "PageHeader", SectionPageHeader },
    { "PageFooter", SectionPageFooter },
    { "Footer", SectionFooter },
    { "GroupHeader", -1 },
    { "GroupFooter", -2 },
};

// "file, report "R", line 3, column 7" with the parts that are known.
QString place(const QString &file, const QString &report, int line, int column = 0)
{
    QStringList parts;
    if (!file.isEmpty())
        parts << file;
    if (!report.isEmpty())
        parts << QStringLiteral("report \"%1\"").arg(report);
    if (line > 0)
        parts << QStringLiteral("line %1").arg(line);
    if (column > 0)
        parts << QStringLiteral("column %1").arg(column);
    return parts.join(QStringLiteral(", "));
}

class Reader
{
public:
    Reader(QString file, QString reportName, QString baseDir)
        : m_file(std::move(file))
        , m_report(std::move(reportName))
        , m_baseDir(std::move(baseDir))
    { }

    QString error;

    bool fail(const QDomNode &at, const QString &what)
    {
        error = place(m_file, m_report, at.lineNumber()) + QStringLiteral(": ") + what;
        return false;
    }

    bool number(const QDomElement &e, const char *attr, double &out)
    {
        const QString name = QString::fromLatin1(attr);
        if (!e.hasAttribute(name))
            return true;
        bool ok = false;
        const double v = e.attribute(name).trimmed().toDouble(&ok);
        // "inf" and "nan" parse, but no size or position can be either.
        if (!ok || !std::isfinite(v))
            return fail(e,
                QStringLiteral("%1 of %2 is not a number: \"%3\"")
                    .arg(name, describe(e), ExcerptForMessage(e.attribute(name))));
        out = v;
        return true;
    }

    bool integer(const QDomElement &e, const char *attr, int &out)
    {
        double d = out;
        if (!number(e, attr, d))
            return false;
        if (d < double(std::numeric_limits<int>::min())
            || d > double(std::numeric_limits<int>::max()))
            return fail(e,
                QStringLiteral("%1 of %2 is out of range: \"%3\"")
                    .arg(QString::fromLatin1(attr), describe(e),
                        ExcerptForMessage(e.attribute(QString::fromLatin1(attr)))));
        out = int(d);
        return true;
    }

    bool boolean(const QDomElement &e, const char *attr, bool &out)
    {
        const QString name = QString::fromLatin1(attr);
        if (!e.hasAttribute(name))
            return true;
        const QString v = e.attribute(name).trimmed().toLower();
        if (v == u"1" || v == u"-1" || v == u"true" || v == u"yes")
            out = true;
        else if (v == u"0" || v == u"false" || v == u"no")
            out = false;
        else
            return fail(e,
                QStringLiteral("%1 of %2 is not a Boolean: \"%3\"")
                    .arg(name, describe(e), ExcerptForMessage(e.attribute(name))));
        return true;
    }

    // Decimal, or VB's hexadecimal "&H00BBGGRR&"; both in blue-green-red order.
    bool color(const QDomElement &e, const char *attr, int &out)
    {
        const QString name = QString::fromLatin1(attr);
        if (!e.hasAttribute(name))
            return true;
        QString v = e.attribute(name).trimmed();
        bool ok = false;
        qlonglong n = 0;
        if (v.startsWith(QStringLiteral("&H"), Qt::CaseInsensitive)) {
            v = v.mid(2);
            if (v.endsWith(u'&'))
                v.chop(1);
            n = v.toLongLong(&ok, 16);
        } else {
            n = v.toLongLong(&ok, 10);
        }
        if (!ok || n < 0 || n > 0xFFFFFF)
            return fail(e,
                QStringLiteral("%1 of %2 is not a colour: \"%3\"")
                    .arg(name, describe(e), ExcerptForMessage(e.attribute(name))));
        out = int(n);
        return true;
    }

    bool font(const QDomElement &parent, FontSpec &f)
    {
        const QDomElement e = parent.firstChildElement(QStringLiteral("Font"));
        if (e.isNull())
            return true;
        if (e.hasAttribute(QStringLiteral("name")))
            f.name = e.attribute(QStringLiteral("name"));
        return number(e, "size", f.size) && boolean(e, "bold", f.bold)
            && boolean(e, "italic", f.italic) && boolean(e, "underline", f.underline)
            && boolean(e, "strikeOut", f.strikeOut) && integer(e, "charset", f.charset);
    }

    bool picture(const QDomElement &e, Field &f)
    {
        if (e.hasAttribute(QStringLiteral("picture"))) {
            QString path = e.attribute(QStringLiteral("picture"));
            path.replace(u'\\', u'/');
            if (QFileInfo(path).isRelative() && !m_baseDir.isEmpty())
                path = QDir(m_baseDir).filePath(path);
            QString why;
            f.picture = Picture::load(path, &why);
            if (f.picture.isNull())
                return fail(e, why);
        } else if (e.hasAttribute(QStringLiteral("pictureData"))) {
            const QByteArray bytes
                = QByteArray::fromBase64(e.attribute(QStringLiteral("pictureData")).toLatin1());
            QBuffer buffer;
            buffer.setData(bytes);
            if (bytes.startsWith("QPIC")) {
                QPicture pic;
                buffer.open(QIODevice::ReadOnly);
                if (pic.load(&buffer))
                    f.picture = Picture::fromVector(pic);
            } else {
                QImage img;
                if (img.loadFromData(bytes))
                    f.picture = Picture::fromImage(img);
            }
            if (f.picture.isNull())
                return fail(
                    e, QStringLiteral("pictureData of %1 is not a picture").arg(describe(e)));
        }
        return integer(e, "pictureScale", f.pictureScale);
    }

    bool field(const QDomElement &e, const ReportLayout &report, int section, Field &f)
    {
        const QString tag = e.tagName();
        f.section = section;
        f.font = report.font;
        f.name = e.attribute(QStringLiteral("name"));
        if (tag == u"Line") {
            f.kind = FieldKind::Line;
            f.borderStyle = 1;
        } else if (tag == u"Rectangle") {
            f.kind = FieldKind::Rectangle;
            f.borderStyle = 1;
        } else if (tag == u"Picture") {
            f.kind = FieldKind::Picture;
        } else {
            f.kind = FieldKind::Text;
        }
        if (e.hasAttribute(QStringLiteral("text")))
            f.text = e.attribute(QStringLiteral("text"));
        else if (const QDomElement t = e.firstChildElement(QStringLiteral("Text")); !t.isNull())
            f.text = t.text();
        f.format = e.attribute(QStringLiteral("format"));
        f.tag = e.attribute(QStringLiteral("tag"));
        f.subreportName = e.attribute(QStringLiteral("subreport"));
        QString back = e.attribute(QStringLiteral("backStyle")).trimmed().toLower();
        if (!back.isEmpty()) {
            if (back == u"1" || back == u"opaque")
                f.backOpaque = true;
            else if (back == u"0" || back == u"transparent")
                f.backOpaque = false;
            else
                return fail(e, QStringLiteral("backStyle of %1 is not 0 or 1").arg(describe(e)));
        }
        bool ok = number(e, "left", f.left) && number(e, "top", f.top)
            && number(e, "width", f.width) && number(e, "height", f.height)
            && color(e, "foreColor", f.foreColor) && color(e, "backColor", f.backColor)
            && integer(e, "borderStyle", f.borderStyle) && color(e, "borderColor", f.borderColor)
            && number(e, "lineWidth", f.lineWidth) && boolean(e, "visible", f.visible)
            && integer(e, "align", f.align) && boolean(e, "calculated", f.calculated)
            && boolean(e, "canGrow", f.canGrow) && boolean(e, "canShrink", f.canShrink)
            && boolean(e, "wordWrap", f.wordWrap) && font(e, f.font) && picture(e, f);
        if (!ok)
            return false;
        if (f.kind == FieldKind::Line) {
            double x1 = f.left, y1 = f.top, x2 = f.left + f.width, y2 = f.top + f.height;
            if (!number(e, "x1", x1) || !number(e, "y1", y1) || !number(e, "x2", x2)
                || !number(e, "y2", y2) || !color(e, "color", f.borderColor))
                return false;
            f.left = x1;
            f.top = y1;
            f.width = x2 - x1;
            f.height = y2 - y1;
        }
        if (f.align < 0 || f.align > AlignGeneral)
            return fail(e, QStringLiteral("align of %1 is not 0 to 9").arg(describe(e)));
        if (f.borderStyle < 0 || f.borderStyle > 5)
            return fail(e, QStringLiteral("borderStyle of %1 is not 0 to 5").arg(describe(e)));
        return true;
    }

    bool section(const QDomElement &e, ReportLayout &report)
    {
        int index = -1;
        if (e.hasAttribute(QStringLiteral("index"))) {
            if (!integer(e, "index", index))
                return false;
        } else {
            const QString type = e.attribute(QStringLiteral("type"));
            int group = 1;
            if (!integer(e, "group", group))
                return false;
            for (const SectionType &t : sectionTypes) {
                if (type.compare(QLatin1String(t.name), Qt::CaseInsensitive) == 0)
                    index = t.index == -1 ? GroupHeaderSection(group)
                        : t.index == -2   ? GroupFooterSection(group)
                                          : t.index;
            }
            if (index == -1 && type.isEmpty())
                return fail(e, QStringLiteral("a Section needs an index or a type"));
            if (index == -1)
                return fail(
                    e, QStringLiteral("unknown section type \"%1\"").arg(ExcerptForMessage(type)));
        }
        Section *s = report.section(index);
        if (!s)
            return fail(e,
                QStringLiteral("section %1 does not exist (the report has %2 groups)")
                    .arg(index)
                    .arg(report.groupCount()));
        if (e.hasAttribute(QStringLiteral("name")))
            s->name = e.attribute(QStringLiteral("name"));
        if (const QDomElement script = e.firstChildElement(QStringLiteral("Script"));
            !script.isNull())
            s->onFormat = script.text();
        if (!boolean(e, "visible", s->visible) || !number(e, "height", s->height)
            || !boolean(e, "canGrow", s->canGrow) || !boolean(e, "canShrink", s->canShrink)
            || !integer(e, "forcePageBreak", s->forcePageBreak)
            || !color(e, "backColor", s->backColor) || !boolean(e, "keepTogether", s->keepTogether))
            return false;
        if (s->forcePageBreak < 0 || s->forcePageBreak > BreakBeforeAndAfter)
            return fail(
                e, QStringLiteral("forcePageBreak of section %1 is not 0 to 3").arg(s->name));
        for (QDomElement c = e.firstChildElement(); !c.isNull(); c = c.nextSiblingElement()) {
            const QString tag = c.tagName();
            if (tag == u"Script")
                continue;
            if (tag != u"Field" && tag != u"Line" && tag != u"Rectangle" && tag != u"Picture")
                return fail(
                    c, QStringLiteral("unknown element <%1> in section %2").arg(tag, s->name));
            Field f;
            if (!field(c, report, index, f))
                return false;
            if (!report.fields.add(f))
                return fail(c, QStringLiteral("the field name \"%1\" is used twice").arg(f.name));
        }
        return true;
    }

    bool report(const QDomElement &e, ReportLayout &r)
    {
        r.name = e.attribute(QStringLiteral("name"));
        if (!font(e, r.font))
            return false;
        if (e.hasAttribute(QStringLiteral("paper"))) {
            const QString paper = e.attribute(QStringLiteral("paper"));
            bool known = false;
            for (const PaperName &p : paperNames) {
                if (paper.compare(QLatin1String(p.name), Qt::CaseInsensitive) == 0) {
                    r.paperSize = pageSizeTwips(QPageSize(p.id));
                    known = true;
                }
            }
            if (!known)
                return fail(
                    e, QStringLiteral("unknown paper \"%1\"").arg(ExcerptForMessage(paper)));
        }
        double pw = r.paperSize.width(), ph = r.paperSize.height();
        if (!number(e, "paperWidth", pw) || !number(e, "paperHeight", ph))
            return false;
        if (pw > 0 && ph > 0)
            r.paperSize = QSizeF(std::min(pw, ph), std::max(pw, ph));
        const QString orientation = e.attribute(QStringLiteral("orientation")).toLower();
        if (orientation == u"landscape")
            r.landscape = true;
        else if (!orientation.isEmpty() && orientation != u"portrait")
            return fail(e, QStringLiteral("orientation must be portrait or landscape"));
        double ml = r.margins.left(), mt = r.margins.top(), mr = r.margins.right(),
               mb = r.margins.bottom();
        if (!number(e, "width", r.width) || !number(e, "marginLeft", ml)
            || !number(e, "marginTop", mt) || !number(e, "marginRight", mr)
            || !number(e, "marginBottom", mb)
            || !boolean(e, "pageHeaderOnFirstPage", r.pageHeaderOnFirstPage)
            || !boolean(e, "pageFooterOnFirstPage", r.pageFooterOnFirstPage))
            return false;
        r.margins = QMarginsF(ml, mt, mr, mb);
        if (const QDomElement script = e.firstChildElement(QStringLiteral("Script"));
            !script.isNull())
            r.script = script.text();
        for (QDomElement g = e.firstChildElement(QStringLiteral("Group")); !g.isNull();
             g = g.nextSiblingElement(QStringLiteral("Group"))) {
            Group group;
            group.name = g.attribute(QStringLiteral("name"));
            group.groupBy = g.attribute(QStringLiteral("groupBy"));
            if (!integer(g, "sort", group.sort) || !integer(g, "keepTogether", group.keepTogether))
                return false;
            if (group.groupBy.trimmed().isEmpty())
                return fail(g, QStringLiteral("group \"%1\" has no groupBy").arg(group.name));
            r.addGroup(group);
        }
        for (QDomElement s = e.firstChildElement(QStringLiteral("Section")); !s.isNull();
             s = s.nextSiblingElement(QStringLiteral("Section"))) {
            if (!section(s, r))
                return false;
        }
        return true;
    }

private:
    static QString describe(const QDomElement &e)
    {
        const QString name = e.attribute(QStringLiteral("name"));
        return name.isEmpty() ? QStringLiteral("<%1>").arg(e.tagName())
                              : QStringLiteral("%1 \"%2\"").arg(e.tagName(), name);
    }

    QString m_file;
    QString m_report;
    QString m_baseDir;
};

// The <Layouts> element: the root of a layout file, or a child of the root when the layouts
// travel in the same document as a report definition.
QDomElement layoutsOf(const QDomDocument &doc)
{
    const QDomElement root = doc.documentElement();
    return root.tagName() == u"Layouts" ? root : root.firstChildElement(QStringLiteral("Layouts"));
}

// `report` is the report being loaded, named in the error; empty when listing the file.
bool parseDocument(const QByteArray &xml, const QString &file, const QString &report,
    QDomDocument &doc, QString *error)
{
    QString msg;
    int line = 0, column = 0;
    if (!doc.setContent(xml, &msg, &line, &column)) {
        if (error)
            *error = place(file, report, line, column) + QStringLiteral(": ") + msg;
        return false;
    }
    if (layoutsOf(doc).isNull()) {
        if (error)
            *error
                = QStringLiteral("%1: the file holds no layouts (its root is <%2>, with no "
                                 "<Layouts>)")
                      .arg(place(file.isEmpty() ? QStringLiteral("the layout") : file, report, 0),
                          doc.documentElement().tagName());
        return false;
    }
    return true;
}

// `path` comes back as the file that was opened.
bool readFile(QString &path, const QString &report, QByteArray &bytes, QString *error)
{
    // Paths built the Windows way ("folder\\name") still find the file.
    if (!QFile::exists(path) && path.contains(u'\\'))
        path.replace(u'\\', u'/');
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot open the layout file %1%2: %3")
                         .arg(path,
                             report.isEmpty() ? QString()
                                              : QStringLiteral(" (report \"%1\")").arg(report),
                             f.errorString());
        return false;
    }
    bytes = f.readAll();
    return true;
}

bool loadFrom(const QByteArray &xml, const QString &file, const QString &reportName,
    ReportLayout &layout, QString *error, const QString &baseDir)
{
    QDomDocument doc;
    if (!parseDocument(xml, file, reportName, doc, error))
        return false;
    for (QDomElement e = layoutsOf(doc).firstChildElement(QStringLiteral("Report")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("Report"))) {
        if (e.attribute(QStringLiteral("name")).compare(reportName, Qt::CaseInsensitive) != 0)
            continue;
        Reader reader(file, e.attribute(QStringLiteral("name")), baseDir);
        ReportLayout r;
        if (!reader.report(e, r)) {
            if (error)
                *error = reader.error;
            return false;
        }
        r.fileName = file;
        layout = std::move(r);
        return true;
    }
    if (error)
        *error = QStringLiteral("There is no report \"%1\" in %2")
                     .arg(reportName, file.isEmpty() ? QStringLiteral("the layout") : file);
    return false;
}

} // namespace

QStringList layoutReportNames(const QString &path, QString *error)
{
    QString file = path;
    QByteArray bytes;
    QDomDocument doc;
    if (!readFile(file, QString(), bytes, error) || !parseDocument(bytes, file, {}, doc, error))
        return {};
    QStringList names;
    for (QDomElement e = layoutsOf(doc).firstChildElement(QStringLiteral("Report")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("Report")))
        names << e.attribute(QStringLiteral("name"));
    return names;
}

bool loadLayout(
    const QString &path, const QString &reportName, ReportLayout &layout, QString *error)
{
    QString file = path;
    QByteArray bytes;
    const QString base = QFileInfo(QString(path).replace(u'\\', u'/')).absolutePath();
    return readFile(file, reportName, bytes, error)
        && loadFrom(bytes, file, reportName, layout, error, base);
}

bool loadLayoutXml(const QByteArray &xml, const QString &reportName, ReportLayout &layout,
    QString *error, const QString &baseDir)
{
    return loadFrom(xml, QString(), reportName, layout, error, baseDir);
}

// ---- writing

namespace {

QString num(double v)
{
    return QString::number(v, 'g', 12);
}

void setBool(QDomElement &e, const char *attr, bool value, bool def)
{
    if (value != def)
        e.setAttribute(
            QString::fromLatin1(attr), value ? QStringLiteral("1") : QStringLiteral("0"));
}

void setNum(QDomElement &e, const char *attr, double value, double def)
{
    if (value != def)
        e.setAttribute(QString::fromLatin1(attr), num(value));
}

void writeFont(QDomDocument &doc, QDomElement &parent, const FontSpec &f, const FontSpec *def)
{
    if (def && f == *def)
        return;
    QDomElement e = doc.createElement(QStringLiteral("Font"));
    e.setAttribute(QStringLiteral("name"), f.name);
    e.setAttribute(QStringLiteral("size"), num(f.size));
    setBool(e, "bold", f.bold, false);
    setBool(e, "italic", f.italic, false);
    setBool(e, "underline", f.underline, false);
    setBool(e, "strikeOut", f.strikeOut, false);
    setNum(e, "charset", f.charset, 0);
    parent.appendChild(e);
}

void addScript(QDomDocument &doc, QDomElement &parent, const QString &script)
{
    if (script.isEmpty())
        return;
    QDomElement e = doc.createElement(QStringLiteral("Script"));
    e.appendChild(doc.createCDATASection(script));
    parent.appendChild(e);
}

QDomElement writeField(QDomDocument &doc, const Field &f, const FontSpec &reportFont)
{
    static const char *tags[] = { "Field", "Line", "Rectangle", "Picture" };
    QDomElement e = doc.createElement(QString::fromLatin1(tags[int(f.kind)]));
    const Field def;
    const int defBorder = f.kind == FieldKind::Line || f.kind == FieldKind::Rectangle ? 1 : 0;
    if (!f.name.isEmpty())
        e.setAttribute(QStringLiteral("name"), f.name);
    if (!f.text.isEmpty())
        e.setAttribute(QStringLiteral("text"), f.text);
    e.setAttribute(QStringLiteral("left"), num(f.left));
    e.setAttribute(QStringLiteral("top"), num(f.top));
    e.setAttribute(QStringLiteral("width"), num(f.width));
    e.setAttribute(QStringLiteral("height"), num(f.height));
    setNum(e, "foreColor", f.foreColor, def.foreColor);
    setNum(e, "backColor", f.backColor, def.backColor);
    setBool(e, "backStyle", f.backOpaque, def.backOpaque);
    setNum(e, "borderStyle", f.borderStyle, defBorder);
    setNum(e, "borderColor", f.borderColor, def.borderColor);
    setNum(e, "lineWidth", f.lineWidth, def.lineWidth);
    setBool(e, "visible", f.visible, true);
    if (!f.format.isEmpty())
        e.setAttribute(QStringLiteral("format"), f.format);
    setNum(e, "align", f.align, def.align);
    if (!f.tag.isEmpty())
        e.setAttribute(QStringLiteral("tag"), f.tag);
    setBool(e, "calculated", f.calculated, false);
    setBool(e, "canGrow", f.canGrow, false);
    setBool(e, "canShrink", f.canShrink, false);
    setBool(e, "wordWrap", f.wordWrap, true);
    if (!f.subreportName.isEmpty())
        e.setAttribute(QStringLiteral("subreport"), f.subreportName);
    if (!f.picture.isNull()) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (f.picture.isVector()) {
            QPicture copy = f.picture.vector();
            copy.setBoundingRect(f.picture.frame().toAlignedRect());
            copy.save(&buffer);
        } else {
            f.picture.image().save(&buffer, "PNG");
        }
        e.setAttribute(QStringLiteral("pictureData"), QString::fromLatin1(bytes.toBase64()));
    }
    setNum(e, "pictureScale", f.pictureScale, def.pictureScale);
    writeFont(doc, e, f.font, &reportFont);
    return e;
}

} // namespace

QByteArray layoutsToXml(const QList<ReportLayout> &reports)
{
    QDomDocument doc;
    doc.appendChild(doc.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    QDomElement root = doc.createElement(QStringLiteral("Layouts"));
    root.setAttribute(QStringLiteral("version"), 1);
    doc.appendChild(root);
    for (const ReportLayout &r : reports) {
        QDomElement e = doc.createElement(QStringLiteral("Report"));
        e.setAttribute(QStringLiteral("name"), r.name);
        setNum(e, "width", r.width, 0);
        if (!r.paperSize.isEmpty()) {
            e.setAttribute(QStringLiteral("paperWidth"), num(r.paperSize.width()));
            e.setAttribute(QStringLiteral("paperHeight"), num(r.paperSize.height()));
        }
        if (r.landscape)
            e.setAttribute(QStringLiteral("orientation"), QStringLiteral("landscape"));
        e.setAttribute(QStringLiteral("marginLeft"), num(r.margins.left()));
        e.setAttribute(QStringLiteral("marginTop"), num(r.margins.top()));
        e.setAttribute(QStringLiteral("marginRight"), num(r.margins.right()));
        e.setAttribute(QStringLiteral("marginBottom"), num(r.margins.bottom()));
        setBool(e, "pageHeaderOnFirstPage", r.pageHeaderOnFirstPage, true);
        setBool(e, "pageFooterOnFirstPage", r.pageFooterOnFirstPage, true);
        writeFont(doc, e, r.font, nullptr);
        addScript(doc, e, r.script);
        for (int g = 1; g <= r.groupCount(); ++g) {
            QDomElement ge = doc.createElement(QStringLiteral("Group"));
            ge.setAttribute(QStringLiteral("name"), r.group(g).name);
            ge.setAttribute(QStringLiteral("groupBy"), r.group(g).groupBy);
            setNum(ge, "sort", r.group(g).sort, 0);
            setNum(ge, "keepTogether", r.group(g).keepTogether, 0);
            e.appendChild(ge);
        }
        for (int i = 0; i < r.sectionCount(); ++i) {
            const Section &s = *r.section(i);
            const QList<const Field *> fields = r.sectionFields(i);
            const Section def;
            QDomElement se = doc.createElement(QStringLiteral("Section"));
            se.setAttribute(QStringLiteral("index"), i);
            se.setAttribute(QStringLiteral("name"), s.name);
            se.setAttribute(QStringLiteral("height"), num(s.height));
            setBool(se, "visible", s.visible, def.visible);
            setBool(se, "canGrow", s.canGrow, def.canGrow);
            setBool(se, "canShrink", s.canShrink, def.canShrink);
            setNum(se, "forcePageBreak", s.forcePageBreak, def.forcePageBreak);
            setNum(se, "backColor", s.backColor, def.backColor);
            setBool(se, "keepTogether", s.keepTogether, def.keepTogether);
            addScript(doc, se, s.onFormat);
            for (const Field *f : fields)
                se.appendChild(writeField(doc, *f, r.font));
            e.appendChild(se);
        }
        root.appendChild(e);
    }
    return doc.toByteArray(2);
}

bool saveLayouts(const QString &path, const QList<ReportLayout> &reports, QString *error)
{
    QSaveFile f(path);
    QString why;
    if (!f.open(QIODevice::WriteOnly) || !WriteAndCommit(f, layoutsToXml(reports), &why)) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2")
                         .arg(path, why.isEmpty() ? f.errorString() : why);
        return false;
    }
    return true;
}

} // namespace kv6::engine
