#include "engine/previewdocument.h"
#include "pdfmerge_p.h"

#include "base/textfile.h"

#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace kv6::engine {

namespace {

// Below this many pages a document is written on one thread: the parts would cost more than
// they save. It is also how many consecutive pages a thread is handed at a time.
constexpr int DefaultRunPages = 8;

QPageLayout pdfPageLayout(const QSizeF &twips)
{
    // A landscape page is the portrait size turned, so viewers show it the right way up.
    const bool landscape = twips.width() > twips.height();
    const QSizeF in = (landscape ? twips.transposed() : twips) / TwipsPerInch;
    return QPageLayout(QPageSize(in, QPageSize::Inch, QString(), QPageSize::FuzzyMatch),
        landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF());
}

// One QPdfWriter and its painter: the whole file, or one part of it.
class PdfPages
{
public:
    PdfPages(QIODevice *device, const QString &title)
        : m_device(device)
        , m_title(title)
    { }
    ~PdfPages() { end(); }
    PdfPages(const PdfPages &) = delete;
    PdfPages &operator=(const PdfPages &) = delete;

    bool paint(const PreviewDocument &document, int page)
    {
        const QPageLayout layout = pdfPageLayout(document.sizeOfPage(page));
        if (!m_writer) {
            m_writer = std::make_unique<QPdfWriter>(m_device);
            m_writer->setResolution(1200);
            m_writer->setTitle(m_title);
            m_writer->setCreator(QStringLiteral("Korvane 6 Analysis Reporting"));
            m_writer->setPageLayout(layout);
            if (!m_painter.begin(m_writer.get()))
                return false;
        } else {
            m_writer->setPageLayout(layout);
            m_writer->newPage();
        }
        const QRect full = m_writer->pageLayout().fullRectPixels(m_writer->resolution());
        document.paintPage(&m_painter, page, QRectF(QPointF(0, 0), QSizeF(full.size())));
        return true;
    }

    // Writes the fonts, page tree and cross-reference table.
    bool end()
    {
        const bool ok = !m_painter.isActive() || m_painter.end();
        m_writer.reset();
        return ok;
    }

private:
    QIODevice *m_device;
    QString m_title;
    std::unique_ptr<QPdfWriter> m_writer;
    QPainter m_painter;
};

// Consecutive pages of the whole, copied out of the caller's documents: a copy shares their
// display lists, which nothing changes in place, so the caller may go on meanwhile.
struct Run
{
    int first = 0; // the first page's place in the whole, from 0
    PreviewDocument pages;
};

// The pages one thread paints, in a file of their own beside the target. Only that thread
// touches it until the threads are stopped; its error is kept under the stream's lock.
struct Part
{
    explicit Part(const QString &target)
        : file(QDir(QFileInfo(target).absolutePath())
                   .filePath(QStringLiteral(".%1.part-XXXXXX").arg(QFileInfo(target).fileName())))
    { }

    QTemporaryFile file;
    std::unique_ptr<PdfPages> pdf;
    QList<int> pages;
    QString error; // the first failure, empty while all is well

    // The reason it failed, empty when it did not.
    QString paint(const Run &run, const QString &title)
    {
        if (!pdf) {
            if (!file.open())
                return why(file.errorString());
            pdf = std::make_unique<PdfPages>(&file, title);
        }
        for (int p = 1; p <= run.pages.pageCount(); ++p) {
            if (!pdf->paint(run.pages, p))
                return why(QStringLiteral("the PDF writer cannot start"));
            pages.append(run.first + p - 1);
        }
        return {};
    }

    QString end()
    {
        if (!pdf)
            return {};
        const bool ended = pdf->end();
        pdf.reset();
        if (!ended)
            return why(QStringLiteral("the PDF writer failed"));
        // A full disk shows only here: the writer does not check its writes.
        if (!file.flush() || file.error() != QFileDevice::NoError)
            return why(file.errorString());
        return {};
    }

    QString why(const QString &reason) const
    {
        return QStringLiteral("%1: %2").arg(file.fileName(), reason);
    }
};

} // namespace

struct PdfStream::Private
{
    // Written aside and put in place only when complete, so a failure leaves no part of a PDF
    // and keeps what was there before.
    explicit Private(const QString &path)
        : file(path)
    { }
    ~Private() { stopWorkers(true); }

    QSaveFile file;
    QString title;
    int threads = 1;
    int runPages = DefaultRunPages;
    int pages = 0;
    std::unique_ptr<PdfPages> single; // the whole file on the calling thread

    // Several threads: pages gather in `run` until it is full, then go to an idle thread, or
    // are painted by the calling thread when every other one has a run waiting.
    Run run;
    std::vector<std::unique_ptr<Part>> parts; // the first is the calling thread's
    // The standard thread, lock and wait, which thread checkers see through (Qt's wait and join
    // happen inside its library).
    std::vector<std::thread> workers;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Run> queue;
    bool closing = false;
    bool aborted = false;

