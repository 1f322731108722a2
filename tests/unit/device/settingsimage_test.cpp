// The settings file layouts byte for byte, and the reader's refusals.
#include "device/settingsimage.h"

#include <QList>
#include <QPair>

#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

QByteArray count(quint32 n)
{
    return QByteArray(1, char(n >> 24)) + char(n >> 16) + char(n >> 8) + char(n);
}

QByteArray utf16be(const QString& text)
{
    QByteArray bytes;
    for (const QChar c : text) {
        bytes += char(c.unicode() >> 8);
        bytes += char(c.unicode() & 0xFF);
    }
    return count(bytes.size()) + bytes;
}

CVNSettingsImage tarso(const QString& size, const QByteArray& configuration)
{
    CVNSettingsImage image;
    image.format = CVNSettingsImage::Format::Tarso;
    image.header = CVNSettingsImage::tarsoHeader();
    image.version = QStringLiteral("1.5");
    image.length = size;
    image.configuration = configuration;
    return image;
}

}  // namespace

TEST(SettingsImage, LayoutsByteForByte)
{
    CVNSettingsImage veil;
    veil.header = CVNSettingsImage::veilHeader();
    veil.version = QStringLiteral("2.\u00e94"); // beyond ASCII: a UTF-16 code unit
    veil.length = QStringLiteral("0");
    veil.key = QStringLiteral("");
    // An empty key written as such, a configuration never filled as null.
    const QByteArray expected = utf16be(veil.header) + utf16be(veil.version) + utf16be("0") + count(0) + count(0xFFFFFFFF);
    EXPECT_EQ(veil.toBytes(), expected);

    CVNSettingsImage read;
    QString error;
    ASSERT_TRUE(CVNSettingsImage::fromBytes(expected, CVNSettingsImage::Format::Veil, &read, &error));
    EXPECT_EQ(read.version, veil.version);
    EXPECT_FALSE(read.key.isNull());
    EXPECT_TRUE(read.configuration.isNull());
    EXPECT_EQ(read.toBytes(), expected);

    // Tarso: no key item.
    const CVNSettingsImage t = tarso("3", "abc");
    EXPECT_EQ(t.toBytes(), utf16be(t.header) + utf16be("1.5") + utf16be("3") + count(3) + "abc");
}

TEST(SettingsImage, ReaderRefusals)
{
    const QByteArray header = utf16be(CVNSettingsImage::tarsoHeader());
    const QByteArray good = tarso("3", "abc").toBytes();
    const QList<QPair<QByteArray, QString>> cases = {
        {QByteArray(), "empty file"},
        {QByteArray("\0\0", 2), "truncated file (no header)"},
        {count(3) + "abc", "malformed header (odd byte count)"},
        {count(130) + QByteArray(130, 'a'), "malformed header (longer than 64 characters)"},
        {count(10) + "ab", "truncated file (header claims 10 bytes, 2 left)"},
        {header + utf16be("1.5"), "truncated file (no size)"},
        {header + utf16be("1.5") + utf16be("3") + count(4) + "abc", "truncated file (configuration claims 4 bytes, 3 left)"},
        {header + utf16be("1.5") + utf16be("3") + count(0xFFFFFFFE), "truncated file (configuration claims 4294967294 bytes, 0 left)"},
        {good + '\0', "unexpected data after the configuration"},
    };
    for (const auto& c : cases) {
        CVNSettingsImage image;
        QString error;
        EXPECT_FALSE(CVNSettingsImage::fromBytes(c.first, CVNSettingsImage::Format::Tarso, &image, &error));
        EXPECT_EQ(error, c.second);
    }
}
