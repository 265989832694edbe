#pragma once

// Private to the engine: finished pages kept compactly while a long report is written to a file.
// A page's display list takes several times its text in memory (a variant per item, a font and
// a clip in every run, a heap block per string); here each item is a few packed bytes, fonts and
// pictures are kept once, and a page is unpacked only to be drawn.

#include "engine/previewdocument.h"

#include <QByteArray>
#include <QList>

#include <functional>

namespace kv6::engine {

class PageStore
{
public:
    // Packs the page and empties it, or hands it to `takePages` when that is set: whoever takes
    // the pages as they come replaces a total in them itself.
    void add(PreviewDocument::Page &page);
    std::function<void(PreviewDocument::Page &)> takePages;
    // Pages added, taken ones included.
    int count() const { return int(m_pages.size()) + m_taken; }
    // The page as it was added, numbered from 1.
    PreviewDocument::Page page(int number) const;
    // Hands the page's items, then its overlay's, to `visit` one at a time, each decoded into
    // an item reused for the next of its kind: drawing a page builds no list, and its texts
    // reuse one string's memory instead of taking and giving back a block each.
    void visit(int number, const std::function<void(const DisplayItem &)> &visit) const;
    // Lets go of a page once it is no longer needed.
    void drop(int number);
    // Bytes held, pictures counted once.
    qint64 memoryEstimate() const;
    // Texts of the pages come out with `marker` replaced by `text`, so a total known only at
    // the end need not unpack every page.
    void replaceText(const QString &marker, const QString &text);

    // Items of the page last packed: room for the next page's.
    int lastItemCount = 0;

private:
    struct Packed
    {
        QSizeF size;
        QByteArray items;
        QByteArray overlay;
    };
    void pack(const QList<DisplayItem> &items, QByteArray &out);
    void unpack(const QByteArray &bytes, QList<DisplayItem> &items) const;
    // Decodes the next item into the one of its kind in `reused` (text, line, box, picture);
    // null at the end or on bytes that pack did not write.
    const DisplayItem *next(class PackedReader &in, DisplayItem (&reused)[4]) const;
    quint16 fontIndex(const FontSpec &font);

    QList<Packed> m_pages;
    QList<FontSpec> m_fonts;
    QList<Picture> m_pictures;
    QList<QPair<QString, QString>> m_replacements;
    int m_taken = 0;
};

} // namespace kv6::engine
