#include "interface/qtdatastream.h"

#include "interface/interfacelog.h"

#include <QRect>
#include <QStringList>
#include <QTransform>
#include <QVector2D>
#include <QVector3D>
#include <QtEndian>

#include <limits>

#include <cstring>

namespace
{
constexpr char UnprintableReplacement = '?';

bool isPrintable(char byte)
{
    return byte >= 0x20 && byte <= 0x7E;
}
} // namespace

CVNQtDataStream::CVNQtDataStream(QByteArray* buffer)
    : m_buffer(buffer)
{
}

QString CVNQtDataStream::statusText() const
{
    switch (m_status) {
    case Ok:
        return QString();
    case ReadPastEnd:
        return QStringLiteral("message ends inside a record");
    case UnsupportedType:
        return QStringLiteral("Type not supported");
    case TooDeep:
        return QStringLiteral("lists nested too deep");
    }
    return QString();
}

void CVNQtDataStream::fail(Status status)
{
    if (m_status == Ok)
        m_status = status;
}

bool CVNQtDataStream::canRead(qint64 bytes)
{
    if (m_status != Ok)
        return false;
    if (bytes < 0 || bytes > qint64(m_buffer->size()) - m_position) {
        fail(ReadPastEnd);
        return false;
    }
    return true;
}

template <typename T> T CVNQtDataStream::readLittleEndian()
{
    if (!canRead(sizeof(T)))
        return T(0);
    const T value = qFromLittleEndian<T>(m_buffer->constData() + m_position);
    m_position += int(sizeof(T));
    return value;
}

template <typename T> void CVNQtDataStream::writeLittleEndian(T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian<T>(value, bytes);
    m_buffer->append(bytes, int(sizeof(T)));
}

