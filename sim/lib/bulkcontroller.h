// The bulk function of a controller: takes the host's packets on the OUT
// pipe, performs every request record of a complete message on the register
// table (or answers "metadata"), and offers the reply message, all records
// in one, as packets on the IN pipe.
#pragma once

#include "bulkmetadata.h"
#include "bulkpackets.h"
#include "bulkwire.h"
#include "transferresult.h"

#include <QList>
#include <functional>

namespace corvanesim {

class CVNRegisterTable;

class CVNBulkController {
public:
    static constexpr quint8 OutEndpoint = 0x01;
    static constexpr quint8 InEndpoint = 0x81;

    // Called once per record with the word, the value words and the answer text.
    using TrafficSink = std::function<void(const QString& word, const QString& value, const QString& answer)>;
    // Called for commands that act on the controller as a whole ("dreset").
    using CommandHook = std::function<QString(const QString& word, const QString& value, const QString& answer)>;

    CVNBulkController(CVNRegisterTable* registers, QList<ViewDef> views);

    void setTrafficSink(TrafficSink sink) { m_traffic = std::move(sink); }
    void setCommandHook(CommandHook hook) { m_hook = std::move(hook); }

    // One packet from the host. Fails for another endpoint and for a packet
    // whose length or count does not fit the message begun. A completed
    // message is answered at once; its answer replaces any not yet read.
    TransferResult write(quint8 endpoint, const QByteArray& packet);
    // The next packet of the answer; fails (the host's read times out) when
    // none waits or it is longer than maxLength.
    TransferResult read(quint8 endpoint, int maxLength);

    // The reply message to one request message.
    QByteArray answer(const QByteArray& request);
    // Lengths of the host's packets of the last message.
    QList<int> lastPacketLengths() const { return m_assembler.packetLengths(); }

private:
    BulkRecord perform(const BulkRecord& request);
    QString command(const QString& word, const QString& value);
    BulkRecord refusal(const BulkRecord& request, const QString& text) const;

    CVNRegisterTable* m_registers;
    QList<ViewDef> m_views;
    CVNBulkAssembler m_assembler;
    QList<QByteArray> m_outgoing;
    TrafficSink m_traffic;
    CommandHook m_hook;
};

}  // namespace corvanesim
