#pragma once

// Every message box and every file, font, colour and print dialog of the program goes through
// this façade, so tests can answer it without blocking and the unattended run can log instead of
// showing anything. Nothing else calls the QMessageBox/QFileDialog statics.

#include <functional>
#include <optional>
#include <QColor>
#include <QFont>
#include <QList>
#include <QString>

class QPrinter;
class QWidget;

namespace kv6 {

enum class MsgIcon { None, Information, Question, Exclamation, Critical };
enum class MsgButtons { OK, OKCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
// The answers carry the classic message-box result numbers.
enum class MsgAnswer {
    None = 0,
    OK = 1,
    Cancel = 2,
    Abort = 3,
    Retry = 4,
    Ignore = 5,
    Yes = 6,
    No = 7
};

struct MessageRequest
{
    QString text;
    QString title;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::OK;
    int defaultButton = 1; // 1-based among the buttons shown
};

struct FileRequest
{
    bool save = false;
    QString caption;
    QString folder;
    QString fileName;
    QString filter; // Qt filter list: "Reports (*.rpt);;All files (*)"
    QString defaultExtension; // without the dot; appended to a saved name that has none
};

// The answer the first (default) button gives for a set of buttons.
MsgAnswer DefaultAnswer(const MessageRequest &request);

class DialogProvider
{
public:
    virtual ~DialogProvider() = default;
    virtual MsgAnswer message(const MessageRequest &request) = 0;
    // The chosen path, or "" when cancelled.
    virtual QString fileName(const FileRequest &request) = 0;
    virtual std::optional<QFont> font(const QFont &initial, const QString &caption) = 0;
    virtual std::optional<QColor> color(const QColor &initial, const QString &caption) = 0;
    // Lets the user set up the printer; false when cancelled.
    virtual bool printer(QPrinter &printer, const QString &caption) = 0;
};

// Real Qt dialogs, parented to the active window.
class InteractiveDialogs : public DialogProvider
{
public:
    MsgAnswer message(const MessageRequest &request) override;
    QString fileName(const FileRequest &request) override;
    std::optional<QFont> font(const QFont &initial, const QString &caption) override;
    std::optional<QColor> color(const QColor &initial, const QString &caption) override;
    bool printer(QPrinter &printer, const QString &caption) override;
};

// For the unattended run: shows nothing, answers every message with its default button and hands
// the text to the sink, cancels every dialog.
class SilentDialogs : public DialogProvider
{
public:
    explicit SilentDialogs(std::function<void(const MessageRequest &)> sink = {});
    MsgAnswer message(const MessageRequest &request) override;
    QString fileName(const FileRequest &) override { return {}; }
    std::optional<QFont> font(const QFont &, const QString &) override { return std::nullopt; }
    std::optional<QColor> color(const QColor &, const QString &) override { return std::nullopt; }
    bool printer(QPrinter &, const QString &) override { return false; }

private:
    std::function<void(const MessageRequest &)> m_sink;
};

// For tests: answers from queues and records every request. A request with nothing queued fails
// the test through `onUnexpected` (by default a qWarning) and gets the cancelling answer, so a
// test never blocks.
class ScriptedDialogs : public DialogProvider
{
public:
    QList<MsgAnswer> messageAnswers;
    QList<QString> fileAnswers;
    QList<std::optional<QFont>> fontAnswers;
    QList<std::optional<QColor>> colorAnswers;
    QList<bool> printerAnswers;
    // What the user picks in an accepted print dialog (a file printer, another paper).
    std::function<void(QPrinter &)> choosePrinter;

    QList<MessageRequest> messages;
    QList<FileRequest> files;
    int unexpected = 0;

    MsgAnswer message(const MessageRequest &request) override;
    QString fileName(const FileRequest &request) override;
    std::optional<QFont> font(const QFont &initial, const QString &caption) override;
    std::optional<QColor> color(const QColor &initial, const QString &caption) override;
    bool printer(QPrinter &printer, const QString &caption) override;
};

// The provider in use; interactive unless one was installed.
DialogProvider &Dialogs();
void SetDialogProvider(DialogProvider *provider); // nullptr restores the interactive one

// Installs a provider for the lifetime of the guard and restores the previous one afterwards.
class ScopedDialogProvider
{
public:
    explicit ScopedDialogProvider(DialogProvider *provider);
    ~ScopedDialogProvider();
    ScopedDialogProvider(const ScopedDialogProvider &) = delete;
    ScopedDialogProvider &operator=(const ScopedDialogProvider &) = delete;

private:
    DialogProvider *m_previous;
};

// Message boxes are titled with the product name; start-up sets it from the branding.
void SetDefaultMessageTitle(const QString &title);
QString DefaultMessageTitle();

MsgAnswer MsgBox(const QString &text, MsgIcon icon = MsgIcon::None,
    MsgButtons buttons = MsgButtons::OK, const QString &title = {}, int defaultButton = 1);

} // namespace kv6
