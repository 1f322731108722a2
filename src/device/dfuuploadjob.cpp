#include "device/dfuuploadjob.h"

#include <chrono>

CVNDfuUploadJob::CVNDfuUploadJob(std::shared_ptr<CVNDfuOperations> device, quint16 dfuProductType,
    QByteArray file, Completion completion, CVNDfuUploadLimits limits)
    : m_device(std::move(device))
    , m_productType(dfuProductType)
    , m_completion(std::move(completion))
{
    m_thread = std::thread(&CVNDfuUploadJob::run, this, std::move(file), limits);
}

CVNDfuUploadJob::~CVNDfuUploadJob()
{
    cancel();
    wait();
}

void CVNDfuUploadJob::wait()
{
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

void CVNDfuUploadJob::cancel()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cancelled = true;
    }
    m_wake.notify_all();
}

bool CVNDfuUploadJob::sleep(int milliseconds)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_wake.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_cancelled.load(); });
}

void CVNDfuUploadJob::run(QByteArray file, CVNDfuUploadLimits limits)
{
    CVNDfuUploadResult result;
    if (!m_device) {
        result.text = CVNDfuUpload::NoDevice;
    } else {
        CVNDfuUpload upload(*m_device, m_productType, limits);
        upload.setSleep([this](int ms) { return sleep(ms); });
        upload.setCancelled([this] { return m_cancelled.load(); });
        result = upload.run(file);
    }
    // Done before it is told: whoever hears of the end may start the next.
    m_done = true;
    if (m_completion)
        m_completion(result);
}
