// The HID function of a controller: performs command reports on the register
// table and serves touch reports from the timeline.
#pragma once

#include "transferresult.h"

#include <QByteArray>
#include <QList>
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
    // Serves the input reports.
    using InputHook = std::function<TransferResult(int reportId, int length)>;

    // A command served outside the register table (binary blocks and the
    // like): its 64 answer bytes and the texts for the traffic log. Texts left
    // null are logged like a register exchange (value text and answer text).
    struct RawAnswer {
        QByteArray field;
        QString loggedValue;
        QString loggedAnswer;
    };
    // Given the word and the 64 value bytes as received; false when it does
    // not take the word.
    using RawHandler = std::function<bool(const QString& word, const QByteArray& block, RawAnswer* answer)>;

    CVNHidController(CVNRegisterTable* registers, const CVNTouchTimeline* timeline, std::function<qint64()> clock);

    void setTrafficSink(TrafficSink sink) { m_traffic = std::move(sink); }
    void setCommandHook(CommandHook hook) { m_hook = std::move(hook); }
    // Asked in the order added, before the register table.
    void addRawHandler(RawHandler handler) { m_rawHandlers.append(std::move(handler)); }
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
    QList<RawHandler> m_rawHandlers;
    InputHook m_inputHook;
    QByteArray m_answer;
};

// A report of exactly `length` bytes: cut, or zero padded.
QByteArray fitReport(const QByteArray& report, int length);

}  // namespace corvanesim
