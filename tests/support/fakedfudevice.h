#pragma once

// A DFU-mode device in process, kept apart from the service's code: the
// class requests directly (as the upload's operations) or as control
// transfers behind a platform handle. Status answers can be scripted,
// requests failed or held at a gate, and every request is recorded.

#include "device/dfuoperations.h"
#include "device/platform/usbplatform.h"

#include <QStringList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class FakeDfuDevice : public CVNDfuOperations
{
public:
    enum : quint8 { AppIdle = 0, Idle = 2, Sync = 3, Busy = 4, DnloadIdle = 5, ManifestSync = 6, Manifest = 7,
                    Error = 10 };

    quint8 state = Idle;
    quint8 status = 0;
    quint32 pollMs = 0;
    QList<CVNDfuStatus> script;  // answers of the next get-status requests
    int failDownloadAtBlock = -1;
    bool failCompletion = false;
    bool failClear = false;
    bool failAbort = false;
    std::function<void(const QString& request)> onRequest;  // inside every request
    QStringList calls;  // "GETSTATUS", "DNLOAD 0 1024", "CLRSTATUS", "ABORT"
    std::atomic<bool> gone { false };  // reset after manifestation: every request fails

    bool getStatus(CVNDfuStatus& record) override
    {
        if (!enter("GETSTATUS"))
            return false;
        if (!script.isEmpty()) {
            record = script.takeFirst();
            state = record.state;
            return true;
        }
        if (state == Manifest)
            return !(gone = true);
        state = state == Sync ? DnloadIdle : state == ManifestSync ? quint8(Manifest) : state;
        record.status = status;
        record.pollTimeoutMs = pollMs;
        record.state = state;
        return true;
    }
    bool clearStatus() override { return enter("CLRSTATUS") && !failClear && (state = Idle, status = 0, true); }
    bool abort() override { return enter("ABORT") && !failAbort && (state = Idle, true); }
    bool download(quint16 block, const QByteArray& data) override
    {
        if (!enter(QStringLiteral("DNLOAD %1 %2").arg(block).arg(data.size())))
            return false;
        if (data.isEmpty())
            return !failCompletion && (state = ManifestSync, true);
        return block != failDownloadAtBlock && (state = Sync, true);
    }
    bool detach(quint16) override { return enter("DETACH"); }

    int count(const QString& request) const { return calls.filter(request).size(); }

private:
    bool enter(const QString& request)
    {
        calls.append(request);
        if (onRequest)
            onRequest(request);
        return !gone;
    }
};

// The same device behind a platform handle: class requests to interface 0
// as control transfers, the status record laid out by hand.
class FakeDfuHandle : public CVNUsbHandle
{
public:
    explicit FakeDfuHandle(std::shared_ptr<FakeDfuDevice> device) : m_device(std::move(device)) {}

    bool setFeature(const QByteArray&) override { return false; }
    bool getFeature(QByteArray&) override { return false; }
    bool getInputReport(QByteArray&) override { return false; }
    qint64 bulkWrite(quint8, const QByteArray&, int) override { return -1; }
    bool bulkRead(quint8, int, int, QByteArray&) override { return false; }
    bool controlTransfer(quint8 type, quint8 request, quint16 value, quint16 index, QByteArray& data, int) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        CVNDfuStatus r;
        if (m_closed || index != 0)
            return false;
        if (type == 0xA1 && request == 3 && data.size() == 6 && m_device->getStatus(r)) {
            const char bytes[] = { char(r.status), char(r.pollTimeoutMs), char(r.pollTimeoutMs >> 8),
                                   char(r.pollTimeoutMs >> 16), char(r.state), char(r.stringIndex) };
            data = QByteArray(bytes, 6);
            return true;
        }
        if (type != 0x21)
            return false;
        return request == 1 ? m_device->download(value, data)
             : request == 4 ? m_device->clearStatus()
             : request == 6 ? m_device->abort() : false;
    }
    void close() override { m_closed = true; }

private:
    std::shared_ptr<FakeDfuDevice> m_device;
    std::mutex m_mutex;
    std::atomic<bool> m_closed { false };
};

// Holds the device inside the first request that starts with a text, until
// released from another thread.
class RequestGate
{
public:
    std::function<void(const QString&)> holdAt(const QString& request)
    {
        return [this, request](const QString& call) {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!call.startsWith(request) || m_reached)
                return;
            m_reached = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_released; });
        };
    }
    bool waitReached(int timeoutMs = 5000)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_reached; });
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_reached = false;
    bool m_released = false;
};