    // Texts drawn last, by the page of the whole they are on (from 0), in page order.
    QString deferMarker;
    QList<std::pair<int, DisplayItem>> deferred;
    QList<QSizeF> sizes; // every page's, while texts are deferred

    // Takes the deferred texts out of a page of the whole.
    void takeDeferred(PreviewDocument::Page &page, int at)
    {
        const auto holds = [&](const DisplayItem &item) {
            const auto *text = std::get_if<TextRun>(&item);
            return text && text->text.contains(deferMarker);
        };
        for (QList<DisplayItem> *items : { &page.items, &page.overlay }) {
            if (std::none_of(items->cbegin(), items->cend(), holds))
                continue;
            for (const DisplayItem &item : std::as_const(*items)) {
                if (holds(item))
                    deferred.append({ at, item });
            }
            items->removeIf(holds);
        }
    }

    // The deferred texts with their marker replaced, as pages of their own: one for each page
    // of the whole that has any, the whole's page numbers in `pages`.
    PreviewDocument deferredPages(const QString &text, QList<int> &pages) const
    {
        PreviewDocument out;
        for (const auto &[at, item] : deferred) {
            if (pages.isEmpty() || pages.last() != at) {
                out.addPage(sizes.value(at));
                pages.append(at);
            }
            DisplayItem replaced = item;
            TextRun &run = std::get<TextRun>(replaced);
            run.text.replace(deferMarker, text);
            run.fits = false;
            out.addItem(out.pageCount(), std::move(replaced));
        }
        return out;
    }

    QString failure(const QString &why) const
    {
        return QStringLiteral("Cannot write the PDF file %1: %2").arg(file.fileName(), why);
    }

    void setError(Part &part, const QString &why)
    {
        if (why.isEmpty())
            return;
        std::lock_guard lock(mutex);
        if (part.error.isEmpty())
            part.error = why;
    }

    // Takes the next run waiting into `next`; false when there is none. `wait`: until one comes
    // or the stream closes. `skip` tells whether the run is to be dropped unpainted (the stream
    // was aborted, or `part` failed already).
    bool takeRun(Run &next, bool wait, const Part &part, bool &skip)
    {
        std::unique_lock lock(mutex);
        if (wait)
            wake.wait(lock, [&] { return !queue.empty() || closing; });
        if (queue.empty())
            return false;
        next = std::move(queue.front());
        queue.pop_front();
        skip = aborted || !part.error.isEmpty();
        return true;
    }

    void work(Part &part)
    {
        Run next;
        bool skip = false;
        while (takeRun(next, true, part, skip)) {
            if (!skip)
                setError(part, part.paint(next, title));
        }
        // Ended here: the writer belongs to this thread.
        setError(part, part.end());
    }

    void startWorkers()
    {
        parts.push_back(std::make_unique<Part>(file.fileName()));
        for (int i = 1; i < threads; ++i) {
            parts.push_back(std::make_unique<Part>(file.fileName()));
            Part *part = parts.back().get();
            try {
                workers.emplace_back([this, part] { work(*part); });
            } catch (const std::system_error &) {
                // No more threads to be had: the ones started do the work.
                parts.pop_back();
                break;
            }
        }
    }

    void stopWorkers(bool abort)
    {
        {
            std::lock_guard lock(mutex);
            closing = true;
            aborted = aborted || abort;
            wake.notify_all();
        }
        for (std::thread &w : workers)
            w.join();
        workers.clear();
    }

    // One page straight to the file, on the calling thread.
    bool paintSingle(const PreviewDocument &document, int page, QString *error)
    {
        if (!single)
            single = std::make_unique<PdfPages>(&file, title);
        if (single->paint(document, page))
            return true;
        if (error)
            *error = QStringLiteral("Cannot write the PDF file %1.").arg(file.fileName());
        return false;
    }

    // The first error of any thread, empty when there is none.
    QString partError()
    {
        std::lock_guard lock(mutex);
        for (const auto &p : parts) {
            if (!p->error.isEmpty())
                return p->error;
        }
        return {};
    }

    bool dispatch(QString *error)
    {
        Run full = std::move(run);
        run = Run();
        if (parts.empty())
            startWorkers();
        QString why = partError();
        if (why.isEmpty()) {
            {
                std::lock_guard lock(mutex);
                if (queue.size() < workers.size()) {
                    queue.push_back(std::move(full));
                    wake.notify_one();
                    return true;
                }
            }
            setError(*parts.front(), parts.front()->paint(full, title));
            why = partError();
        }
        if (why.isEmpty())
            return true;
        if (error)
            *error = failure(why);
        return false;
    }

