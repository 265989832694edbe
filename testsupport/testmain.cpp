#include "testenv.h"

#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char **argv)
{
    // Tests never need a real display; widgets are driven on the offscreen platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    // Keep the whole process, including statics created before a test's own TempEnv, away from
    // the real home.
    kv6test::TempEnv processEnv;
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
