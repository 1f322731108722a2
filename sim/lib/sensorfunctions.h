// The sensor functions of a controller beyond its registers: raw frames
// served as input reports of id 9 ("frirf" starts a fresh one), the cell
// mask in "fec" blocks, and the foil health test that runs inside the
// controller ("foilh start", status 2 while it runs, the result bitmap in
// "bg" blocks). All read the foil model and the registers "fsize", "fmode",
// "gain", "capmode" and "flogs".
#pragma once

#include "commandreport.h"
#include "foilmodel.h"
#include "transferresult.h"

#include <QByteArray>
#include <functional>

namespace corvanesim {

class CVNRegisterTable;

class CVNSensorFunctions {
public:
    // Where fingers lie now, in logical coordinates.
    using ContactSource = std::function<QList<Contact>()>;

    // Frame input reports: the id, then 4032 frame bytes.
    static constexpr int FrameReportId = 9;
    static constexpr int FrameChunkBytes = 4032;
    // How long the controller's foil health test runs.
    static constexpr qint64 HealthTestMs = 1200;
    // "foilh status" answers: no result yet, result ready, running.
    static constexpr int HealthIdle = 0;
    static constexpr int HealthDone = 1;
    static constexpr int HealthRunning = 2;

    CVNSensorFunctions(CVNRegisterTable* registers, std::function<qint64()> clock, ContactSource contacts);

    // Performs the commands of these functions: true with the 64-byte
    // answer when the command was one of them ("fec", "foilh"). "frirf"
    // only starts a fresh frame and is answered by the register table.
    bool command(const CommandReport& command, QByteArray* answerBlock);
    TransferResult input(int reportId, int length);

    CVNFoilModel& foil() { return m_foil; }
    // The grid of "fsize"; an empty size when it holds no grid.
    int width() const;
    int height() const;
    // A frame as the controller sees the sensor now.
    QByteArray currentFrame();
    // The same in that mode at that gain, whatever "fmode" and "gain" hold,
    // with or without the fingers (the controller's own measurements).
    QByteArray frameAt(CVNFoilModel::Mode mode, int gain, bool touches = true);
    // The frame whose input reports are being sent (empty before the first).
    QByteArray sendingFrame() const { return m_frame; }
    // The cell mask as held ("fec" blocks, packed).
    QByteArray mask() const { return m_mask; }
    // The test runs from the start on again after a reboot.
    void reboot();

private:
    QByteArray maskCommand(const QString& value, const QByteArray& block);
    QByteArray healthCommand(const QString& value);
    int healthStatus();
    CVNFoilModel::Conditions conditions() const;
    QString registerText(const char* word) const;

    CVNRegisterTable* m_registers;
    std::function<qint64()> m_clock;
    ContactSource m_contacts;
    CVNFoilModel m_foil;
    QByteArray m_mask;  // packed cell mask as the controller holds it
    QByteArray m_frame;  // the frame being sent
    int m_chunk = 0;
    quint32 m_frameNumber = 0;
    int m_healthState = HealthIdle;
    qint64 m_healthStarted = 0;
    QByteArray m_healthResult;
};

}  // namespace corvanesim
