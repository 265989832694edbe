#include "base/dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace kv6 {

namespace {

DialogProvider *g_provider = nullptr;
QString g_title;

QList<MsgAnswer> answersOf(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::OK:
        return { MsgAnswer::OK };
    case MsgButtons::OKCancel:
        return { MsgAnswer::OK, MsgAnswer::Cancel };
    case MsgButtons::AbortRetryIgnore:
        return { MsgAnswer::Abort, MsgAnswer::Retry, MsgAnswer::Ignore };
    case MsgButtons::YesNoCancel:
        return { MsgAnswer::Yes, MsgAnswer::No, MsgAnswer::Cancel };
    case MsgButtons::YesNo:
        return { MsgAnswer::Yes, MsgAnswer::No };
    case MsgButtons::RetryCancel:
        return { MsgAnswer::Retry, MsgAnswer::Cancel };
    }
    return { MsgAnswer::OK };
}

QMessageBox::StandardButton standardButton(MsgAnswer a)
{
    switch (a) {
    case MsgAnswer::OK:
        return QMessageBox::Ok;
    case MsgAnswer::Cancel:
        return QMessageBox::Cancel;
    case MsgAnswer::Abort:
        return QMessageBox::Abort;
    case MsgAnswer::Retry:
        return QMessageBox::Retry;
    case MsgAnswer::Ignore:
        return QMessageBox::Ignore;
    case MsgAnswer::Yes:
        return QMessageBox::Yes;
    case MsgAnswer::No:
        return QMessageBox::No;
    case MsgAnswer::None:
        break;
    }
    return QMessageBox::NoButton;
}

// The answer a dialog closed without choosing gives: Cancel where there is one, else No, else
// the only button.
MsgAnswer escapeAnswer(MsgButtons buttons)
{
    const QList<MsgAnswer> all = answersOf(buttons);
    if (all.contains(MsgAnswer::Cancel))
        return MsgAnswer::Cancel;
    if (all.contains(MsgAnswer::No))
        return MsgAnswer::No;
    return all.last();
}

InteractiveDialogs &interactive()
{
    static InteractiveDialogs provider;
    return provider;
}

} // namespace

MsgAnswer DefaultAnswer(const MessageRequest &request)
{
    const QList<MsgAnswer> all = answersOf(request.buttons);
    const int i = request.defaultButton - 1;
    return i >= 0 && i < all.size() ? all.at(i) : all.first();
}

MsgAnswer InteractiveDialogs::message(const MessageRequest &request)
{
    QMessageBox box(QApplication::activeWindow());
    box.setObjectName(QStringLiteral("kv6MessageBox"));
    box.setWindowTitle(request.title);
    box.setText(request.text);
    switch (request.icon) {
    case MsgIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    for (MsgAnswer a : answersOf(request.buttons)) {
        QPushButton *b = box.addButton(standardButton(a));
        if (a == DefaultAnswer(request))
            box.setDefaultButton(b);
    }
    box.exec();
    QAbstractButton *clicked = box.clickedButton();
    if (!clicked)
        return escapeAnswer(request.buttons);
    for (MsgAnswer a : answersOf(request.buttons)) {
        if (box.standardButton(clicked) == standardButton(a))
            return a;
    }
    return escapeAnswer(request.buttons);
}

QString InteractiveDialogs::fileName(const FileRequest &request)
{
    QFileDialog dialog(
        QApplication::activeWindow(), request.caption, request.folder, request.filter);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.defaultExtension.isEmpty())
        dialog.setDefaultSuffix(request.defaultExtension);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

std::optional<QFont> InteractiveDialogs::font(const QFont &initial, const QString &caption)
{
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, initial, QApplication::activeWindow(), caption);
    return ok ? std::optional<QFont>(f) : std::nullopt;
}

std::optional<QColor> InteractiveDialogs::color(const QColor &initial, const QString &caption)
{
    const QColor c = QColorDialog::getColor(initial, QApplication::activeWindow(), caption);
    return c.isValid() ? std::optional<QColor>(c) : std::nullopt;
}

bool InteractiveDialogs::printer(QPrinter &printer, const QString &caption)
{
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    if (!caption.isEmpty())
        dialog.setWindowTitle(caption);
    return dialog.exec() == QDialog::Accepted;
}

SilentDialogs::SilentDialogs(std::function<void(const MessageRequest &)> sink)
    : m_sink(std::move(sink))
{ }

MsgAnswer SilentDialogs::message(const MessageRequest &request)
{
    if (m_sink)
        m_sink(request);
    return DefaultAnswer(request);
}

MsgAnswer ScriptedDialogs::message(const MessageRequest &request)
{
    messages.append(request);
    if (messageAnswers.isEmpty()) {
        ++unexpected;
        qWarning("Unexpected message box: %s", qPrintable(request.text));
        return escapeAnswer(request.buttons);
    }
    return messageAnswers.takeFirst();
}

QString ScriptedDialogs::fileName(const FileRequest &request)
{
    files.append(request);
    if (fileAnswers.isEmpty()) {
        ++unexpected;
        qWarning("Unexpected file dialog: %s", qPrintable(request.caption));
        return {};
    }
    return fileAnswers.takeFirst();
}

std::optional<QFont> ScriptedDialogs::font(const QFont &, const QString &caption)
{
    if (fontAnswers.isEmpty()) {
        ++unexpected;
        qWarning("Unexpected font dialog: %s", qPrintable(caption));
        return std::nullopt;
    }
    return fontAnswers.takeFirst();
}

std::optional<QColor> ScriptedDialogs::color(const QColor &, const QString &caption)
{
    if (colorAnswers.isEmpty()) {
        ++unexpected;
        qWarning("Unexpected colour dialog: %s", qPrintable(caption));
        return std::nullopt;
    }
    return colorAnswers.takeFirst();
}

bool ScriptedDialogs::printer(QPrinter &printer, const QString &caption)
{
    if (printerAnswers.isEmpty()) {
        ++unexpected;
        qWarning("Unexpected print dialog: %s", qPrintable(caption));
        return false;
    }
    const bool ok = printerAnswers.takeFirst();
    if (ok && choosePrinter)
        choosePrinter(printer);
    return ok;
}

DialogProvider &Dialogs()
{
    return g_provider ? *g_provider : interactive();
}

void SetDialogProvider(DialogProvider *provider)
{
    g_provider = provider;
}

ScopedDialogProvider::ScopedDialogProvider(DialogProvider *provider)
    : m_previous(g_provider)
{
    g_provider = provider;
}

ScopedDialogProvider::~ScopedDialogProvider()
{
    g_provider = m_previous;
}

void SetDefaultMessageTitle(const QString &title)
{
    g_title = title;
}

QString DefaultMessageTitle()
{
    return g_title;
}

MsgAnswer MsgBox(
    const QString &text, MsgIcon icon, MsgButtons buttons, const QString &title, int defaultButton)
{
    MessageRequest r;
    r.text = text;
    r.icon = icon;
    r.buttons = buttons;
    r.title = title.isEmpty() ? g_title : title;
    r.defaultButton = defaultButton;
    return Dialogs().message(r);
}

} // namespace kv6
