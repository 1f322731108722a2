#pragma once

#include <QByteArray>
#include <QString>

// A controller's configuration as a file: a QDataStream serialisation
// (big-endian) of a fixed sequence of items. A text item is a 32-bit byte
// count and that many bytes of UTF-16BE code units, a byte-array item a
// 32-bit byte count and the bytes; the count 0xFFFFFFFF stands for a null
// item with no bytes. Two layouts exist, and files written by other tools
// and controllers depend on both exactly:
//   Veil v2.4:  header, settings version, length, key, configuration
//   Tarso v1.0: header, settings version, size, configuration
class CVNSettingsImage
{
public:
    enum class Format { Veil, Tarso };

    static constexpr int BlockSize = 64;
    // Block offsets travel as at least four decimal digits inside an 8-byte
    // command word ("sbsr9984"), so a Tarso configuration has at most 157
    // blocks.
    static constexpr int TarsoMaxBlocks = 157;
    // Veil blocks are numbered without a width limit; this bound only keeps
    // memory and transfer time sane for a device or file that claims more.
    static constexpr qint64 VeilMaxLength = 1024 * 1024;
    // Every text item is a device's answer (at most 64 characters) or one
    // of the fixed headers.
    static constexpr int MaxTextLength = 64;

    static QString veilHeader() { return QStringLiteral("Corvane Veil File Settings v2.4"); }
    static QString tarsoHeader() { return QStringLiteral("Corvane Firmware Settings Tarso v1.0"); }

    Format format = Format::Veil;
    QString header;
    QString version;
    QString length; // decimal byte length of the configuration, as the device wrote it
    QString key;    // Veil only
    QByteArray configuration;

    // The serialisation of the format's items (the key only for Veil). A
    // null text or array is written as the count 0xFFFFFFFF.
    QByteArray toBytes() const;

    // Reads the format's items, in order, from the whole of bytes. False,
    // with the reason, when they are truncated, malformed or followed by
    // anything else; nothing else is checked here.
    [[nodiscard]] static bool fromBytes(const QByteArray& bytes, Format format, CVNSettingsImage* image,
                                        QString* error);

    // Everything an upload needs before a single command goes out: the
    // header, the file's settings version (Veil: major version 2), a
    // decimal length within the format's limits, a configuration that holds
    // at least that many bytes and no more than its blocks, and (Veil) a key
    // that fits the closing command together with the length. False, with
    // the reason, otherwise; lengthOut receives the length when it is good.
    [[nodiscard]] bool checkForUpload(QString* error, qint64* lengthOut = nullptr) const;

    // The decimal length of a device answer or file item: digits only, no
    // sign, at most maximum. False for anything else.
    [[nodiscard]] static bool parseLength(const QString& text, qint64 maximum, qint64* length);
    static qint64 maxLength(Format format);
    // Blocks of BlockSize bytes that hold length bytes (0 for 0).
    static int blockCount(qint64 length);
    // Blocks an upload sends: a Tarso upload always sends the first block.
    static int uploadBlockCount(Format format, qint64 length);
    // The text before the first ".".
    static QString majorPart(const QString& version);
    // The closing argument of a Veil upload: key, one blank, length.
    QString veilClosingText() const;
    // Block i of the configuration, zero-filled to BlockSize bytes.
    QByteArray block(int index) const;
};
