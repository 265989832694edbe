#pragma once

// Private to the engine: what a render makes of its band stream. The renderer formats the
// sections in report order and hands each band to one sink; the sink begins and ends pages
// (asking the renderer for their header and footer bands) and either lays the bands out on the
// preview document's pages (PageSink: preview, PDF, print, ".rtt") or keeps them in order for
// the page-less exports (FlowSink: HTML, text).

#include "bandgeometry_p.h"

#include <QSizeF>

namespace kv6::engine {

class Renderer;
class PageStore;

class BandSink
{
public:
    explicit BandSink(Renderer &renderer)
        : m_r(renderer)
    { }
    virtual ~BandSink() = default;
    BandSink(const BandSink &) = delete;
    BandSink &operator=(const BandSink &) = delete;

    virtual bool paged() const = 0;
    // The page being filled (page-less output stays on its first).
    int page() const { return m_page; }
    // After the render: the number of the last page (for page-less output, of the pages paper
    // would have).
    virtual int pageCount() const { return m_page; }

    // The first page begins; the last one ends.
    void begin() { startPage(); }
    void end() { endPage(); }

    // Before a section is formatted: a break the layout asks for happens here, so the section's
    // script and events already see the new page.
    virtual void beforeSection(int section) { Q_UNUSED(section); }
    // Before a group's header: the group (or its header and first row) starts on a new page
    // when it would not fit on this one but fits on an empty one.
    virtual void keepGroup(int group, int pos, bool wholeGroup)
    {
        Q_UNUSED(group);
        Q_UNUSED(pos);
        Q_UNUSED(wholeGroup);
    }
    // True when a formatted band that is kept together has moved to a new page (begun now), so
    // the renderer formats it again there: what its script decides per page holds.
    virtual bool moveToNextPage(const Band &band)
    {
        Q_UNUSED(band);
        return false;
    }
    virtual void body(Band band) = 0;
    // Groups whose rows run on at the next page break: paged output repeats their headers
    // at the top of the next page, marked as continued.
    void setOpenGroups(int groups) { m_openGroups = groups; }

protected:
    void startPage();
    void endPage();
    void repeatGroupHeaders();
    virtual void pageBegun() { }
    virtual void header(const Band &band) = 0;
    virtual void footer(const Band &band) = 0;
    virtual void bodyBegun() { }

    Renderer &m_r;
    int m_page = 0;
    double m_y = 0;
    double m_bodyTop = 0;
    double m_bodyBottom = 0;
    double m_footerReserve = 0;
    bool m_bodyEmpty = true;
    bool m_pendingBreak = false;
    int m_openGroups = 0;
};

// Pages of the preview document.
class PageSink : public BandSink
{
public:
    // With a store, each finished page moves there.
    PageSink(Renderer &renderer, PreviewDocument &document, PageStore *store = nullptr);

    bool paged() const override { return true; }
    void beforeSection(int section) override;
    void keepGroup(int group, int pos, bool wholeGroup) override;
    bool moveToNextPage(const Band &band) override;
    void body(Band band) override;

private:
    void pageBegun() override;
    void header(const Band &band) override;
    void footer(const Band &band) override;
    void breakPage();
    void emitBand(const Band &band, double y);

    PreviewDocument &m_doc;
    PageStore *m_store;
    QSizeF m_pageSize;
};

// Every band in order, for the page-less exports. The host still hears of a page wherever
// paper would begin one, so its progress moves on and a cancel it asks for there is seen.
class FlowSink : public BandSink
{
public:
    FlowSink(Renderer &renderer, QList<FlowBand> &flow)
        : BandSink(renderer)
        , m_flow(flow)
    { }

    bool paged() const override { return false; }
    int pageCount() const override { return m_flowPages; }
    void body(Band band) override;

private:
    void header(const Band &band) override;
    void footer(const Band &band) override;
    void bodyBegun() override;
    void countPages(double height, bool breakBefore);

    QList<FlowBand> &m_flow;
    // The body a page would hold, how much of it is used, pages begun.
    double m_flowBody = 0;
    double m_flowUsed = 0;
    int m_flowPages = 0;
};

} // namespace kv6::engine
