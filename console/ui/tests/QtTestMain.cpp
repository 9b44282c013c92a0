#include "cAppIdentity.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

// One application object for every widget test. Per-user settings go to a
// folder of this run, never to the real profile; test discovery runs without
// the test environment, so the platform is set here too.
int main(int argc, char* argv[])
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir runtime;
    QTemporaryDir config;
    setenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 0);
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    cAppIdentity::SetUp(app);
    return RUN_ALL_TESTS();
}
