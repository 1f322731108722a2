#pragma once

// Shared by the unit and integration tests of the communication layer.

#include "com/binaryjson.h"
#include "com/comconnection.h"
#include "com/commanager.h"
#include "com/documentchannel.h"
#include "eventwait.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace comtest {

using ::waitUntil;

// Answers every request document of every connection of a manager with
// {"echo": request, "n": sequence number}, the way a server session does.
class EchoResponder : public QObject
{
public:
    explicit EchoResponder(CVNComManager* manager)
    {
        connect(manager, &CVNComManager::addedConnection, this, [this](CVNComConnection* connection) {
            auto* channel = new CVNDocumentChannel(connection, CVNDocumentChannel::Mode::EveryDocument, connection);
            connect(channel, &CVNDocumentChannel::documentReceived, connection,
                    [this, connection](const QJsonDocument& document) {
                        QJsonObject answer;
                        answer.insert(QStringLiteral("echo"), document.object());
                        answer.insert(QStringLiteral("n"), ++m_answered);
                        connection->writeDocument(answer);
                    });
            connect(channel, &CVNDocumentChannel::streamBroken, this, [this] { ++m_broken; });
        });
    }
    int answered() const { return m_answered; }
    int broken() const { return m_broken; }

private:
    int m_answered = 0;
    int m_broken = 0;
};

inline QJsonObject request(int id)
{
    return QJsonObject{{QStringLiteral("actions"),
                        QJsonObject{{QStringLiteral("list"), QJsonArray{QJsonObject{{QStringLiteral("key"), QStringLiteral("th")},
                                                                                    {QStringLiteral("id"), id}}}}}}};
}

} // namespace comtest
