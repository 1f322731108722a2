#include "device/settingsimage.h"

#include <QDataStream>
#include <QIODevice>

namespace
{

constexpr quint32 NullCount = 0xFFFFFFFFu;
// The closing command of a Veil upload carries its text NUL-terminated in
// one 64-byte block.
constexpr int MaxClosingTextBytes = CVNSettingsImage::BlockSize - 1;

// A bounded cursor over the untrusted bytes: every count is checked against
// what is left before anything is allocated.
class ItemReader
{
public:
    explicit ItemReader(const QByteArray& bytes)
        : m_bytes(bytes)
    {
    }

    [[nodiscard]] bool readText(const char* item, QString* text, QString* error)
    {
        quint32 count = 0;
        if (!readCount(item, &count, error))
            return false;
        if (count == NullCount) {
            *text = QString();
            return true;
        }
        if (count % 2 != 0) {
            *error = QStringLiteral("malformed %1 (odd byte count)").arg(QLatin1String(item));
            return false;
        }
        if (count / 2 > quint32(CVNSettingsImage::MaxTextLength)) {
            *error = QStringLiteral("malformed %1 (longer than %2 characters)")
                         .arg(QLatin1String(item))
                         .arg(CVNSettingsImage::MaxTextLength);
            return false;
        }
        if (!hasLeft(item, count, error))
            return false;
        const auto* data = reinterpret_cast<const uchar*>(m_bytes.constData() + m_offset);
        QString result(int(count / 2), Qt::Uninitialized);
        for (int i = 0; i < result.size(); ++i)
            result[i] = QChar(ushort((data[2 * i] << 8) | data[2 * i + 1]));
        m_offset += int(count);
        // An empty text that was written as such stays distinguishable from a null one.
        *text = result.isNull() ? QString(QLatin1String("")) : result;
        return true;
    }

    [[nodiscard]] bool readBytes(const char* item, QByteArray* bytes, QString* error)
    {
        quint32 count = 0;
        if (!readCount(item, &count, error))
            return false;
        if (count == NullCount) {
            *bytes = QByteArray();
            return true;
        }
        if (!hasLeft(item, count, error))
            return false;
        *bytes = count == 0 ? QByteArray("") : m_bytes.mid(m_offset, int(count));
        m_offset += int(count);
        return true;
    }

    bool atEnd() const { return m_offset == m_bytes.size(); }

private:
    bool readCount(const char* item, quint32* count, QString* error)
    {
        if (m_bytes.size() - m_offset < 4) {
            *error = QStringLiteral("truncated file (no %1)").arg(QLatin1String(item));
            return false;
        }
        const auto* data = reinterpret_cast<const uchar*>(m_bytes.constData() + m_offset);
        *count = (quint32(data[0]) << 24) | (quint32(data[1]) << 16) | (quint32(data[2]) << 8) | quint32(data[3]);
        m_offset += 4;
        return true;
    }

    bool hasLeft(const char* item, quint32 count, QString* error)
    {
        if (quint64(count) > quint64(m_bytes.size() - m_offset)) {
            *error = QStringLiteral("truncated file (%1 claims %2 bytes, %3 left)")
                         .arg(QLatin1String(item))
                         .arg(count)
                         .arg(m_bytes.size() - m_offset);
            return false;
        }
        return true;
    }

    const QByteArray& m_bytes;
    int m_offset = 0;
};

} // namespace

QByteArray CVNSettingsImage::toBytes() const
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setByteOrder(QDataStream::BigEndian);
    stream << header << version << length;
    if (format == Format::Veil)
        stream << key;
    stream << configuration;
    return bytes;
}

bool CVNSettingsImage::fromBytes(const QByteArray& bytes, Format format, CVNSettingsImage* image, QString* error)
{
    if (bytes.isEmpty()) {
        *error = QStringLiteral("empty file");
        return false;
    }
    CVNSettingsImage result;
    result.format = format;
    ItemReader reader(bytes);
    const bool veil = format == Format::Veil;
    if (!reader.readText("header", &result.header, error) || !reader.readText("settings version", &result.version, error)
        || !reader.readText(veil ? "length" : "size", &result.length, error)
        || (veil && !reader.readText("key", &result.key, error))
        || !reader.readBytes("configuration", &result.configuration, error))
        return false;
    if (!reader.atEnd()) {
        *error = QStringLiteral("unexpected data after the configuration");
        return false;
    }
    *image = result;
    return true;
}

bool CVNSettingsImage::parseLength(const QString& text, qint64 maximum, qint64* length)
{
    if (text.isEmpty() || text.size() > 12)
        return false;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        value = value * 10 + (c.unicode() - '0');
    }
    if (value > maximum)
        return false;
    *length = value;
    return true;
}

qint64 CVNSettingsImage::maxLength(Format format)
{
    return format == Format::Tarso ? qint64(TarsoMaxBlocks) * BlockSize : VeilMaxLength;
}

int CVNSettingsImage::blockCount(qint64 length)
{
    return length <= 0 ? 0 : int((length + BlockSize - 1) / BlockSize);
}

int CVNSettingsImage::uploadBlockCount(Format format, qint64 length)
{
    const int blocks = blockCount(length);
    return format == Format::Tarso ? qMax(1, blocks) : blocks;
}

QString CVNSettingsImage::majorPart(const QString& version)
{
    return version.section(QLatin1Char('.'), 0, 0);
}

QString CVNSettingsImage::veilClosingText() const
{
    return key + QLatin1Char(' ') + length;
}

QByteArray CVNSettingsImage::block(int index) const
{
    QByteArray bytes = configuration.mid(index * BlockSize, BlockSize);
    bytes.append(QByteArray(BlockSize - bytes.size(), '\0'));
    return bytes;
}

bool CVNSettingsImage::checkForUpload(QString* error, qint64* lengthOut) const
{
    const bool veil = format == Format::Veil;
    if (header != (veil ? veilHeader() : tarsoHeader())) {
        *error = QStringLiteral("wrong header");
        return false;
    }
    if (veil) {
        bool numeric = false;
        const int major = majorPart(version).toInt(&numeric);
        if (!numeric || major != 2) {
            *error = QStringLiteral("version mismatch (the file holds settings version \"%1\", major version 2 is "
                                    "needed)")
                         .arg(version);
            return false;
        }
    }
    qint64 length = 0;
    if (!parseLength(this->length, maxLength(format), &length)) {
        *error = QStringLiteral("invalid length \"%1\" (a byte count from 0 to %2 is needed)")
                     .arg(this->length)
                     .arg(maxLength(format));
        return false;
    }
    const qint64 room = qint64(uploadBlockCount(format, length)) * BlockSize;
    if (configuration.size() < length || configuration.size() > room) {
        *error = QStringLiteral("the configuration holds %1 bytes, its length %2 needs %3 to %4")
                     .arg(configuration.size())
                     .arg(length)
                     .arg(length)
                     .arg(room);
        return false;
    }
    if (veil) {
        const QString closing = veilClosingText();
        bool latin1 = true;
        for (const QChar c : closing)
            latin1 = latin1 && c.unicode() >= 0x20 && c.unicode() < 0x7F;
        if (!latin1 || closing.size() > MaxClosingTextBytes) {
            *error = QStringLiteral("invalid key \"%1\"").arg(key);
            return false;
        }
    }
    if (lengthOut)
        *lengthOut = length;
    return true;
}
