#include "dfufunction.h"

#include <QHash>

namespace corvanesim {

namespace {

// bmRequestType of class requests to an interface.
constexpr int ClassOut = 0x21;
constexpr int ClassIn = 0xA1;
constexpr int StatusLength = 6;

enum Request { Detach = 0, Dnload = 1, Upload = 2, GetStatus = 3, ClrStatus = 4, GetState = 5, Abort = 6 };

const char* const StateNames[] = {
    "appIDLE", "appDETACH", "dfuIDLE", "dfuDNLOAD-SYNC", "dfuDNBUSY", "dfuDNLOAD-IDLE",
    "dfuMANIFEST-SYNC", "dfuMANIFEST", "dfuMANIFEST-WAIT-RESET", "dfuUPLOAD-IDLE", "dfuERROR",
};

const char* const StatusNames[] = {
    "OK", "errTARGET", "errFILE", "errWRITE", "errERASE", "errCHECK_ERASED", "errPROG", "errVERIFY",
    "errADDRESS", "errNOTDONE", "errFIRMWARE", "errVENDOR", "errUSBR", "errPOR", "errUNKNOWN", "errSTALLEDPKT",
};

const char* const StateWords[] = {
    "appidle", "appdetach", "idle", "dnload-sync", "dnbusy", "dnload-idle",
    "manifest-sync", "manifest", "manifest-wait-reset", "upload-idle", "error",
};

QString requestName(int request)
{
    static const QHash<int, QString> names = {
        {Detach, QStringLiteral("DFU_DETACH")},       {Dnload, QStringLiteral("DFU_DNLOAD")},
        {Upload, QStringLiteral("DFU_UPLOAD")},       {GetStatus, QStringLiteral("DFU_GETSTATUS")},
        {ClrStatus, QStringLiteral("DFU_CLRSTATUS")}, {GetState, QStringLiteral("DFU_GETSTATE")},
        {Abort, QStringLiteral("DFU_ABORT")},
    };
    return names.value(request, QStringLiteral("REQUEST_%1").arg(request));
}

}  // namespace

CVNDfuFunction::CVNDfuFunction()
{
    m_busySince.start();
}

QString CVNDfuFunction::stateName(int state)
{
    return state >= 0 && state <= Error ? QLatin1String(StateNames[state]) : QStringLiteral("state%1").arg(state);
}

QString CVNDfuFunction::statusName(int status)
{
    return status >= 0 && status <= ErrStalledPacket ? QLatin1String(StatusNames[status])
                                                     : QStringLiteral("status%1").arg(status);
}

int CVNDfuFunction::stateFromWord(const QString& word)
{
    for (int i = 0; i <= Error; ++i) {
        if (word == QLatin1String(StateWords[i]))
            return i;
    }
    return -1;
}

void CVNDfuFunction::setState(State state)
{
    m_state = state;
    m_status = state == Error ? ErrUnknown : Ok;
    m_blockPending = false;
    m_busySince.restart();
}

void CVNDfuFunction::clearFaults()
{
    m_refuseBlock = -1;
    m_vanishBlock = -1;
    m_stuckState = -1;
}

void CVNDfuFunction::moveTo(State state, Status status)
{
    // A stuck device keeps its state whatever it is asked.
    if (m_state == m_stuckState)
        return;
    m_state = state;
    m_status = status;
}

void CVNDfuFunction::log(const QString& request, const QString& value, const QString& answer) const
{
    if (m_traffic)
        m_traffic(request, value, answer);
}

QByteArray CVNDfuFunction::statusRecord(int pollMs) const
{
    QByteArray record(StatusLength, '\0');
    record[0] = char(m_status);
    record[1] = char(pollMs & 0xFF);
    record[2] = char((pollMs >> 8) & 0xFF);
    record[3] = char((pollMs >> 16) & 0xFF);
    record[4] = char(m_state);
    return record;
}

TransferResult CVNDfuFunction::stall(const QString& request, const QString& value)
{
    // Every refused request ends in dfuERROR, as DFU 1.1 has it.
    moveTo(Error, ErrStalledPacket);
    log(request, value, QStringLiteral("stall ") + stateName(m_state));
    return TransferResult::fail();
}

TransferResult CVNDfuFunction::control(int requestType, int request, int value, int index, int length,
                                       const QByteArray& data)
{
    const QString name = requestName(request);
    const bool in = (requestType & 0x80) != 0;
    if (index != 0 || requestType != (in ? ClassIn : ClassOut))
        return stall(name, QStringLiteral("type %1 index %2").arg(requestType).arg(index));
    settleBusy();
    // A host that asks before the poll timeout it was given has passed gets
    // no answer: the device is busy writing flash.
    if (m_state == DnBusy)
        return stall(name, QString());
    switch (request) {
    case GetStatus:
        return in && length >= StatusLength ? getStatus() : stall(name, QString());
    case GetState:
        if (!in || length < 1)
            return stall(name, QString());
        log(name, QString(), stateName(m_state));
        return TransferResult::ok(QByteArray(1, char(m_state)));
    case Dnload:
        return !in && data.size() == length ? download(value, data) : stall(name, QString());
    case ClrStatus:
        return in ? stall(name, QString()) : clearStatus();
    case Abort:
        return in ? stall(name, QString()) : abort();
    default:
        // No upload of the image, and no detach: the device is in DFU mode already.
        return stall(name, QString::number(value));
    }
}

void CVNDfuFunction::settleBusy()
{
    if (m_state != DnBusy || m_busySince.nsecsElapsed() < qint64(BlockPollMs) * 1000000 - 500000)
        return;
    if (m_stuckState == DnBusy) {
        // Still busy: the next status answer asks for the same wait again.
        m_state = DnloadSync;
        return;
    }
    m_state = DnloadSync;
    m_blockPending = false;
}

TransferResult CVNDfuFunction::getStatus()
{
    int poll = 0;
    switch (m_state) {
    case DnloadSync:
        if (m_pendingBlock >= 0 && m_pendingBlock == m_refuseBlock) {
            m_refuseBlock = -1;  // once, as vanishing
            m_pendingBlock = -1;
            m_blockPending = false;
            moveTo(Error, ErrWrite);
        } else if (m_blockPending || m_stuckState == DnBusy) {
            m_state = DnBusy;  // the stuck device keeps coming back here
            poll = BlockPollMs;
            m_busySince.restart();
        } else {
            moveTo(DnloadIdle);
        }
        break;
    case ManifestSync:
        moveTo(Manifest);
        poll = m_stuckState == Manifest ? BlockPollMs : ManifestPollMs;
        if (m_state == Manifest && m_stuckState != Manifest && m_manifest)
            m_manifest(m_image, ManifestPollMs);
        break;
    case Manifest:
        // Not reset yet: still putting the image in place. A device that
        // never gets there keeps asking for short waits.
        poll = m_stuckState == Manifest ? BlockPollMs : ManifestPollMs;
        break;
    default:
        break;
    }
    log(requestName(GetStatus), QString(),
        QStringLiteral("%1 %2 %3").arg(statusName(m_status), stateName(m_state)).arg(poll));
    return TransferResult::ok(statusRecord(poll));
}

TransferResult CVNDfuFunction::download(int block, const QByteArray& data)
{
    const QString name = requestName(Dnload);
    const QString value = QStringLiteral("%1 %2").arg(block).arg(data.size());
    if (data.isEmpty()) {
        // The zero-length request ends a download; with nothing downloaded
        // there is nothing to end.
        if (m_state != DnloadIdle)
            return stall(name, value);
        moveTo(ManifestSync);
        log(name, value, QStringLiteral("ok ") + stateName(m_state));
        return TransferResult::ok();
    }
    if (m_state == Idle) {
        m_image.clear();
        m_expectedBlock = 0;
    } else if (m_state != DnloadIdle) {
        return stall(name, value);
    }
    if (block == m_vanishBlock) {
        m_vanishBlock = -1;
        log(name, value, QStringLiteral("vanished"));
        return {TransferResult::Status::Vanished, {}};
    }
    // Blocks come in order, each at most wTransferSize, the whole within the flash.
    if (data.size() > TransferSize || block != (m_expectedBlock & 0xFFFF)
        || m_image.size() + data.size() > MaxImageBytes) {
        moveTo(Error, ErrAddress);
        log(name, value, QStringLiteral("stall ") + stateName(m_state));
        return TransferResult::fail();
    }
    m_image.append(data);
    ++m_expectedBlock;
    m_blockPending = true;
    m_pendingBlock = block;
    moveTo(DnloadSync);
    log(name, value, QStringLiteral("ok ") + stateName(m_state));
    return TransferResult::ok();
}

TransferResult CVNDfuFunction::clearStatus()
{
    const QString name = requestName(ClrStatus);
    if (m_state != Error)
        return stall(name, QString());
    moveTo(Idle);
    log(name, QString(), QStringLiteral("ok ") + stateName(m_state));
    return TransferResult::ok();
}

TransferResult CVNDfuFunction::abort()
{
    const QString name = requestName(Abort);
    if (m_state != Idle && m_state != DnloadIdle && m_state != UploadIdle)
        return stall(name, QString());
    moveTo(Idle);
    if (m_state == Idle)
        m_image.clear();
    log(name, QString(), QStringLiteral("ok ") + stateName(m_state));
    return TransferResult::ok();
}

}  // namespace corvanesim
