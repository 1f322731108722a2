#pragma once

#include "interface/deviceinterface.h"

#include <QByteArray>

class DeviceInterfaceBuilder;

// The interface of a controller's vendor bulk channel, named "root": each
// request travels as one record in a message, and every record of the answer
// message becomes a reply with its value as typed as the controller sent it.
class CVNDeviceInterfaceBulk : public CVNDeviceInterface
{
    Q_OBJECT
public:
    static const QString NoReply;
    static const QString MalformedReply;
    static const QString ExchangeFailed;

    explicit CVNDeviceInterfaceBulk(CVNDevice* device);

    // One reply per record of the answer, by id; a later record with the
    // same id replaces an earlier one. While the controller stays open the
    // request always gets a reply: an error reply (type 5) saying what went
    // wrong when its own did not come.
    [[nodiscard]] CVNDeviceReplies execute(const CVNDeviceRequest& request) override;

    // The records of one answer message, read up to the first record of type
    // 0 or the first one that is cut or unreadable; fault then says what was
    // wrong (empty when the message was sound).
    static CVNDeviceReplies readReplies(const QByteArray& message, QString* fault);

private:
    QByteArray m_output;
    QByteArray m_input;
};

// The interface of a bulk device: from its description resource when one
// opens, else from what the controller says about itself. nullptr when
// neither gives a description with the view "basic".
[[nodiscard]] CVNDeviceInterface* buildBulkInterface(
    const DeviceInterfaceBuilder& builder, CVNDevice* device);
