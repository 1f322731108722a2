#pragma once

#include <QByteArray>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QVariant>
#include <QVariantList>

// The raw binary stream of the bulk channel over a byte buffer: integers
// little-endian, texts ending in a zero byte, values as a one-byte tag and
// the value's bytes. A writer appends to the buffer; a reader reads it from
// the front and never past its end: a read that would go beyond it, a tag it
// does not accept or lists nested too deep set the status, and from then on
// every read gives an empty value without touching the buffer.
class CVNQtDataStream
{
public:
    enum Status {
        Ok,
        ReadPastEnd, // the data ended inside an item
        UnsupportedType, // a value tag the reader does not accept
        TooDeep, // lists inside lists beyond MaxNesting
    };

    // Variant tags.
    enum Tag : quint8 {
        TagNone = 0x00,
        TagUInt8 = 0x01,
        TagInt8 = 0x02,
        TagUInt16 = 0x03,
        TagInt16 = 0x04,
        TagUInt32 = 0x05,
        TagInt32 = 0x06,
        TagUInt64 = 0x07,
        TagInt64 = 0x0A,
        TagFloat = 0x0B,
        TagDoubleAsFloat = 0x0C,
        TagBool = 0x0D,
        TagPoint = 0x0E,
        TagSize = 0x10,
        TagRect = 0x12,
        TagVector2D = 0x14,
        TagVector3D = 0x15,
        TagString = 0x80,
        TagTransform = 0x81,
        TagByteArray = 0x82,
        TagList = 0x83,
    };

    static constexpr int MaxNesting = 16;

    // The stream works on the caller's buffer, which must outlive it.
    explicit CVNQtDataStream(QByteArray* buffer);

    void writeUInt8(quint8 value);
    void writeInt32(qint32 value);
    void writeUInt32(quint32 value);
    // Bytes outside printable ASCII are written as '?': the reader would end
    // the text at them and read the rest as the following items.
    void writeText(const QString& text);
    void writeSize(const QSize& size);
    void writePoint(const QPoint& point);
    void writeRaw(const QByteArray& bytes);
    // The tag follows from the value's type; a type without a tag is written
    // as the text "Type NAME not supported".
    void writeVariant(const QVariant& value);
    // A count, then each element as a variant.
    void writeVariantList(const QVariantList& list);

    quint8 readUInt8();
    qint32 readInt32();
    quint32 readUInt32();
    // Printable ASCII up to the first other byte, which is consumed.
    QString readText();
    QSize readSize();
    QPoint readPoint();
    QByteArray readRaw(int length);
    QVariant readVariant();
    QVariantList readVariantList();

    Status status() const { return m_status; }
    // What went wrong, for error replies; empty while the status is Ok.
    QString statusText() const;
    bool atEnd() const { return m_position >= m_buffer->size(); }
    int position() const { return m_position; }

private:
    bool canRead(qint64 bytes);
    void fail(Status status);
    template <typename T> T readLittleEndian();
    template <typename T> void writeLittleEndian(T value);
    float readFloat();
    void writeFloat(float value);
    QVariant readTagged(quint8 tag);
    QVariantList readList(int depth);
    QVariant readVariantAt(int depth);

    QByteArray* m_buffer;
    int m_position = 0;
    Status m_status = Ok;
};
