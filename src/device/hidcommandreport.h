#pragma once

#include <QByteArray>
#include <QString>

// The 73-byte feature report that carries a command word and its value to
// the controller and the answer back: report id 21, 8 bytes of command word,
// 64 bytes of value or answer, zero-padded.
class CVNHidCommandReport
{
public:
    static constexpr quint8 ReportId = 21;
    static constexpr int ReportSize = 73;
    static constexpr int CommandOffset = 1;
    static constexpr int CommandSize = 8;
    static constexpr int ValueOffset = 9;
    static constexpr int ValueSize = 64;

    // Longer words and values are cut; no terminator is added when a field
    // is full.
    static QByteArray make(const QString& command, const QString& value);
    static QByteArray makeRaw(const QString& command, const QByteArray& block);
    // A report ready for get-feature: id 21, the rest zero.
    static QByteArray answerBuffer();
    // Bytes 9..72 up to the first zero, as ASCII.
    static QString answerText(const QByteArray& report);
    // Bytes 9..72 unchanged (zero-padded when the report is short).
    static QByteArray answerBlock(const QByteArray& report);

private:
    static QByteArray makeWithValue(const QString& command, const QByteArray& valueBytes);
};
