// The controller's side of the 73-byte command feature report: report id,
// an 8-byte command word and a 64-byte value (incoming) or answer (outgoing).
#pragma once

#include <QByteArray>
#include <QString>

namespace corvanesim {

struct CommandReport {
    QByteArray word;  // the 8 command bytes as received, zero padded
    QByteArray block;  // the 64 value bytes as received, zero padded

    QString wordText() const;  // up to the first zero byte
    QString valueText() const;  // up to the first zero byte; empty for a query
    bool isQuery() const;  // the value field is all zero
};

// Reads a set-feature report of id 21; shorter reports count as zero padded.
[[nodiscard]] bool decodeCommandReport(const QByteArray& report, CommandReport* command);

// The answer report: id 21, the command bytes echoed, the answer text cut to
// 64 bytes and zero padded.
QByteArray encodeAnswerReport(const QByteArray& word, const QString& answer);

// The same with 64 raw answer bytes (cut or zero padded).
QByteArray encodeAnswerBlock(const QByteArray& word, const QByteArray& block);

// Text of a zero-padded field, up to its first zero byte.
QString fieldText(const QByteArray& field);

}  // namespace corvanesim
