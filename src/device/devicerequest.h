#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>
#include <QVariantList>

// The one record that passes between an entity and the device interface that
// owns it: the entity makes a request, the interface answers with replies of
// the same shape. A plain value, copied freely.
class CVNDeviceRequest
{
public:
    enum Type : quint8 {
        None = 0, // empty request: nothing to send
        Get = 1,
        Set = 2,
        NoPayload = 3,
        Call = 4,
        Error = 5,
        Data = 6,
    };

    static constexpr int DataSize = 72;

    CVNDeviceRequest();
    CVNDeviceRequest(quint8 type, const QString& name, quint32 id);

    quint8 type = None;
    quint32 id = 0;
    QString name;
    QString text;
    QVariant value;
    QVariantList arguments;
    QByteArray data;

    bool isEmpty() const { return type == None || name.isEmpty(); }

    // A reply to this request: id, type and name copied, the rest empty.
    CVNDeviceRequest makeReply() const;
    // The same carrying a value.
    CVNDeviceRequest makeReply(const QVariant& value) const;
    // An error reply (type Error) to this request, carrying `text`.
    CVNDeviceRequest makeErrorReply(const QString& text) const;

    bool operator==(const CVNDeviceRequest& other) const;
    bool operator!=(const CVNDeviceRequest& other) const { return !(*this == other); }
};

// Replies of one exchange, by request id.
using CVNDeviceReplies = QHash<quint32, CVNDeviceRequest>;
