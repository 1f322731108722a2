// The service host controlled the way systemd controls it: by signals to a
// running service process. The service runs in a child process (this test
// program started again with one hidden test selected), with a delegate that
// prints every call it gets.
#include "device/serviceosobserver.h"
#include "service/serviceserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace
{

const char* const kChildVariable = "CORVANE_TEST_SERVICE_CHILD";
constexpr int kWaitMs = 10000;

class PrintingDelegate : public CVNServiceAppDelegate, public CVNServiceOSObserver
{
public:
    void start() override { print("start"); }
    void stop() override { print("stop"); }
    void pause() override { print("pause"); }
    void resume() override { print("resume"); }
    void processCommand(int command) override { print(QByteArray("command ") + QByteArray::number(command)); }
    void serviceStarted() override { print("observer started"); }
    void serviceStopped() override { print("observer stopped"); }

    static void print(const QByteArray& call)
    {
        std::printf("CALL %s\n", call.constData());
        std::fflush(stdout);
    }
};

// Runs the service in a child process and reads its calls.
class ServiceChild
{
public:
    ServiceChild()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(kChildVariable), QStringLiteral("1"));
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--gtest_also_run_disabled_tests"),
                QStringLiteral("--gtest_filter=ServiceChild.DISABLED_RunService") });
    }
    ~ServiceChild()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(kWaitMs);
        }
    }

    pid_t pid() const { return pid_t(m_process.processId()); }

    // Waits until the child printed `call` `count` times; false when it did not in time.
    bool waitFor(const QByteArray& call, int count = 1)
    {
        QElapsedTimer timer;
        timer.start();
        while (m_calls.count(call) < count) {
            if (timer.hasExpired(kWaitMs))
                return false;
            m_process.waitForReadyRead(100);
            readCalls();
        }
        return true;
    }
    bool send(int signalNumber) const { return ::kill(pid(), signalNumber) == 0; }
    bool finish()
    {
        const bool finished = m_process.waitForFinished(kWaitMs);
        readCalls();
        return finished;
    }
    int exitCode() const
    {
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1000;
    }
    QList<QByteArray> calls() const { return m_calls; }

private:
    void readCalls()
    {
        while (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith("CALL "))
                m_calls << line.mid(5);
        }
    }

    QProcess m_process;
    QList<QByteArray> m_calls;
};

} // namespace

// The service process itself; only runs inside a ServiceChild.
TEST(ServiceChild, DISABLED_RunService)
{
    if (qEnvironmentVariableIsEmpty(kChildVariable))
        GTEST_SKIP() << "runs only as the child of the service signal tests";
    PrintingDelegate delegate;
    CVNServiceServer server(QStringLiteral("CorvaneService"), QStringLiteral("signal test"), &delegate);
    server.addObserver(&delegate);
    const int exitCode = server.exec({ QStringLiteral("CorvaneService"), QStringLiteral("-e") });
    PrintingDelegate::print("exit " + QByteArray::number(exitCode));
}

TEST(ServiceSignals, PauseContinueUserControlAndStopWhilePausedReachTheApplicationInOrder)
{
    ServiceChild child;
    ASSERT_TRUE(child.waitFor("observer started"));
    ASSERT_TRUE(child.send(SIGTSTP));
    ASSERT_TRUE(child.waitFor("pause"));
    // A second pause while paused is no control at all.
    ASSERT_TRUE(child.send(SIGTSTP));
    ASSERT_TRUE(child.send(SIGCONT));
    ASSERT_TRUE(child.waitFor("resume"));
    // systemd sends SIGCONT with every stop; a running service ignores it.
    ASSERT_TRUE(child.send(SIGCONT));
    // User control 130.
    ASSERT_TRUE(child.send(SIGRTMIN + 2));
    ASSERT_TRUE(child.waitFor("command 2"));
    // A stop while paused still stops the application.
    ASSERT_TRUE(child.send(SIGTSTP));
    ASSERT_TRUE(child.waitFor("pause", 2));
    ASSERT_TRUE(child.send(SIGTERM));
    ASSERT_TRUE(child.finish());
    EXPECT_EQ(child.exitCode(), 0);
    EXPECT_EQ(child.calls(),
        (QList<QByteArray> { "start", "observer started", "pause", "resume", "command 2", "pause", "stop",
            "observer stopped", "exit 0" }));
}

// What systemd hears is checked on the real program (ServiceProcess).
TEST(ServiceSignals, InterruptStops)
{
    ServiceChild child;
    ASSERT_TRUE(child.waitFor("observer started"));
    ASSERT_TRUE(child.send(SIGINT));
    ASSERT_TRUE(child.finish());
    EXPECT_EQ(child.exitCode(), 0);
    EXPECT_EQ(child.calls(), (QList<QByteArray> { "start", "observer started", "stop", "observer stopped", "exit 0" }));
}
