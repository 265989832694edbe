#pragma once

// One preview tab of the main window: a built report or proposal, its rendered document and the
// engine's preview with page navigation and zoom.

#include "engine/previewdocument.h"
#include "engine/previewwidget.h"
#include "report/report.h"

#include <QWidget>

class QLabel;
class QSpinBox;
class QToolButton;

namespace kv6 {

class clsProposal;

class ReportTab : public QWidget
{
    Q_OBJECT
public:
    ReportTab(ReportPtr report, const QString &key, QWidget *parent = nullptr);
    ReportTab(std::shared_ptr<clsProposal> proposal, const QString &key, QWidget *parent = nullptr);

    // One of the two is set.
    ReportPtr report() const { return m_report; }
    std::shared_ptr<clsProposal> proposal() const { return m_proposal; }
    // The report's caption, or the proposal's name (its title while it has none).
    QString caption() const;
    QString key() const { return m_key; }
    engine::PreviewDocument &document() { return m_document; }
    engine::PreviewWidget *preview() const { return vspReport; }
    // Shows the document's pages again after a render changed them.
    void refresh();

    // The paper the next render lays out for (portrait size in twips); empty keeps the layout's.
    QSizeF paper;
    bool landscape = false;

    engine::PreviewWidget *vspReport = nullptr;
    QToolButton *cmdFirst = nullptr;
    QToolButton *cmdPrevious = nullptr;
    QSpinBox *spnPage = nullptr;
    QLabel *lblPages = nullptr;
    QToolButton *cmdNext = nullptr;
    QToolButton *cmdLast = nullptr;
    QToolButton *cmdZoomOut = nullptr;
    QToolButton *cmdZoomIn = nullptr;
    QToolButton *cmdFitWidth = nullptr;
    QToolButton *cmdFitPage = nullptr;
    QLabel *lblZoom = nullptr;

private:
    void build();
    void showPosition();

    ReportPtr m_report;
    std::shared_ptr<clsProposal> m_proposal;
    QString m_key;
    engine::PreviewDocument m_document;
};

} // namespace kv6
