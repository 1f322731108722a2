#include "simprocess.h"

#include "device/platform/sim/simlinesocket.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

namespace
{

const QString SimBinary = QStringLiteral(CORVANE_BIN_DIR "/corvane-sim");
constexpr int StartTimeoutMs = 10000;
constexpr int ControlTimeoutMs = 10000;

} // namespace

SimProcess::SimProcess(const QStringList& deviceSpecs)
{
    QStringList arguments
        = { QStringLiteral("--socket"), socketPath(), QStringLiteral("--traffic"), trafficPath() };
    for (const QString& spec : deviceSpecs)
        arguments << QStringLiteral("--device") << spec;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(SimBinary, arguments);
    if (!m_process.waitForStarted(StartTimeoutMs))
        return;
    // Ready once its socket accepts a connection: the file appears before
    // the simulator listens on it.
    QDeadlineTimer deadline(StartTimeoutMs);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        CVNSimLineSocket probe;
        if (probe.connectTo(socketPath(), ControlTimeoutMs)) {
            m_ready = true;
            return;
        }
        QThread::msleep(5);
    }
}

SimProcess::~SimProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool SimProcess::control(const QStringList& arguments)
{
    QProcess process;
    process.start(SimBinary, QStringList({ QStringLiteral("--socket"), socketPath() }) + arguments);
    return process.waitForFinished(ControlTimeoutMs) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

QStringList SimProcess::trafficLines() const
{
    QFile file(trafficPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
