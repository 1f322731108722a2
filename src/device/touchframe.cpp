#include "device/touchframe.h"

#include <QtEndian>

namespace
{

void putLe16(QByteArray& bytes, int offset, quint16 value)
{
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>(value >> 8);
}

} // namespace

QByteArray CVNTouchFrame::reportBuffer()
{
    QByteArray report(TouchReportSize, '\0');
    report[0] = static_cast<char>(ReportId);
    return report;
}

QByteArray CVNTouchFrame::fromTouchReport(const QByteArray& input)
{
    QByteArray report = input.left(TouchReportSize);
    report.append(QByteArray(TouchReportSize - report.size(), '\0'));
    const auto* bytes = reinterpret_cast<const uchar*>(report.constData());

    int count = 0;
    while (count < MaxRecords && bytes[1 + count * RecordSize + 1] != 0)
        ++count;

    QByteArray frame(FrameSize, '\0');
    for (int i = 0; i < count; ++i) {
        const uchar* record = bytes + 1 + i * RecordSize;
        const int base = (i / ContactsPerReport) * FrameReportSize;
        const int slot = base + 1 + (i % ContactsPerReport) * SlotSize;
        if (i % ContactsPerReport == 0) {
            frame[base] = static_cast<char>(ReportId);
            frame[base + CountOffset] = static_cast<char>(base == 0 ? count : 0);
            putLe16(frame, base + TrailerOffset, 1);
        }
        frame[slot] = static_cast<char>(record[1]); // flags
        frame[slot + 1] = static_cast<char>(record[0]); // identifier
        putLe16(frame, slot + 2, qFromLittleEndian<quint16>(record + 2)); // x
        putLe16(frame, slot + 4, qFromLittleEndian<quint16>(record + 4)); // y
        putLe16(frame, slot + 6, 0x0101);
        putLe16(frame, slot + 8, qFromLittleEndian<quint16>(record + 6)); // third value
    }
    return frame;
}