    bool finishParts(QString *error, const QString &deferredText)
    {
        if (run.pages.pageCount() > 0 && !dispatch(error))
            return false;
        // Runs still waiting are painted here: left to a thread that is busy with another, the
        // calling thread would only wait for them.
        Run next;
        bool skip = false;
        while (takeRun(next, false, *parts.front(), skip) && !skip && partError().isEmpty())
            setError(*parts.front(), parts.front()->paint(next, title));
        stopWorkers(false);
        setError(*parts.front(), parts.front()->end());
        QList<PdfPart> merge;
        for (const auto &p : parts) {
            if (!p->error.isEmpty()) {
                if (error)
                    *error = failure(p->error);
                return false;
            }
            if (!p->pages.isEmpty())
                merge.append(PdfPart { p->file.fileName(), p->pages });
        }
        // The deferred texts, drawn now that they are known, become forms over their pages.
        PdfPart overlay;
        Part texts(file.fileName());
        if (!deferred.isEmpty()) {
            QList<int> at;
            const PreviewDocument pages = deferredPages(deferredText, at);
            const Run run { 0, pages };
            QString failed = texts.paint(run, title);
            if (failed.isEmpty())
                failed = texts.end();
            if (!failed.isEmpty()) {
                if (error)
                    *error = failure(failed);
                return false;
            }
            overlay = PdfPart { texts.file.fileName(), at };
        }
        QString why;
        if (!mergePdfParts(merge, &file, &why, &overlay)) {
            if (error)
                *error = failure(why);
            return false;
        }
        return true;
    }
};

PdfStream::PdfStream(int threads, int runPages)
    : m_threads(threads > 0 ? threads : std::max(1, QThread::idealThreadCount()))
    , m_runPages(runPages > 0 ? runPages : DefaultRunPages)
{ }

PdfStream::~PdfStream() = default;

bool PdfStream::open(const QString &path, const QString &title, QString *error)
{
    d = std::make_unique<Private>(path);
    d->title = title;
    d->threads = m_threads;
    d->runPages = m_runPages;
    if (d->file.open(QIODevice::WriteOnly))
        return true;
    if (error)
        *error
            = QStringLiteral("Cannot write the PDF file %1: %2").arg(path, d->file.errorString());
    d.reset();
    return false;
}

bool PdfStream::add(const PreviewDocument &document, QString *error)
{
    if (!d) {
        if (error)
            *error = QStringLiteral("The PDF file is not open.");
        return false;
    }
    for (int p = 1; p <= document.pageCount(); ++p) {
        if (d->threads <= 1) {
            if (!d->paintSingle(document, p, error))
                return false;
        } else {
            if (d->run.pages.pageCount() == 0)
                d->run.first = d->pages;
            PreviewDocument::Page &page
                = d->run.pages.page(d->run.pages.addPage(document.sizeOfPage(p)));
            page = document.page(p);
            if (!d->deferMarker.isEmpty()) {
                d->takeDeferred(page, d->pages);
                d->sizes.append(page.size);
            }
            if (d->run.pages.pageCount() >= d->runPages && !d->dispatch(error))
                return false;
        }
        ++d->pages;
    }
    return true;
}

bool PdfStream::deferText(const QString &marker)
{
    if (!d || m_threads <= 1 || d->pages > 0)
        return false;
    d->deferMarker = marker;
    return !marker.isEmpty();
}

bool PdfStream::finish(QString *error, const QString &deferredText)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        d.reset();
        return false;
    };
    if (!d)
        return fail(QStringLiteral("The PDF file is not open."));
    const QString path = d->file.fileName();
    if (d->pages == 0)
        return fail(QStringLiteral("The document has no pages."));
    QString why;
    if (d->threads > 1 && d->parts.empty()) {
        // Too few pages to share out: one writer, as on one thread, and the deferred texts
        // drawn over the pages they came from.
        QList<int> at;
        const PreviewDocument texts = d->deferredPages(deferredText, at);
        for (int i = 0; i < at.size(); ++i) {
            PreviewDocument::Page &page = d->run.pages.page(at[i] - d->run.first + 1);
            page.overlay += texts.page(i + 1).items;
        }
        for (int p = 1; p <= d->run.pages.pageCount(); ++p) {
            if (!d->paintSingle(d->run.pages, p, &why))
                return fail(why);
        }
    }
    if (d->single && !d->single->end())
        return fail(QStringLiteral("Cannot write the PDF file %1.").arg(path));
    if (!d->parts.empty() && !d->finishParts(&why, deferredText))
        return fail(why);
    if (!CommitFile(d->file, &why))
        return fail(QStringLiteral("Cannot write the PDF file %1: %2").arg(path, why));
    d.reset();
    return true;
}

bool writePdf(const PreviewDocument &document, const QString &path, QString *error)
{
    if (document.isEmpty()) {
        if (error)
            *error = QStringLiteral("The document has no pages.");
        return false;
    }
    PdfStream pdf;
    return pdf.open(path, document.title(), error) && pdf.add(document, error) && pdf.finish(error);
}

} // namespace kv6::engine
