// Every test process gets its own settings folder (QSettings lives under
// XDG_CONFIG_HOME) and a core application for the event loop.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    QCoreApplication::setOrganizationName("Corvane");
    QCoreApplication::setApplicationName("CorvaneService");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
