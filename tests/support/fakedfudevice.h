#pragma once

// A DFU-mode device in process, written from the DFU 1.1 state diagram and
// kept apart from the service's code on purpose: the class requests either
// directly (as the upload's operations) or as control transfers behind a
// platform handle. Answers can be scripted, requests failed or held, and
// every request is recorded.

#include "device/dfuoperations.h"
#include "device/platform/usbplatform.h"

#include <QByteArray>
#include <QList>
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
    // DFU 1.1 numbers, spelled out here rather than taken from the service.
    enum : quint8 { AppIdle = 0, Idle = 2, Sync = 3, Busy = 4, DnloadIdle = 5, ManifestSync = 6, Manifest = 7,
                    Error = 10 };

    quint8 state = Idle;
    quint8 status = 0;
    quint32 pollMs = 0;
    // Answers of the next get-status requests, ahead of the device's own.
    QList<CVNDfuStatus> script;
    // After answering "manifest" the device resets: every request then fails.
    bool resetsAfterManifest = true;
    int failDownloadAtBlock = -1;
    bool failCompletion = false;
    bool failClear = false;
    bool failAbort = false;
    // Called inside every request, before it is answered (to hold one).
    std::function<void(const QString& request)> onRequest;

    QStringList calls;  // "GETSTATUS", "DNLOAD 0 1024", "CLRSTATUS", ...
    QList<quint16> blocks;
    QByteArray image;
    std::atomic<bool> gone { false };

    bool getStatus(CVNDfuStatus& record) override
    {
        if (!enter(QStringLiteral("GETSTATUS")))
            return false;
        if (!script.isEmpty()) {
            record = script.takeFirst();
            state = record.state;
            status = record.status;
            return true;
        }
        quint32 poll = pollMs;
        if (state == Sync) {
            state = DnloadIdle;
        } else if (state == ManifestSync) {
            state = Manifest;
        } else if (state == Manifest && resetsAfterManifest) {
            gone = true;
            return false;
        }
        record.status = status;
        record.pollTimeoutMs = poll;
        record.state = state;
        record.stringIndex = 0;
        return true;
    }
    bool clearStatus() override
    {
        if (!enter(QStringLiteral("CLRSTATUS")) || failClear)
            return false;
        state = Idle;
        status = 0;
        return true;
    }
    bool abort() override
    {
        if (!enter(QStringLiteral("ABORT")) || failAbort)
            return false;
        state = Idle;
        return true;
    }
    bool download(quint16 block, const QByteArray& data) override
    {
        if (!enter(QStringLiteral("DNLOAD %1 %2").arg(block).arg(data.size())))
            return false;
        if (data.isEmpty()) {
            if (failCompletion)
                return false;
            state = ManifestSync;
            return true;
        }
        if (block == failDownloadAtBlock)
            return false;
        blocks.append(block);
        image.append(data);
        state = Sync;
        return true;
    }
    bool detach(quint16 timeoutMs) override { return enter(QStringLiteral("DETACH %1").arg(timeoutMs)); }

    int count(const QString& start) const
    {
        int n = 0;
        for (const QString& call : calls)
            n += call.startsWith(start) ? 1 : 0;
        return n;
    }

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
// arrive as control transfers, as on the bus. Requests are serialised.
class FakeDfuHandle : public CVNUsbHandle
{
public:
    explicit FakeDfuHandle(std::shared_ptr<FakeDfuDevice> device) : m_device(std::move(device)) {}

    bool setFeature(const QByteArray&) override { return false; }
    bool getFeature(QByteArray&) override { return false; }
    bool getInputReport(QByteArray&) override { return false; }
    qint64 bulkWrite(quint8, const QByteArray&, int) override { return -1; }
    bool bulkRead(quint8, int, int, QByteArray&) override { return false; }
    bool controlTransfer(quint8 requestType, quint8 request, quint16 value, quint16 index, QByteArray& data,
                         int) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_closed || index != 0)
            return false;
        if (requestType == 0xA1 && request == 3 && data.size() == 6) {
            CVNDfuStatus record;
            if (!m_device->getStatus(record))
                return false;
            // Laid out by hand: status, 24-bit poll timeout, state, string index.
            data = QByteArray(6, '\0');
            data[0] = char(record.status);
            data[1] = char(record.pollTimeoutMs & 0xFF);
            data[2] = char((record.pollTimeoutMs >> 8) & 0xFF);
            data[3] = char((record.pollTimeoutMs >> 16) & 0xFF);
            data[4] = char(record.state);
            data[5] = char(record.stringIndex);
            return true;
        }
        if (requestType != 0x21)
            return false;
        switch (request) {
        case 1: return m_device->download(value, data);
        case 4: return data.isEmpty() && m_device->clearStatus();
        case 6: return data.isEmpty() && m_device->abort();
        case 0: return data.isEmpty() && m_device->detach(value);
        default: return false;
        }
    }
    void close() override { m_closed = true; }

private:
    std::shared_ptr<FakeDfuDevice> m_device;
    std::mutex m_mutex;
    std::atomic<bool> m_closed { false };
};

// Holds the device inside one request until released, from another thread.
class RequestGate
{
public:
    // The hook for FakeDfuDevice::onRequest: waits at the first request that
    // starts with `request`.
    std::function<void(const QString&)> holdAt(const QString& request)
    {
        return [this, request](const QString& call) {
            if (!call.startsWith(request))
                return;
            std::unique_lock<std::mutex> lock(m_mutex);
            m_reached = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_released; });
        };
    }
    bool waitReached(int timeoutMs)
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
