#include "app/branding.h"
#include "ui/mainwindow.h"

#include "testenv.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFile>

using namespace kv6;

TEST(MainWindow, OpensModelessInEitherModeTitledWithTheProductName)
{
    kv6test::TempEnv env;
    QDir().mkpath(env.path(QStringLiteral("common/kvmark")));
    QFile f(env.path(QStringLiteral("common/kvmark/strings.txt")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("103\tAcme Print\n");
    f.close();
    CreateBranding(env.path(QStringLiteral("common")));

    ShowSimple(); // returns at once: the window is not modal
    ShowAdvanced();
    QList<frmMain *> windows;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *m = qobject_cast<frmMain *>(w); m && m->isVisible())
            windows.append(m);
    }
    ASSERT_EQ(windows.size(), 2);
    EXPECT_NE(windows[0]->isSimpleMode(), windows[1]->isSimpleMode());
    for (frmMain *w : windows) {
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Acme Print"));
        EXPECT_FALSE(w->grab().isNull());
        w->close(); // deletes itself
    }
    QApplication::processEvents();
}
