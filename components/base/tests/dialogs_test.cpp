#include "base/dialogs.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

using namespace kv6;

TEST(Dialogs, InteractiveMessageBoxShowsTitleIconAndReturnsTheClickedButton)
{
    QString seenTitle;
    QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
    int buttons = 0;
    // Find the modal box once it is up and press "No".
    QTimer::singleShot(0, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(w);
            if (!box || !box->isVisible())
                continue;
            seenTitle = box->windowTitle();
            seenIcon = box->icon();
            buttons = int(box->buttons().size());
            box->button(QMessageBox::No)->click();
        }
    });
    SetDefaultMessageTitle(QStringLiteral("Korvane 6"));
    InteractiveDialogs provider;
    ScopedDialogProvider guard(&provider);
    EXPECT_EQ(
        MsgBox(QStringLiteral("Delete the group?"), MsgIcon::Exclamation, MsgButtons::YesNoCancel),
        MsgAnswer::No);
    EXPECT_EQ(seenTitle, QStringLiteral("Korvane 6"));
    EXPECT_EQ(seenIcon, QMessageBox::Warning);
    EXPECT_EQ(buttons, 3);
}

TEST(Dialogs, ScriptedProviderRecordsAndNeverBlocks)
{
    ScriptedDialogs scripted;
    scripted.messageAnswers = { MsgAnswer::Yes };
    ScopedDialogProvider guard(&scripted);
    EXPECT_EQ(
        MsgBox(QStringLiteral("first"), MsgIcon::Question, MsgButtons::YesNo), MsgAnswer::Yes);
    // Nothing queued: counted as unexpected, answered as if the box were closed.
    EXPECT_EQ(
        MsgBox(QStringLiteral("second"), MsgIcon::Question, MsgButtons::YesNo), MsgAnswer::No);
    EXPECT_EQ(MsgBox(QStringLiteral("third"), MsgIcon::Critical, MsgButtons::OK), MsgAnswer::OK);
    EXPECT_EQ(scripted.unexpected, 2);
    ASSERT_EQ(scripted.messages.size(), 3);
    EXPECT_EQ(scripted.messages[2].icon, MsgIcon::Critical);
    EXPECT_TRUE(Dialogs().fileName({}).isEmpty());
}

TEST(Dialogs, SilentProviderLogsAndTakesTheDefaultButton)
{
    QStringList logged;
    SilentDialogs silent([&](const MessageRequest &r) { logged.append(r.text); });
    ScopedDialogProvider guard(&silent);
    EXPECT_EQ(
        MsgBox(QStringLiteral("a"), MsgIcon::Question, MsgButtons::YesNo, {}, 2), MsgAnswer::No);
    EXPECT_EQ(
        MsgBox(QStringLiteral("b"), MsgIcon::Question, MsgButtons::RetryCancel), MsgAnswer::Retry);
    EXPECT_EQ(logged, (QStringList { QStringLiteral("a"), QStringLiteral("b") }));
    EXPECT_FALSE(Dialogs().font(QFont(), {}).has_value());
}
