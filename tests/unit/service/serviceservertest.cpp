#include "qtprinters.h"

#include "device/serviceosobserver.h"
#include "service/serviceserver.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <pthread.h>

namespace
{

// Records the calls it gets and on which thread they came.
class RecordingDelegate : public CVNServiceAppDelegate, public CVNServiceOSObserver
{
public:
    void start() override { record(QStringLiteral("start")); }
    void stop() override { record(QStringLiteral("stop")); }
    void pause() override { record(QStringLiteral("pause")); }
    void resume() override { record(QStringLiteral("resume")); }
    void processCommand(int command) override { record(QStringLiteral("command %1").arg(command)); }
    void serviceStarted() override
    {
        record(QStringLiteral("observer started"));
        // The application ends the loop on its own, without a stop control.
        QTimer::singleShot(0, [] { QCoreApplication::exit(3); });
    }
    void serviceStopped() override { record(QStringLiteral("observer stopped")); }

    QStringList calls;
    bool allOnMainThread = true;

private:
    void record(const QString& call)
    {
        calls << call;
        allOnMainThread
            = allOnMainThread && QThread::currentThread() == QCoreApplication::instance()->thread();
    }
};

bool isBlocked(int signalNumber)
{
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    return sigismember(&mask, signalNumber) == 1;
}

} // namespace

TEST(ServiceServer, LoopEndingOnItsOwnStillStopsTheApplicationOnTheMainThread)
{
    ASSERT_FALSE(isBlocked(SIGTERM));
    RecordingDelegate delegate;
    {
        CVNServiceServer server(QStringLiteral("CorvaneService"), QStringLiteral("test"), &delegate);
        server.addObserver(&delegate);
        server.addObserver(&delegate);
        EXPECT_EQ(server.exec({ QStringLiteral("CorvaneService"), QStringLiteral("-e") }), 3);
    }
    EXPECT_EQ(delegate.calls,
        (QStringList { QStringLiteral("start"), QStringLiteral("observer started"), QStringLiteral("stop"),
            QStringLiteral("observer stopped") }));
    EXPECT_TRUE(delegate.allOnMainThread);
    // The control signals belong to the process again once the service ended.
    EXPECT_FALSE(isBlocked(SIGTERM));
    EXPECT_FALSE(isBlocked(SIGRTMIN));
}

TEST(ServiceServer, RunsAgainAfterItEnded)
{
    RecordingDelegate delegate;
    CVNServiceServer server(QStringLiteral("CorvaneService"), QStringLiteral("test"), &delegate);
    server.addObserver(&delegate);
    EXPECT_EQ(server.exec({}), 3);
    EXPECT_EQ(server.exec({}), 3);
    const QStringList once { QStringLiteral("start"), QStringLiteral("observer started"),
        QStringLiteral("stop"), QStringLiteral("observer stopped") };
    EXPECT_EQ(delegate.calls, once + once);
}
