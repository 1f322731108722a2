// The HID function of a controller: performs command reports on the register
// table and hands input report reads to the controller's sources (touches).
#pragma once

#include "transferresult.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

namespace corvanesim {

class CVNRegisterTable;

class CVNHidController {
public:
    // Called once per command exchange with word, value and answer text.
    using TrafficSink = std::function<void(const QString& word, const QString& value, const QString& answer)>;
    // Called for commands that act on the controller as a whole ("dreset").
    using CommandHook = std::function<QString(const QString& word, const QString& value, const QString& answer)>;

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

    // An input report source: false when it does not serve that report id.
    using InputHandler = std::function<bool(int reportId, int length, TransferResult* result)>;

    explicit CVNHidController(CVNRegisterTable* registers);

    void setTrafficSink(TrafficSink sink) { m_traffic = std::move(sink); }
    void setCommandHook(CommandHook hook) { m_hook = std::move(hook); }
    // Asked in the order added, before the register table.
    void addRawHandler(RawHandler handler) { m_rawHandlers.append(std::move(handler)); }
    // Asked in the order added; a report id nobody serves fails.
    void addInputHandler(InputHandler handler) { m_inputHandlers.append(std::move(handler)); }

    TransferResult setFeature(const QByteArray& report);
    TransferResult getFeature(int reportId, int length) const;
    TransferResult getInput(int reportId, int length) const;

private:
    CVNRegisterTable* m_registers;
    TrafficSink m_traffic;
    CommandHook m_hook;
    QList<RawHandler> m_rawHandlers;
    QList<InputHandler> m_inputHandlers;
    QByteArray m_answer;
};

// A report of exactly `length` bytes: cut, or zero padded.
QByteArray fitReport(const QByteArray& report, int length);

}  // namespace corvanesim
