// Reply messages of the bulk channel as a controller might send them: every
// record read out of arbitrary bytes, never past the end; also arbitrary
// packets for the device's receive path, and the simulator's request reader
// on the same bytes. Whatever is read must be a record of a known type whose
// values can be used.
#include "device/bulkframing.h"
#include "device/devicebulk.h"
#include "interface/deviceinterfacebulk.h"
#include "interface/qtdatastream.h"

#include "bulkpackets.h"
#include "bulkwire.h"

#include <QCoreApplication>

#include <cstdlib>
#include <memory>

namespace {

void quietHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

// Plays back the fuzz bytes as packets of the lengths the reader asks for.
class BytesHandle : public CVNUsbHandle
{
public:
    explicit BytesHandle(const QByteArray& bytes)
        : m_bytes(bytes)
    {
    }
    bool setFeature(const QByteArray&) override { return false; }
    bool getFeature(QByteArray&) override { return false; }
    bool getInputReport(QByteArray&) override { return false; }
    qint64 bulkWrite(quint8, const QByteArray& data, int) override { return data.size(); }
    bool bulkRead(quint8, int maxLength, int, QByteArray& data) override
    {
        if (m_at >= m_bytes.size())
            return false;
        // The first byte of each read decides whether the packet comes short.
        const int length = quint8(m_bytes[m_at]) < 16 ? maxLength / 2 : maxLength;
        data = m_bytes.mid(m_at, length);
        m_at += length;
        return true;
    }
    bool controlTransfer(quint8, quint8, quint16, quint16, QByteArray&, int) override { return false; }
    void close() override { }

private:
    QByteArray m_bytes;
    int m_at = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qInstallMessageHandler(quietHandler);
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));

    QString fault;
    const CVNDeviceReplies replies = CVNDeviceInterfaceBulk::readReplies(bytes, &fault);
    for (const CVNDeviceRequest& reply : replies) {
        if (reply.type < CVNDeviceRequest::Get || reply.type > CVNDeviceRequest::Data)
            std::abort();
        if (reply.type == CVNDeviceRequest::Data && reply.data.size() != CVNDeviceRequest::DataSize)
            std::abort();
        (void)reply.value.toString();
    }

    QByteArray copy = bytes;
    CVNQtDataStream stream(&copy);
    while (stream.status() == CVNQtDataStream::Ok && !stream.atEnd()) {
        const int before = stream.position();
        (void)stream.readVariant();
        if (stream.position() > copy.size() || (stream.status() == CVNQtDataStream::Ok && stream.position() == before))
            std::abort();
    }

    CVNDeviceParent parent(QStringLiteral("1234000000A1"), QStringLiteral("1.000"), 4660);
    auto* bulk = new CVNDeviceBulk(&parent, std::make_unique<BytesHandle>(bytes), 0x81, 0x01);
    parent.addChild(bulk);
    if (bulk->receiveData() && bulk->takeMessage().size() > CVNBulkFraming::MaxMessageSize)
        std::abort();

    corvanesim::CVNBulkRequestReader reader(bytes);
    corvanesim::BulkRecord record;
    while (!reader.atEnd() && reader.next(&record))
        (void)corvanesim::valueWords(record.value);
    corvanesim::CVNBulkAssembler assembler;
    for (int at = 0; at + corvanesim::BulkFirstPacket <= bytes.size(); at += corvanesim::BulkFirstPacket)
        (void)assembler.add(bytes.mid(at, corvanesim::BulkFirstPacket));
    return 0;
}
