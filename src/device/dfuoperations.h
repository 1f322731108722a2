#pragma once

#include <QByteArray>
#include <QtGlobal>

// The status record a DFU device answers to get-status (6 bytes on the wire).
struct CVNDfuStatus
{
    static constexpr int WireSize = 6;

    // DFU 1.1 state numbers the upload looks at.
    enum State : quint8 {
        AppIdle = 0,
        AppDetach = 1,
        DfuIdle = 2,
        DnloadSync = 3,
        DnBusy = 4,
        DnloadIdle = 5,
        ManifestSync = 6,
        Manifest = 7,
        ManifestWaitReset = 8,
        UploadIdle = 9,
        Error = 10,
    };
    static constexpr quint8 StatusOk = 0;
    static constexpr quint8 StatusUnknown = 14; // errUNKNOWN

    // Preset before every get-status: what a silent device is taken for.
    quint8 status = StatusUnknown;
    quint32 pollTimeoutMs = 0; // 24 bits on the wire
    quint8 state = Error;
    quint8 stringIndex = 0;

    bool isOk() const { return status == StatusOk; }

    // Reads the six bytes (status, poll timeout little-endian, state, string
    // index); false, record unchanged, when fewer arrived.
    [[nodiscard]] static bool parse(const QByteArray& bytes, CVNDfuStatus* record);
    QByteArray toBytes() const;
};

// The DFU 1.1 class requests the firmware upload needs, each answering
// whether its transfer succeeded. Implemented over the control pipe of a
// DFU interface and by in-process fakes in tests. Callable from any thread.
class CVNDfuOperations
{
public:
    virtual ~CVNDfuOperations() = default;

    [[nodiscard]] virtual bool getStatus(CVNDfuStatus& record) = 0;
    [[nodiscard]] virtual bool clearStatus() = 0;
    [[nodiscard]] virtual bool abort() = 0;
    // `data` empty: the zero-length request that ends a download.
    [[nodiscard]] virtual bool download(quint16 block, const QByteArray& data) = 0;
    [[nodiscard]] virtual bool detach(quint16 timeoutMs) = 0;
};
