#include "bandsink_p.h"

#include "pagestore_p.h"
#include "renderer_p.h"

#include <algorithm>

namespace kv6::engine {

namespace {

// Heights within half a twip count as equal.
constexpr double Eps = 0.5;

} // namespace

// ---- pages begin and end alike for both

void BandSink::startPage()
{
    const ReportLayout &L = m_r.layout();
    ++m_page;
    pageBegun();
    m_r.pageStarted(m_page);
    m_y = L.margins.top();
    m_bodyEmpty = true;
    const bool first = m_page == 1;
    const bool subreport = m_r.isSubreport();
    if (!subreport && (!first || L.pageHeaderOnFirstPage)) {
        Band b;
        if (m_r.formatSection(SectionPageHeader, b)) {
            header(b);
            m_y += b.height;
        }
    }
    m_bodyTop = m_y;
    m_footerReserve = 0;
    if (!subreport && (!first || L.pageFooterOnFirstPage) && m_r.inUse(SectionPageFooter)
        && L.section(SectionPageFooter)->visible)
        m_footerReserve = L.section(SectionPageFooter)->height;
    m_bodyBottom = L.pageSize().height() - L.margins.bottom() - m_footerReserve;
    if (paged() && !first && !subreport)
        repeatGroupHeaders();
    bodyBegun();
}

// A reader of a page that starts inside a group sees whose rows these are: the open groups'
// headers again, marked as continued. Headers with pictures are left out, since a chart there
// would be drawn again from the rows that follow.
void BandSink::repeatGroupHeaders()
{
    const ReportLayout &L = m_r.layout();
    for (int g = 1; g <= m_openGroups; ++g) {
        const int section = GroupHeaderSection(g);
        const QList<const Field *> fields = L.sectionFields(section);
        if (!m_r.inUse(section) || std::any_of(fields.begin(), fields.end(), [](const Field *f) {
                return f->kind == FieldKind::Picture;
            }))
            continue;
        Band b;
        if (!m_r.formatSection(section, b) || b.height > m_bodyBottom - m_y)
            continue;
        const TextRun *first = nullptr;
        for (const DisplayItem &item : std::as_const(b.items))
            if ((first = std::get_if<TextRun>(&item)))
                break;
        if (first && !L.continuedCaption.isEmpty()) {
            TextRun mark = *first;
            mark.rect = QRectF(0, first->rect.top(), L.layoutWidth(), first->rect.height());
            mark.clip = QRectF();
            mark.text = L.continuedCaption;
            mark.fits = false;
            mark.font.bold = false;
            mark.font.italic = true;
            mark.alignment = Qt::AlignRight | Qt::AlignTop;
            b.items.append(mark);
        }
        header(b);
        m_y += b.height;
    }
    m_bodyTop = m_y;
}

void BandSink::endPage()
{
    const ReportLayout &L = m_r.layout();
    const bool first = m_page == 1;
    if (m_r.isSubreport() || (first && !L.pageFooterOnFirstPage))
        return;
    Band b;
    if (m_r.formatSection(SectionPageFooter, b))
        footer(b);
}

// ---- pages

PageSink::PageSink(Renderer &renderer, PreviewDocument &document, PageStore *store)
    : BandSink(renderer)
    , m_doc(document)
    , m_store(store)
    , m_pageSize(renderer.layout().pageSize())
{ }

void PageSink::pageBegun()
{
    // Nothing more is drawn on a page once the next one begins: it is kept packed until the
    // total is known.
    if (m_page > 1) {
        if (m_store)
            m_store->add(m_doc.page(m_page - 1));
        else
            m_doc.pack(m_page - 1);
    }
    m_doc.addPage(m_pageSize);
}

void PageSink::header(const Band &band)
{
    emitBand(band, m_y);
}

void PageSink::footer(const Band &band)
{
    // The footer keeps the height reserved for it when the page began.
    emitBand(sliceBand(band, 0, std::max(m_footerReserve, 0.0)), m_bodyBottom);
}

void PageSink::breakPage()
{
    endPage();
    m_r.checkCancel();
    startPage();
}

void PageSink::emitBand(const Band &band, double y)
{
    const double x = m_r.layout().margins.left();
    for (DisplayItem item : band.items) {
        translateItem(item, x, y);
        m_doc.addItem(m_page, std::move(item));
    }
}

void PageSink::beforeSection(int section)
{
    const Section *s = m_r.layout().section(section);
    if (!m_bodyEmpty && s && s->visible && m_r.inUse(section)
        && ((s->forcePageBreak & BreakBefore) || m_pendingBreak)) {
        breakPage();
        m_pendingBreak = false;
    }
}

void PageSink::keepGroup(int group, int pos, bool wholeGroup)
{
    if (m_bodyEmpty || !m_r.inUse(GroupHeaderSection(group)))
        return;
    const double body = m_bodyBottom - m_bodyTop;
    const double need = m_r.measureGroup(group, pos, wholeGroup, body);
    if (need > m_bodyBottom - m_y && need <= body)
        breakPage();
}

bool PageSink::moveToNextPage(const Band &band)
{
    if (band.keepTogether && !m_bodyEmpty && !m_pendingBreak && !(band.pageBreak & BreakBefore)
        && band.height > m_bodyBottom - m_y + Eps
        && band.height <= m_bodyBottom - m_bodyTop + Eps) {
        breakPage();
        return true;
    }
    return false;
}

void PageSink::body(Band band)
{
    if (((band.pageBreak & BreakBefore) || m_pendingBreak) && !m_bodyEmpty)
        breakPage();
    m_pendingBreak = false;

    double avail = m_bodyBottom - m_y;
    if (band.height > avail + Eps && band.keepTogether && !m_bodyEmpty
        && band.height <= m_bodyBottom - m_bodyTop + Eps) {
        breakPage();
        avail = m_bodyBottom - m_y;
    }
    Band rest = std::move(band);
    const int breakCode = rest.pageBreak;
    for (int guard = 0; guard < 100000; ++guard) {
        avail = m_bodyBottom - m_y;
        if (rest.height <= avail + Eps) {
            emitBand(rest, m_y);
            m_y += rest.height;
            break;
        }
        double cut = chooseCut(rest, avail);
        if (cut <= Eps) {
            if (!m_bodyEmpty) {
                breakPage();
                continue;
            }
            if (avail <= Eps) { // the page has no room at all: put it there and move on
                emitBand(rest, m_y);
                m_y += rest.height;
                break;
            }
            cut = avail; // nothing fits even on an empty page: cut where the page ends
        }
        emitBand(sliceBand(rest, 0, cut), m_y);
        m_y += cut;
        rest = sliceBand(rest, cut, rest.height);
        m_bodyEmpty = false;
        breakPage();
        if (m_r.cancelled())
            return;
    }
    m_bodyEmpty = false;
    m_pendingBreak = breakCode & BreakAfter;
}

// ---- flow

void FlowSink::header(const Band &band)
{
    m_flow.append(FlowBand { band, BandRole::PageHeader, false });
}

void FlowSink::footer(const Band &band)
{
    m_flow.append(FlowBand { band, BandRole::PageFooter, false });
}

void FlowSink::bodyBegun()
{
    m_flowBody = m_bodyBottom - m_bodyTop;
    m_flowUsed = 0;
    m_flowPages = 1;
}

void FlowSink::body(Band band)
{
    // As on paper, a break before the first thing on the page is none.
    const bool breakBefore = ((band.pageBreak & BreakBefore) || m_pendingBreak) && !m_bodyEmpty;
    m_pendingBreak = band.pageBreak & BreakAfter;
    m_bodyEmpty = false;
    const double height = band.height;
    m_flow.append(FlowBand { std::move(band), BandRole::Body, breakBefore });
    countPages(height, breakBefore);
}

void FlowSink::countPages(double height, bool breakBefore)
{
    if (m_r.isSubreport())
        return;
    auto turn = [&] {
        ++m_flowPages;
        m_r.pageStarted(m_flowPages);
        m_r.checkCancel();
    };
    if (m_flowUsed > 0 && (breakBefore || m_flowUsed + height > m_flowBody + Eps)) {
        m_flowUsed = 0;
        turn();
    }
    m_flowUsed += height;
    // A band taller than a page runs on over the pages it fills.
    while (m_flowBody > Eps && m_flowUsed > m_flowBody + Eps) {
        m_flowUsed -= m_flowBody;
        turn();
    }
}

} // namespace kv6::engine