float CVNQtDataStream::readFloat()
{
    const quint32 bits = readLittleEndian<quint32>();
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void CVNQtDataStream::writeFloat(float value)
{
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    writeLittleEndian<quint32>(bits);
}

void CVNQtDataStream::writeUInt8(quint8 value)
{
    m_buffer->append(char(value));
}

void CVNQtDataStream::writeInt32(qint32 value)
{
    writeLittleEndian<qint32>(value);
}

void CVNQtDataStream::writeUInt32(quint32 value)
{
    writeLittleEndian<quint32>(value);
}

void CVNQtDataStream::writeText(const QString& text)
{
    QByteArray bytes = text.toLocal8Bit();
    for (char& byte : bytes) {
        if (!isPrintable(byte))
            byte = UnprintableReplacement;
    }
    m_buffer->append(bytes);
    m_buffer->append('\0');
}

void CVNQtDataStream::writeSize(const QSize& size)
{
    writeInt32(size.width());
    writeInt32(size.height());
}

void CVNQtDataStream::writePoint(const QPoint& point)
{
    writeInt32(point.x());
    writeInt32(point.y());
}

void CVNQtDataStream::writeRaw(const QByteArray& bytes)
{
    m_buffer->append(bytes);
}

void CVNQtDataStream::writeVariantList(const QVariantList& list)
{
    writeInt32(list.size());
    for (const QVariant& element : list)
        writeVariant(element);
}

void CVNQtDataStream::writeVariant(const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::UChar:
    case QMetaType::UShort:
    case QMetaType::UInt:
        writeUInt8(TagUInt32);
        writeUInt32(value.toUInt());
        return;
    case QMetaType::SChar:
    case QMetaType::Char:
    case QMetaType::Short:
    case QMetaType::Int:
        writeUInt8(TagInt32);
        writeInt32(value.toInt());
        return;
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        writeUInt8(TagUInt64);
        writeLittleEndian<quint64>(value.toULongLong());
        return;
    case QMetaType::Long:
    case QMetaType::LongLong:
        writeUInt8(TagInt64);
        writeLittleEndian<qint64>(value.toLongLong());
        return;
    case QMetaType::Float:
        writeUInt8(TagFloat);
        writeFloat(value.toFloat());
        return;
    case QMetaType::Double:
        writeUInt8(TagDoubleAsFloat);
        writeFloat(float(value.toDouble()));
        return;
    case QMetaType::Bool:
        writeUInt8(TagBool);
        writeUInt8(value.toBool() ? 1 : 0);
        return;
    case QMetaType::QPoint:
        writeUInt8(TagPoint);
        writePoint(value.toPoint());
        return;
    case QMetaType::QSize:
        writeUInt8(TagSize);
        writeSize(value.toSize());
        return;
    case QMetaType::QRect: {
        const QRect rect = value.toRect();
        writeUInt8(TagRect);
        writePoint(rect.topLeft());
        writeSize(rect.size());
        return;
    }
    case QMetaType::QVector2D: {
        const QVector2D vector = value.value<QVector2D>();
        writeUInt8(TagVector2D);
        writeFloat(vector.x());
        writeFloat(vector.y());
        return;
    }
    case QMetaType::QVector3D: {
        const QVector3D vector = value.value<QVector3D>();
        writeUInt8(TagVector3D);
        writeFloat(vector.x());
        writeFloat(vector.y());
        writeFloat(vector.z());
        return;
    }
    case QMetaType::QString:
        writeUInt8(TagString);
        writeText(value.toString());
        return;
    case QMetaType::QTransform: {
        const QTransform t = value.value<QTransform>();
        writeUInt8(TagTransform);
        for (qreal element :
            { t.m11(), t.m12(), t.m13(), t.m21(), t.m22(), t.m23(), t.m31(), t.m32(), t.m33() })
            writeFloat(float(element));
        return;
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        writeUInt8(TagByteArray);
        writeInt32(bytes.size());
        writeRaw(bytes);
        return;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        writeUInt8(TagList);
        writeVariantList(value.toList());
        return;
    default:
        break;
    }
    qCWarning(lcInterface) << "CVNQtDataStream: Type not supported";
    const char* name = value.typeName();
    writeUInt8(TagString);
    writeText(QStringLiteral("Type %1 not supported").arg(QLatin1String(name ? name : "invalid")));
}

quint8 CVNQtDataStream::readUInt8()
{
    return readLittleEndian<quint8>();
}

qint32 CVNQtDataStream::readInt32()
{
    return readLittleEndian<qint32>();
}

quint32 CVNQtDataStream::readUInt32()
{
    return readLittleEndian<quint32>();
}

QString CVNQtDataStream::readText()
{
    if (m_status != Ok)
        return QString();
    const int start = m_position;
    int end = start;
    while (end < m_buffer->size() && isPrintable(m_buffer->at(end)))
        ++end;
    // A text that runs to the end of the data never ended: the record is cut.
    if (end >= m_buffer->size()) {
        fail(ReadPastEnd);
        return QString();
    }
    m_position = end + 1;
    return QString::fromLatin1(m_buffer->constData() + start, end - start);
}

QSize CVNQtDataStream::readSize()
{
    const qint32 width = readInt32();
    const qint32 height = readInt32();
    return m_status == Ok ? QSize(width, height) : QSize();
}

QPoint CVNQtDataStream::readPoint()
{
    const qint32 x = readInt32();
    const qint32 y = readInt32();
    return m_status == Ok ? QPoint(x, y) : QPoint();
}

QByteArray CVNQtDataStream::readRaw(int length)
{
    if (!canRead(length))
        return QByteArray();
    const QByteArray bytes = m_buffer->mid(m_position, length);
    m_position += length;
    return bytes;
}

QVariant CVNQtDataStream::readVariant()
{
    return readVariantAt(0);
}

QVariantList CVNQtDataStream::readVariantList()
{
    return readList(0);
}

QVariantList CVNQtDataStream::readList(int depth)
{
    if (depth > MaxNesting) {
        fail(TooDeep);
        return QVariantList();
    }
    const qint32 count = readInt32();
    // Every element takes at least its tag byte: a larger count cannot be
    // in the data, and is refused before anything is reserved for it.
    if (!canRead(count))
        return QVariantList();
    QVariantList list;
    list.reserve(count);
    for (qint32 i = 0; i < count && m_status == Ok; ++i)
        list.append(readVariantAt(depth));
    return m_status == Ok ? list : QVariantList();
}

QVariant CVNQtDataStream::readVariantAt(int depth)
{
    const quint8 tag = readUInt8();
    if (m_status != Ok)
        return QVariant();
    const QVariant value = tag == TagList ? QVariant(readList(depth + 1)) : readTagged(tag);
    return m_status == Ok ? value : QVariant();
}

QVariant CVNQtDataStream::readTagged(quint8 tag)
{
    switch (tag) {
    case TagNone:
        return QVariant();
    case TagUInt8:
        return int(readLittleEndian<quint8>());
    case TagInt8:
        return int(readLittleEndian<qint8>());
    case TagUInt16:
        return int(readLittleEndian<quint16>());
    case TagInt16:
        return int(readLittleEndian<qint16>());
    case TagUInt32:
        return readUInt32();
    case TagInt32:
        return readInt32();
    case TagUInt64:
        return readLittleEndian<quint64>();
    case TagInt64:
        return readLittleEndian<qint64>();
    case TagFloat:
        return readFloat();
    case TagBool:
        return readUInt8() != 0;
    case TagPoint:
        return readPoint();
    case TagSize:
        return readSize();
    case TagRect: {
        const QPoint topLeft = readPoint();
        const QSize size = readSize();
        // QRect computes its far corner in int: a corner past the int range
        // is no rectangle.
        const qint64 right = qint64(topLeft.x()) + size.width() - 1;
        const qint64 bottom = qint64(topLeft.y()) + size.height() - 1;
        if (right > std::numeric_limits<int>::max() || right < std::numeric_limits<int>::min()
            || bottom > std::numeric_limits<int>::max() || bottom < std::numeric_limits<int>::min())
            return QRect();
        return QRect(topLeft, size);
    }
    case TagVector2D: {
        const float x = readFloat();
        const float y = readFloat();
        return QVector2D(x, y);
    }
    case TagVector3D: {
        const float x = readFloat();
        const float y = readFloat();
        const float z = readFloat();
        return QVector3D(x, y, z);
    }
    case TagString:
        return readText();
    case TagTransform: {
        float m[9];
        for (float& element : m)
            element = readFloat();
        return QTransform(m[0], m[1], m[2], m[3], m[4], m[5], m[6], m[7], m[8]);
    }
    case TagByteArray:
        return readRaw(readInt32());
    default:
        break;
    }
    // 0x0C (a double the service sent as float) and every unlisted tag: the
    // length of what follows is unknown, so nothing after it can be read.
    qCWarning(lcInterface) << "Type not supported" << tag;
    fail(UnsupportedType);
    return QVariant();
}
