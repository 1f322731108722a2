#include "com/documentchannel.h"

#include "com/comconnection.h"
#include "com/comlogging.h"

CVNDocumentChannel::CVNDocumentChannel(CVNComConnection* connection, Mode mode, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_mode(mode)
{
    connect(connection, &CVNComConnection::readyRead, this, &CVNDocumentChannel::onReadyRead);
}

void CVNDocumentChannel::onReadyRead()
{
    if (!m_connection)
        return;
    if (m_buffer.isBroken()) {
        // Drain and drop: the connection is already closing.
        (void)m_connection->readAll();
        return;
    }
    if (!m_buffer.append(m_connection->readAll())) {
        breakStream();
        return;
    }
    // A handler may close the connection or delete this channel; stop
    // handing on documents then.
    const QPointer<CVNDocumentChannel> self(this);
    if (m_mode == Mode::LastDocument) {
        if (auto document = m_buffer.takeLast())
            emit documentReceived(*document);
    } else {
        while (self && m_connection) {
            auto document = m_buffer.takeNext();
            if (!document)
                break;
            emit documentReceived(*document);
        }
    }
    if (self && m_buffer.isBroken())
        breakStream();
}

void CVNDocumentChannel::breakStream()
{
    qCWarning(lcCom) << "closing connection with broken stream:" << m_buffer.errorText();
    emit streamBroken(m_buffer.errorText());
    if (m_connection)
        m_connection->disconnectFromHost();
}
