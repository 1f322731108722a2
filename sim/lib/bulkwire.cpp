#include "bulkwire.h"

#include <QStringList>
#include <cstring>

namespace corvanesim {

namespace {

bool printable(char c)
{
    return c >= ' ' && c <= '~';
}

// Bytes of the value after its tag, for the tags whose size is fixed.
int fixedSize(quint8 tag)
{
    switch (tag) {
    case bulktag::None: return 0;
    case bulktag::U8: case bulktag::I8: case bulktag::Bool: return 1;
    case bulktag::U16: case bulktag::I16: return 2;
    case bulktag::U32: case bulktag::I32: case bulktag::Float: case bulktag::HostDouble: return 4;
    case bulktag::U64: case bulktag::I64: case bulktag::Point: case bulktag::Size: case bulktag::Vec2: return 8;
    case bulktag::Vec3: return 12;
    case bulktag::Rect: return 16;
    case bulktag::Matrix: return 36;
    default: return -1;
    }
}

float floatOf(quint32 bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

qint64 signExtend(quint64 raw, int bytes)
{
    if (bytes >= 8)
        return qint64(raw);
    const quint64 sign = quint64(1) << (bytes * 8 - 1);
    return qint64((raw ^ sign) - sign);
}

// The fixed-size value read from its little-endian bytes.
BulkValue decodeFixed(quint8 tag, const QByteArray& b)
{
    auto word = [&b](int at, int bytes) {
        quint64 v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | quint8(b[at + i]);
        return v;
    };
    BulkValue out;
    out.tag = tag;
    switch (tag) {
    case bulktag::U8: case bulktag::U16: case bulktag::U32: case bulktag::U64:
        out.ints = {qint64(word(0, b.size()))};
        break;
    case bulktag::I8: case bulktag::I16: case bulktag::I32: case bulktag::I64:
        out.ints = {signExtend(word(0, b.size()), b.size())};
        break;
    case bulktag::Bool:
        out.ints = {b[0] != 0 ? 1 : 0};
        break;
    case bulktag::Point: case bulktag::Size: case bulktag::Rect:
        for (int at = 0; at < b.size(); at += 4)
            out.ints.append(signExtend(word(at, 4), 4));
        break;
    default:  // float, host double, vectors, matrix
        for (int at = 0; at < b.size(); at += 4)
            out.reals.append(floatOf(quint32(word(at, 4))));
        break;
    }
    return out;
}

QString realWords(float f)
{
    return QString::number(double(f), 'g', 7);
}

}  // namespace

BulkValue BulkValue::integer(qint64 value, quint8 tag)
{
    BulkValue v;
    v.tag = tag;
    v.ints = {value};
    return v;
}

BulkValue BulkValue::real(float value)
{
    BulkValue v;
    v.tag = bulktag::Float;
    v.reals = {value};
    return v;
}

BulkValue BulkValue::flag(bool value)
{
    return integer(value ? 1 : 0, bulktag::Bool);
}

BulkValue BulkValue::pair(quint8 tag, qint64 a, qint64 b)
{
    BulkValue v;
    v.tag = tag;
    v.ints = {a, b};
    return v;
}

BulkValue BulkValue::matrix(const QVector<float>& nine)
{
    BulkValue v;
    v.tag = bulktag::Matrix;
    v.reals = nine;
    return v;
}

BulkValue BulkValue::text(const QString& text)
{
    BulkValue v;
    v.tag = bulktag::Text;
    v.bytes = text.toLatin1();
    return v;
}

BulkValue BulkValue::byteArray(const QByteArray& bytes)
{
    BulkValue v;
    v.tag = bulktag::Bytes;
    v.bytes = bytes;
    return v;
}

BulkValue BulkValue::list(const QList<BulkValue>& items)
{
    BulkValue v;
    v.tag = bulktag::List;
    v.items = items;
    return v;
}

bool CVNBulkRequestReader::fault(const QString& why)
{
    if (m_problem.isEmpty())
        m_problem = why;
    return false;
}

bool CVNBulkRequestReader::take(int count, QByteArray* out)
{
    if (count < 0 || count > m_data.size() - m_at)
        return fault(QStringLiteral("record cut short"));
    *out = m_data.mid(m_at, count);
    m_at += count;
    return true;
}

bool CVNBulkRequestReader::number(int bytes, quint64* out)
{
    QByteArray b;
    if (!take(bytes, &b))
        return false;
    quint64 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | quint8(b[i]);
    *out = v;
    return true;
}

bool CVNBulkRequestReader::text(QString* out)
{
    int end = m_at;
    while (end < m_data.size() && printable(m_data[end]))
        ++end;
    if (end >= m_data.size())
        return fault(QStringLiteral("text without end"));
    *out = QString::fromLatin1(m_data.constData() + m_at, end - m_at);
    m_at = end + 1;
    return true;
}

bool CVNBulkRequestReader::values(QList<BulkValue>* out, int depth)
{
    if (depth > MaxDepth)
        return fault(QStringLiteral("lists nested too deep"));
    quint64 raw = 0;
    if (!number(4, &raw))
        return false;
    const qint64 count = signExtend(raw, 4);
    // Each element has at least its tag byte.
    if (count < 0 || count > m_data.size() - m_at)
        return fault(QStringLiteral("list longer than the message"));
    out->clear();
    for (qint64 i = 0; i < count; ++i) {
        BulkValue item;
        if (!value(&item, depth))
            return false;
        out->append(item);
    }
    return true;
}

bool CVNBulkRequestReader::value(BulkValue* out, int depth)
{
    quint64 tag = 0;
    if (!number(1, &tag))
        return false;
    *out = BulkValue();
    out->tag = quint8(tag);
    if (tag == bulktag::Text) {
        QString t;
        if (!text(&t))
            return false;
        out->bytes = t.toLatin1();
        return true;
    }
    if (tag == bulktag::Bytes) {
        quint64 raw = 0;
        if (!number(4, &raw))
            return false;
        return take(int(signExtend(raw, 4)), &out->bytes);
    }
    if (tag == bulktag::List)
        return values(&out->items, depth + 1);
    const int size = fixedSize(quint8(tag));
    if (size < 0)
        return fault(QStringLiteral("unknown value tag %1").arg(tag));
    QByteArray b;
    if (!take(size, &b))
        return false;
    if (size > 0)
        *out = decodeFixed(quint8(tag), b);
    return true;
}

bool CVNBulkRequestReader::next(BulkRecord* record)
{
    *record = BulkRecord();
    quint64 type = 0;
    quint64 id = 0;
    if (!number(1, &type))
        return false;
    if (type == 0)
        return false;  // a zero byte ends the records, as padding does
    if (type < bulkrecord::Get || type > bulkrecord::Data)
        return fault(QStringLiteral("unknown record type %1").arg(type));
    record->type = quint8(type);
    if (!number(4, &id) || !text(&record->name))
        return false;
    record->id = quint32(id);
    switch (record->type) {
    case bulkrecord::Set:
        return value(&record->value, 0);
    case bulkrecord::Call:
        return values(&record->arguments, 0);
    case bulkrecord::Error:
        return text(&record->text);
    case bulkrecord::Data:
        return take(bulkrecord::DataSize, &record->data);
    default:
        return true;
    }
}

void CVNBulkReplyWriter::put(quint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        m_out.append(char(value & 0xFF));
        value >>= 8;
    }
}

void CVNBulkReplyWriter::putText(const QString& text)
{
    QByteArray b = text.toLatin1();
    for (char& c : b) {
        if (!printable(c))
            c = ' ';
    }
    m_out.append(b);
    m_out.append('\0');
}

void CVNBulkReplyWriter::putReal(float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    put(bits, 4);
}

void CVNBulkReplyWriter::putValue(const BulkValue& value)
{
    // The controller never answers with a host double: its floats are 0x0B.
    const quint8 tag = value.tag == bulktag::HostDouble ? bulktag::Float : value.tag;
    m_out.append(char(tag));
    switch (tag) {
    case bulktag::Text:
        putText(QString::fromLatin1(value.bytes));
        return;
    case bulktag::Bytes:
        put(quint64(value.bytes.size()), 4);
        m_out.append(value.bytes);
        return;
    case bulktag::List:
        put(quint64(value.items.size()), 4);
        for (const BulkValue& item : value.items)
            putValue(item);
        return;
    default:
        break;
    }
    const int size = fixedSize(tag);
    if (!value.reals.isEmpty()) {
        for (float f : value.reals)
            putReal(f);
        return;
    }
    const int each = value.ints.isEmpty() ? 0 : size / value.ints.size();
    for (qint64 v : value.ints)
        put(quint64(v), each);
}

void CVNBulkReplyWriter::add(const BulkRecord& reply)
{
    if (reply.type == 0)
        return;
    put(reply.type, 1);
    put(reply.id, 4);
    putText(reply.name);
    switch (reply.type) {
    case bulkrecord::Get:
    case bulkrecord::Set:
    case bulkrecord::Call:
        putValue(reply.value);
        break;
    case bulkrecord::Error:
        putText(reply.text);
        break;
    case bulkrecord::Data: {
        QByteArray block = reply.data.left(bulkrecord::DataSize);
        block.append(QByteArray(bulkrecord::DataSize - block.size(), '\0'));
        m_out.append(block);
        break;
    }
    default:
        break;
    }
}

QString valueWords(const BulkValue& value)
{
    switch (value.tag) {
    case bulktag::Text:
    case bulktag::Bytes:
        return QString::fromLatin1(value.bytes);
    case bulktag::List: {
        QStringList words;
        for (const BulkValue& item : value.items)
            words.append(valueWords(item));
        return words.join(QLatin1Char(' '));
    }
    default:
        break;
    }
    QStringList words;
    for (qint64 v : value.ints)
        words.append(value.tag == bulktag::U64 ? QString::number(quint64(v)) : QString::number(v));
    for (float f : value.reals)
        words.append(realWords(f));
    return words.join(QLatin1Char(' '));
}

}  // namespace corvanesim
