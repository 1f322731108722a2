// The controller's side of the bulk records: what the host sends (request
// records) and what the controller answers (reply records), with values as
// a one-byte tag and the value's bytes, all numbers little-endian.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

namespace corvanesim {

namespace bulktag {
constexpr quint8 None = 0x00;
constexpr quint8 U8 = 0x01;
constexpr quint8 I8 = 0x02;
constexpr quint8 U16 = 0x03;
constexpr quint8 I16 = 0x04;
constexpr quint8 U32 = 0x05;
constexpr quint8 I32 = 0x06;
constexpr quint8 U64 = 0x07;
constexpr quint8 I64 = 0x0A;
constexpr quint8 Float = 0x0B;
constexpr quint8 HostDouble = 0x0C;  // a double the host sent as a 4-byte float
constexpr quint8 Bool = 0x0D;
constexpr quint8 Point = 0x0E;
constexpr quint8 Size = 0x10;
constexpr quint8 Rect = 0x12;
constexpr quint8 Vec2 = 0x14;
constexpr quint8 Vec3 = 0x15;
constexpr quint8 Text = 0x80;
constexpr quint8 Matrix = 0x81;
constexpr quint8 Bytes = 0x82;
constexpr quint8 List = 0x83;
}  // namespace bulktag

// One tagged value as it travels.
struct BulkValue {
    quint8 tag = bulktag::None;
    QVector<qint64> ints;  // whole-number tags (one), bool (one), point and size (two), rect (four)
    QVector<float> reals;  // float tags (one), vectors (two, three), matrix (nine, row by row)
    QByteArray bytes;  // text (without its end byte) and byte arrays
    QList<BulkValue> items;  // list

    static BulkValue integer(qint64 value, quint8 tag = bulktag::I32);
    static BulkValue real(float value);
    static BulkValue flag(bool value);
    static BulkValue pair(quint8 tag, qint64 a, qint64 b);
    static BulkValue matrix(const QVector<float>& nine);
    static BulkValue text(const QString& text);
    static BulkValue byteArray(const QByteArray& bytes);
    static BulkValue list(const QList<BulkValue>& items);

    bool operator==(const BulkValue& o) const
    {
        return tag == o.tag && ints == o.ints && reals == o.reals && bytes == o.bytes && items == o.items;
    }
};

// Record types.
namespace bulkrecord {
constexpr quint8 Get = 1;
constexpr quint8 Set = 2;
constexpr quint8 NoPayload = 3;
constexpr quint8 Call = 4;
constexpr quint8 Error = 5;
constexpr quint8 Data = 6;
constexpr int DataSize = 72;
}  // namespace bulkrecord

struct BulkRecord {
    quint8 type = 0;
    quint32 id = 0;
    QString name;
    BulkValue value;  // a set's value; in a reply, the value of a get, set or call
    QList<BulkValue> arguments;  // a call's arguments
    QString text;  // an error's text
    QByteArray data;  // a data record's block
};

// Reads request records from the front of a message, never beyond its end.
class CVNBulkRequestReader {
public:
    static constexpr int MaxDepth = 16;

    explicit CVNBulkRequestReader(const QByteArray& message) : m_data(message) {}

    bool atEnd() const { return m_at >= m_data.size(); }
    // The next record; false at a zero type byte (the end of the records,
    // problem() empty) and when the record is cut short or holds what a host
    // never sends (an unknown type or tag), and problem() says which.
    bool next(BulkRecord* record);
    QString problem() const { return m_problem; }

private:
    bool take(int count, QByteArray* out);
    bool number(int bytes, quint64* out);
    bool text(QString* out);
    bool value(BulkValue* out, int depth);
    bool values(QList<BulkValue>* out, int depth);
    bool fault(const QString& why);

    QByteArray m_data;
    int m_at = 0;
    QString m_problem;
};

// Appends reply records to a message. Replies to get, set and call carry a
// value, errors a text, data records their 72 bytes.
class CVNBulkReplyWriter {
public:
    void add(const BulkRecord& reply);
    QByteArray message() const { return m_out; }

private:
    void put(quint64 value, int bytes);
    void putText(const QString& text);
    void putValue(const BulkValue& value);
    void putReal(float value);

    QByteArray m_out;
};

// A value as the words a command takes ("3", "10 200", "1", text as it is).
QString valueWords(const BulkValue& value);

}  // namespace corvanesim
