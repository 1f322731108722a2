#include "simprocess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QThread>

namespace {

const QString SimBinary = QStringLiteral(CORVANE_BIN_DIR "/corvane-sim");
constexpr int StartTimeoutMs = 10000;
constexpr int ControlTimeoutMs = 10000;

// The socket file appears before the simulator listens on it: ready means
// a connection is accepted.
bool socketAccepts(const QString& path)
{
    QLocalSocket probe;
    probe.connectToServer(path);
    const bool connected = probe.waitForConnected(ControlTimeoutMs);
    probe.abort();
    return connected;
}

} // namespace

SimProcess::SimProcess(const QStringList& deviceSetups)
{
    QStringList arguments = {QStringLiteral("--socket"), socketPath(), QStringLiteral("--traffic"), trafficPath()};
    for (const QString& setup : deviceSetups)
        arguments << QStringLiteral("--device") << setup;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(SimBinary, arguments);
    if (!m_process.waitForStarted(StartTimeoutMs))
        return;
    QDeadlineTimer deadline(StartTimeoutMs);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        if (QFile::exists(socketPath()) && socketAccepts(socketPath())) {
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
    process.start(SimBinary, QStringList({QStringLiteral("--socket"), socketPath()}) + arguments);
    return process.waitForFinished(ControlTimeoutMs) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

QString SimProcess::registerValue(const QString& serial, const QString& word)
{
    QProcess process;
    process.start(SimBinary, {QStringLiteral("--socket"), socketPath(), QStringLiteral("get"), serial, word});
    if (!process.waitForFinished(ControlTimeoutMs))
        return QString();
    QString text = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    if (text.startsWith(QLatin1String("ok ")))
        text = text.mid(3);
    return text;
}

QStringList SimProcess::trafficLines() const
{
    QFile file(trafficPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool SimProcess::trafficHas(const QString& start) const
{
    for (const QString& line : trafficLines()) {
        if (line.startsWith(start))
            return true;
    }
    return false;
}
