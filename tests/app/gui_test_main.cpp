// The desktop program's tests run inside one QApplication on Qt's offscreen
// platform, so they need no display.
#include <QApplication>
#include <QDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Windows read and write the settings file; the tests' own stays out of
    // the build tree.
    const std::string settings = QDir::tempPath().toStdString() + "/nv-app-tests-" + std::to_string(::getpid()) + ".ini";
    ::setenv("NISTVIEWER_INI", settings.c_str(), 0);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::remove(settings.c_str());
    return result;
}
