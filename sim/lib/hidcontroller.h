// The HID function of a controller: performs command reports on the register
// table and serves touch reports from the timeline.
#pragma once

#include "transferresult.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace corvanesim {

class CVNRegisterTable;
struct CommandReport;
class CVNTouchTimeline;

class CVNHidController {
public:
    // Called once per command exchange with word, value and answer text.
    using TrafficSink = std::function<void(const QString& word, const QString& value, const QString& answer)>;
    // Called for commands that act on the controller as a whole ("dreset").
    using CommandHook = std::function<QString(const QString& word, const QString& value, const QString& answer)>;
    // Called first for every command: true when it performed the command,
    // with the 64 answer bytes (binary blocks such as the cell mask).
    using BlockHook = std::function<bool(const CommandReport& command, QByteArray* answerBlock)>;
    // Serves the input reports.
    using InputHook = std::function<TransferResult(int reportId, int length)>;

    CVNHidController(CVNRegisterTable* registers, const CVNTouchTimeline* timeline, std::function<qint64()> clock);

    void setTrafficSink(TrafficSink sink) { m_traffic = std::move(sink); }
    void setCommandHook(CommandHook hook) { m_hook = std::move(hook); }
    void setBlockHook(BlockHook hook) { m_blockHook = std::move(hook); }
    void setInputHook(InputHook hook) { m_inputHook = std::move(hook); }

    TransferResult setFeature(const QByteArray& report);
    TransferResult getFeature(int reportId, int length) const;
    TransferResult getInput(int reportId, int length) const;

private:
    CVNRegisterTable* m_registers;
    const CVNTouchTimeline* m_timeline;
    std::function<qint64()> m_clock;
    TrafficSink m_traffic;
    CommandHook m_hook;
    BlockHook m_blockHook;
    InputHook m_inputHook;
    QByteArray m_answer;
};

// A report of exactly `length` bytes: cut, or zero padded.
QByteArray fitReport(const QByteArray& report, int length);

}  // namespace corvanesim
