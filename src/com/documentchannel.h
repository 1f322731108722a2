#pragma once

#include "com/documentbuffer.h"

#include <QJsonDocument>
#include <QObject>
#include <QPointer>

class CVNComConnection;

// Reads the documents of one connection with a CVNDocumentBuffer and hands
// them on. A broken stream closes the connection; nothing more is read
// from it.
class CVNDocumentChannel : public QObject
{
    Q_OBJECT
public:
    enum class Mode {
        EveryDocument,  // service side: every document, in order
        LastDocument,   // client side: only the last of the complete ones
    };

    CVNDocumentChannel(CVNComConnection* connection, Mode mode, QObject* parent = nullptr);

    CVNComConnection* connection() const { return m_connection; }
    const CVNDocumentBuffer& buffer() const { return m_buffer; }

signals:
    void documentReceived(const QJsonDocument& document);
    // Emitted once, before the connection is asked to close.
    void streamBroken(const QString& reason);

private slots:
    void onReadyRead();

private:
    void breakStream();

    QPointer<CVNComConnection> m_connection;
    Mode m_mode;
    CVNDocumentBuffer m_buffer;
};
