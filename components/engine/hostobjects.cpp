#include "hostobjects_p.h"

#include "renderer_p.h"

#include <algorithm>

namespace kv6::engine {

using script::Variant;

namespace {

class FieldObject : public script::HostObject
{
public:
    FieldObject(Renderer *r, Field *f)
        : m_r(r)
        , m_f(f)
    { }
    QString typeName() const override { return QStringLiteral("Field"); }

    Variant get(const QString &member, const QList<Variant> &args) override
    {
        Q_UNUSED(args);
        const QString m = member.toLower();
        Field &f = *m_f;
        if (m.isEmpty() || m == u"value")
            return m_r->fieldValue(m_f);
        if (m == u"text")
            return Variant::string(f.text);
        if (m == u"name")
            return Variant::string(f.name);
        if (m == u"visible")
            return Variant::boolean(f.visible);
        if (m == u"left")
            return Variant::dbl(f.left);
        if (m == u"top")
            return Variant::dbl(f.top);
        if (m == u"width")
            return Variant::dbl(f.width);
        if (m == u"height")
            return Variant::dbl(f.height);
        if (m == u"forecolor")
            return Variant::longValue(f.foreColor);
        if (m == u"backcolor")
            return Variant::longValue(f.backColor);
        if (m == u"backstyle")
            return Variant::integer(f.backOpaque ? 1 : 0);
        if (m == u"bordercolor")
            return Variant::longValue(f.borderColor);
        if (m == u"borderstyle")
            return Variant::integer(f.borderStyle);
        if (m == u"linewidth")
            return Variant::dbl(f.lineWidth);
        if (m == u"format")
            return Variant::string(f.format);
        if (m == u"align")
            return Variant::integer(f.align);
        if (m == u"tag")
            return Variant::string(f.tag);
        if (m == u"calculated")
            return Variant::boolean(f.calculated);
        if (m == u"cangrow")
            return Variant::boolean(f.canGrow);
        if (m == u"canshrink")
            return Variant::boolean(f.canShrink);
        if (m == u"wordwrap")
            return Variant::boolean(f.wordWrap);
        if (m == u"section")
            return Variant::integer(f.section);
        if (m == u"fontname")
            return Variant::string(f.font.name);
        if (m == u"fontsize")
            return Variant::dbl(f.font.size);
        if (m == u"fontbold")
            return Variant::boolean(f.font.bold);
        if (m == u"fontitalic")
            return Variant::boolean(f.font.italic);
        if (m == u"fontunderline")
            return Variant::boolean(f.font.underline);
        script::raise(438);
    }

    void put(const QString &member, const QList<Variant> &args, const Variant &v) override
    {
        Q_UNUSED(args);
        const QString m = member.toLower();
        Field &f = *m_f;
        if (m.isEmpty() || m == u"value")
            m_r->setFieldValue(m_f, v);
        else if (m == u"text")
            f.text = v.toString();
        else if (m == u"visible")
            f.visible = v.toBool();
        else if (m == u"left")
            f.left = v.toDouble();
        else if (m == u"top")
            f.top = v.toDouble();
        else if (m == u"width")
            f.width = v.toDouble();
        else if (m == u"height")
            f.height = v.toDouble();
        else if (m == u"forecolor")
            f.foreColor = v.toLong();
        else if (m == u"backcolor")
            f.backColor = v.toLong();
        else if (m == u"backstyle")
            f.backOpaque = v.toLong() != 0;
        else if (m == u"bordercolor")
            f.borderColor = v.toLong();
        else if (m == u"borderstyle")
            f.borderStyle = v.toLong();
        else if (m == u"linewidth")
            f.lineWidth = v.toDouble();
        else if (m == u"format")
            f.format = v.toString();
        else if (m == u"align")
            f.align = v.toLong();
        else if (m == u"tag")
            f.tag = v.toString();
        else if (m == u"calculated")
            f.calculated = v.toBool();
        else if (m == u"cangrow")
            f.canGrow = v.toBool();
        else if (m == u"canshrink")
            f.canShrink = v.toBool();
        else if (m == u"wordwrap")
            f.wordWrap = v.toBool();
        else if (m == u"fontname")
            f.font.name = v.toString();
        else if (m == u"fontsize")
            f.font.size = v.toDouble();
        else if (m == u"fontbold")
            f.font.bold = v.toBool();
        else if (m == u"fontitalic")
            f.font.italic = v.toBool();
        else if (m == u"fontunderline")
            f.font.underline = v.toBool();
        else
            script::raise(438);
    }

private:
    Renderer *m_r;
    Field *m_f;
};

class SectionObject : public script::HostObject
{
public:
    SectionObject(Renderer *r, int index)
        : m_r(r)
        , m_index(index)
    { }
    QString typeName() const override { return QStringLiteral("Section"); }

    Variant get(const QString &member, const QList<Variant> &args) override
    {
        Q_UNUSED(args);
        const Section &s = *m_r->layout().section(m_index);
        const QString m = member.toLower();
        if (m == u"visible")
            return Variant::boolean(s.visible);
        if (m == u"height")
            return Variant::dbl(s.height);
        if (m == u"backcolor")
            return Variant::longValue(s.backColor);
        if (m == u"cangrow")
            return Variant::boolean(s.canGrow);
        if (m == u"canshrink")
            return Variant::boolean(s.canShrink);
        if (m == u"forcepagebreak")
            return Variant::integer(s.forcePageBreak);
        if (m == u"keeptogether")
            return Variant::boolean(s.keepTogether);
        if (m == u"name" || m.isEmpty())
            return Variant::string(s.name);
        script::raise(438);
    }

    void put(const QString &member, const QList<Variant> &args, const Variant &v) override
    {
        Q_UNUSED(args);
        Section &s = *m_r->layout().section(m_index);
        const QString m = member.toLower();
        if (m == u"visible")
            s.visible = v.toBool();
        else if (m == u"height")
            s.height = v.toDouble();
        else if (m == u"backcolor")
            s.backColor = v.toLong();
        else if (m == u"cangrow")
            s.canGrow = v.toBool();
        else if (m == u"canshrink")
            s.canShrink = v.toBool();
        else if (m == u"forcepagebreak")
            s.forcePageBreak = std::clamp(int(v.toLong()), 0, 3);
        else if (m == u"keeptogether")
            s.keepTogether = v.toBool();
        else
            script::raise(438);
    }

private:
    Renderer *m_r;
    int m_index;
};

class Scope : public script::HostScope
{
public:
    explicit Scope(Renderer *r)
        : m_r(r)
    { }
    bool lookup(const QString &name, Variant &value) override { return m_r->lookup(name, value); }
    bool assign(const QString &name, const Variant &value) override
    {
        return m_r->assign(name, value);
    }

private:
    Renderer *m_r;
};

} // namespace

std::shared_ptr<script::HostObject> makeFieldObject(Renderer *renderer, Field *field)
{
    return std::make_shared<FieldObject>(renderer, field);
}

std::shared_ptr<script::HostObject> makeSectionObject(Renderer *renderer, int section)
{
    return std::make_shared<SectionObject>(renderer, section);
}

std::unique_ptr<script::HostScope> makeScope(Renderer *renderer)
{
    return std::make_unique<Scope>(renderer);
}

} // namespace kv6::engine
