#include "simclient.h"

#include "simlimits.h"

#include <QDeadlineTimer>
#include <QLocalSocket>

namespace corvanesim {

namespace {

bool readLine(QLocalSocket* socket, const QDeadlineTimer& deadline, QString* line)
{
    while (!socket->canReadLine()) {
        if (socket->bytesAvailable() > MaxLineLength || deadline.hasExpired()
            || !socket->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            return false;
    }
    *line = QString::fromUtf8(socket->readLine()).trimmed();
    return true;
}

}  // namespace

ClientAnswer sendControlRequest(const QString& socketPath, const QString& request, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs))
        return {false, {QStringLiteral("cannot connect to %1: %2").arg(socketPath, socket.errorString())}};
    socket.write(request.toUtf8() + '\n');
    const bool listing = request == QLatin1String("list");
    ClientAnswer answer;
    QString line;
    while (readLine(&socket, deadline, &line)) {
        if (listing && line == QLatin1String("end")) {
            answer.ok = true;
            return answer;
        }
        answer.lines.append(line);
        if (!listing || line.startsWith(QLatin1String("error"))) {
            answer.ok = line == QLatin1String("ok") || line.startsWith(QLatin1String("ok "));
            return answer;
        }
    }
    answer.lines.append(QStringLiteral("no answer from %1").arg(socketPath));
    return answer;
}

}  // namespace corvanesim
