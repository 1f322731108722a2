#pragma once

#include "device/dfuupload.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// One firmware upload on a thread of its own, so that the thread that
// started it stays free. Destroying the job stops the upload at its next
// request or wait and waits for the thread.
class CVNDfuUploadJob
{
public:
    // Called once, on the upload's thread, when it ends.
    using Completion = std::function<void(const CVNDfuUploadResult& result)>;

    CVNDfuUploadJob(std::shared_ptr<CVNDfuOperations> device, quint16 dfuProductType, QByteArray file,
        Completion completion, CVNDfuUploadLimits limits = {});
    ~CVNDfuUploadJob();
    CVNDfuUploadJob(const CVNDfuUploadJob&) = delete;
    CVNDfuUploadJob& operator=(const CVNDfuUploadJob&) = delete;

    bool isRunning() const { return !m_done; }
    // Blocks until the upload ended and its completion ran.
    void wait();
    // The upload stops at its next request or wait.
    void cancel();

private:
    void run(QByteArray file, CVNDfuUploadLimits limits);
    bool sleep(int milliseconds);

    std::shared_ptr<CVNDfuOperations> m_device;
    quint16 m_productType;
    Completion m_completion;
    std::atomic<bool> m_cancelled { false };
    std::atomic<bool> m_done { false };
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
};
