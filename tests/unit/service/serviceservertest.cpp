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
    void start() override { record("start"); }
    void stop() override { record("stop"); }
    void pause() override { record("pause"); }
    void resume() override { record("resume"); }
    void processCommand(int command) override { record(QString("command %1").arg(command)); }
    void serviceStarted() override
    {
        record("observer started");
        // The application ends the loop on its own, without a stop control.
        QTimer::singleShot(0, [] { QCoreApplication::exit(3); });
    }
    void serviceStopped() override { record("observer stopped"); }

    QStringList calls;
    bool allOnMainThread = true;

private:
    void record(const QString& call)
    {
        calls << call;
        allOnMainThread = allOnMainThread && QThread::currentThread() == QCoreApplication::instance()->thread();
    }
};

bool isBlocked(int signalNumber)
{
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    return sigismember(&mask, signalNumber) == 1;
}

} // namespace

TEST(ServiceServer, LoopEndingOnItsOwnStopsTheApplicationOnTheMainThreadAndRunsAgain)
{
    ASSERT_FALSE(isBlocked(SIGTERM));
    RecordingDelegate delegate;
    {
        CVNServiceServer server("CorvaneService", "test", &delegate);
        server.addObserver(&delegate);
        server.addObserver(&delegate);
        EXPECT_EQ(server.exec({ "CorvaneService", "-e" }), 3);
        EXPECT_EQ(server.exec({}), 3);
    }
    const QStringList once { "start", "observer started", "stop", "observer stopped" };
    EXPECT_EQ(delegate.calls, once + once);
    EXPECT_TRUE(delegate.allOnMainThread);
    // The control signals belong to the process again once the service ended.
    EXPECT_FALSE(isBlocked(SIGTERM));
    EXPECT_FALSE(isBlocked(SIGRTMIN));
}
