#pragma once

// OSC bundles read back with oscpack's parser into plain values: the
// address, the type tags and the arguments of every message.

#include <osc/OscReceivedElements.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantList>

struct OscMessage {
    QString address;
    QString types;
    QVariantList arguments;
};

struct OscBundle {
    quint64 timeTag = 0;
    QList<OscMessage> messages;
    bool ok = false;
};

inline OscBundle readBundle(const QByteArray& datagram)
{
    OscBundle result;
    try {
        osc::ReceivedPacket packet(datagram.constData(), static_cast<osc::osc_bundle_element_size_t>(datagram.size()));
        if (!packet.IsBundle())
            return result;
        osc::ReceivedBundle bundle(packet);
        result.timeTag = bundle.TimeTag();
        for (auto element = bundle.ElementsBegin(); element != bundle.ElementsEnd(); ++element) {
            osc::ReceivedMessage message(*element);
            OscMessage out;
            out.address = QString::fromLatin1(message.AddressPattern());
            out.types = QString::fromLatin1(message.TypeTags());
            for (auto arg = message.ArgumentsBegin(); arg != message.ArgumentsEnd(); ++arg) {
                if (arg->IsInt32())
                    out.arguments.append(arg->AsInt32());
                else if (arg->IsFloat())
                    out.arguments.append(arg->AsFloat());
                else if (arg->IsString())
                    out.arguments.append(QString::fromUtf8(arg->AsString()));
                else if (arg->IsTimeTag())
                    out.arguments.append(static_cast<qulonglong>(arg->AsTimeTag()));
            }
            result.messages.append(out);
        }
        result.ok = true;
    } catch (const osc::Exception&) {
        result.ok = false;
    }
    return result;
}
