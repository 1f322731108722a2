#include "sensorfunctions.h"

#include "hidcontroller.h"
#include "registertable.h"
#include "simlimits.h"

#include <QRegularExpression>

namespace corvanesim {

namespace {

constexpr int BlockPayload = 60;
constexpr int BlockHeader = 4;
constexpr int MaxBlocks = 100;

QByteArray textBlock(const QString& text)
{
    return fitReport(text.toLatin1(), CommandValueSize);
}

QPair<int, int> pairOf(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 2)
        return {0, 0};
    return {parts[0].toInt(), parts[1].toInt()};
}

// "bgNN" / "bsNN": the block index, or -1.
int blockIndex(const QString& value, const char* tag)
{
    static const QRegularExpression pattern(QStringLiteral("^(b[gs])([0-9]{2})"));
    const QRegularExpressionMatch m = pattern.match(value);
    if (!m.hasMatch() || m.captured(1) != QLatin1String(tag))
        return -1;
    return m.captured(2).toInt();
}

}  // namespace

CVNSensorFunctions::CVNSensorFunctions(CVNRegisterTable* registers, std::function<qint64()> clock,
                                       ContactSource contacts)
    : m_registers(registers), m_clock(std::move(clock)), m_contacts(std::move(contacts))
{
}

QString CVNSensorFunctions::registerText(const char* word) const
{
    QString text;
    (void)m_registers->value(QLatin1String(word), &text);
    return text;
}

int CVNSensorFunctions::width() const
{
    const QPair<int, int> size = pairOf(registerText("fsize"));
    return size.first > 0 && size.second > 0 ? size.first : 0;
}

int CVNSensorFunctions::height() const
{
    const QPair<int, int> size = pairOf(registerText("fsize"));
    return size.first > 0 && size.second > 0 ? size.second : 0;
}

CVNFoilModel::Conditions CVNSensorFunctions::conditions() const
{
    CVNFoilModel::Conditions c;
    c.width = width();
    c.height = height();
    c.mode = registerText("fmode") == QLatin1String("raw") ? CVNFoilModel::Mode::Raw : CVNFoilModel::Mode::Normal;
    c.gain = qBound(0, registerText("gain").toInt(), 7);
    c.capmode = qBound(0, registerText("capmode").toInt(), 3);
    const QPair<int, int> logical = pairOf(registerText("flogs"));
    c.logicalWidth = qMax(1, logical.first + 1);
    c.logicalHeight = qMax(1, logical.second + 1);
    if (m_contacts)
        c.contacts = m_contacts();
    c.mask = m_mask;
    return c;
}

QByteArray CVNSensorFunctions::currentFrame()
{
    return m_foil.frame(conditions(), m_frameNumber++);
}

QByteArray CVNSensorFunctions::frameAt(CVNFoilModel::Mode mode, int gain, bool touches)
{
    CVNFoilModel::Conditions c = conditions();
    if (!touches)
        c.contacts.clear();
    c.mode = mode;
    c.gain = qBound(0, gain, 7);
    return m_foil.frame(c, m_frameNumber++);
}

void CVNSensorFunctions::reboot()
{
    m_frame.clear();
    m_chunk = 0;
    m_healthState = HealthIdle;
    m_healthResult.clear();
}

bool CVNSensorFunctions::command(const CommandReport& command, QByteArray* answerBlock)
{
    const QString word = command.wordText();
    if (word == QLatin1String("frirf")) {
        m_frame = currentFrame();
        m_chunk = 0;
        return false;
    }
    const QString value = command.isQuery() ? QString() : command.valueText();
    if (word == QLatin1String("fec")) {
        *answerBlock = maskCommand(value, command.block);
        return true;
    }
    if (word == QLatin1String("foilh")) {
        *answerBlock = healthCommand(value);
        return true;
    }
    return false;
}

QByteArray CVNSensorFunctions::maskCommand(const QString& value, const QByteArray& block)
{
    const int cells = width() * height();
    const int blocks = cells / (BlockPayload * 8) + 1;
    if (cells == 0 || blocks > MaxBlocks)
        return textBlock(QLatin1String(answers::InvalidArgument));
    if (m_mask.size() != blocks * BlockPayload)
        m_mask = QByteArray(blocks * BlockPayload, char(0xFF));
    const int read = blockIndex(value, "bg");
    const int write = blockIndex(value, "bs");
    const int index = read >= 0 ? read : write;
    if (index < 0 || index >= blocks)
        return textBlock(QLatin1String(answers::InvalidArgument));
    if (write >= 0)
        m_mask.replace(index * BlockPayload, BlockPayload, block.mid(BlockHeader, BlockPayload));
    return fitReport(block.left(BlockHeader) + m_mask.mid(index * BlockPayload, BlockPayload), CommandValueSize);
}

int CVNSensorFunctions::healthStatus()
{
    if (m_healthState == HealthRunning && m_clock() - m_healthStarted >= HealthTestMs)
        m_healthState = HealthDone;
    return m_healthState;
}

QByteArray CVNSensorFunctions::healthCommand(const QString& value)
{
    if (value.isEmpty() || value == QLatin1String("status"))
        return textBlock(QString::number(healthStatus()));
    if (value == QLatin1String("start")) {
        if (healthStatus() != HealthRunning) {
            m_healthState = HealthRunning;
            m_healthStarted = m_clock();
            // The foil as it is when the test starts.
            m_healthResult = m_foil.healthBitmap(width(), height());
        }
        return textBlock(value);
    }
    if (value == QLatin1String("stop")) {
        m_healthState = HealthIdle;
        m_healthResult.clear();
        return textBlock(value);
    }
    const int index = blockIndex(value, "bg");
    if (index < 0 || index >= MaxBlocks)
        return textBlock(QLatin1String(answers::InvalidArgument));
    if (healthStatus() != HealthDone)
        return textBlock(QStringLiteral("error: no result"));
    QByteArray payload = m_healthResult.mid(index * BlockPayload, BlockPayload);
    return fitReport(value.left(BlockHeader).toLatin1() + payload, CommandValueSize);
}

TransferResult CVNSensorFunctions::input(int reportId, int length)
{
    // "frirf" 0: this controller offers no frames.
    if (reportId != FrameReportId || registerText("frirf") == QLatin1String("0"))
        return TransferResult::fail();
    if (m_frame.isEmpty() || m_chunk * FrameChunkBytes >= m_frame.size()) {
        m_frame = currentFrame();
        m_chunk = 0;
        if (m_frame.isEmpty())
            return TransferResult::fail();
    }
    QByteArray report(1, char(FrameReportId));
    report += fitReport(m_frame.mid(m_chunk * FrameChunkBytes, FrameChunkBytes), FrameChunkBytes);
    ++m_chunk;
    return TransferResult::ok(fitReport(report, length));
}

}  // namespace corvanesim
