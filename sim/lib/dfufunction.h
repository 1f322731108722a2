// The DFU function of a controller in firmware update mode: the DFU 1.1
// state machine on the control pipe (download, status, clear, abort) with
// the waits a flash part imposes, and faults on demand.
#pragma once

#include "transferresult.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <functional>

namespace corvanesim {

class CVNDfuFunction {
public:
    // DFU 1.1 states and status codes, as the device reports them.
    enum State : quint8 {
        AppIdle = 0,
        AppDetach = 1,
        Idle = 2,
        DnloadSync = 3,
        DnBusy = 4,
        DnloadIdle = 5,
        ManifestSync = 6,
        Manifest = 7,
        ManifestWaitReset = 8,
        UploadIdle = 9,
        Error = 10,
    };
    enum Status : quint8 {
        Ok = 0,
        ErrWrite = 3,
        ErrAddress = 8,
        ErrUnknown = 14,
        ErrStalledPacket = 15,
    };

    // Largest block the device takes (wTransferSize) and image it holds.
    static constexpr int TransferSize = 1024;
    static constexpr int MaxImageBytes = 8 * 1024 * 1024;
    // Poll timeouts the device asks for: writing one block, and putting the
    // image in place before it resets.
    static constexpr int BlockPollMs = 2;
    static constexpr int ManifestPollMs = 20;

    // One line per request: the request name, its value and the answer.
    using TrafficSink = std::function<void(const QString& request, const QString& value, const QString& answer)>;
    // The image is complete and being put in place: the device resets and
    // leaves DFU mode after `delayMs`.
    using ManifestSink = std::function<void(const QByteArray& image, int delayMs)>;

    CVNDfuFunction();

    void setTrafficSink(TrafficSink sink) { m_traffic = std::move(sink); }
    void setManifestSink(ManifestSink sink) { m_manifest = std::move(sink); }

    // One control transfer to the DFU interface. A request the state does
    // not take stalls (the transfer fails) and puts the device in dfuERROR.
    TransferResult control(int requestType, int request, int value, int index, int length,
                           const QByteArray& data);

    // Faults on demand.
    void refuseBlock(int block) { m_refuseBlock = block; }  // programming that block fails once (errWRITE)
    void vanishAtBlock(int block) { m_vanishBlock = block; }  // leaves the bus when that block arrives next
    void setState(State state);  // as if it had got there by itself
    void stickAt(int state) { m_stuckState = state; }  // once there, no request moves it on; -1 frees it
    void clearFaults();

    State state() const { return m_state; }
    Status status() const { return m_status; }
    QByteArray image() const { return m_image; }

    // "dfuIDLE", ...; "dfuERROR" style names of USB DFU 1.1.
    static QString stateName(int state);
    static QString statusName(int status);
    // The names the `dfufault` verb takes ("idle", "dnload-idle", ...); -1 when unknown.
    static int stateFromWord(const QString& word);

private:
    TransferResult getStatus();
    TransferResult download(int block, const QByteArray& data);
    TransferResult clearStatus();
    TransferResult abort();
    TransferResult stall(const QString& request, const QString& value);
    void moveTo(State state, Status status = Ok);
    // The device finished a block by itself once its poll timeout passed.
    void settleBusy();
    QByteArray statusRecord(int pollMs) const;
    void log(const QString& request, const QString& value, const QString& answer) const;

    State m_state = Idle;
    Status m_status = Ok;
    QByteArray m_image;
    int m_expectedBlock = 0;
    bool m_blockPending = false;
    int m_pendingBlock = -1;
    QElapsedTimer m_busySince;
    int m_refuseBlock = -1;
    int m_vanishBlock = -1;
    int m_stuckState = -1;
    TrafficSink m_traffic;
    ManifestSink m_manifest;
};

}  // namespace corvanesim
