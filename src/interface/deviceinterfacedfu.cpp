#include "interface/deviceinterfacedfu.h"

#include "device/devicedfu.h"
#include "device/dfuuploadjob.h"
#include "interface/deferredresult.h"
#include "interface/entity.h"

DeviceInterfaceDfu::DeviceInterfaceDfu(CVNDevice* device, CVNDfuUploadLimits limits)
    : CVNDeviceInterface(QStringLiteral("root"), device)
    , m_limits(limits)
{
}

DeviceInterfaceDfu::~DeviceInterfaceDfu()
{
    // Before the entities go: the job's end must not reach them.
    m_job.reset();
}

bool DeviceInterfaceDfu::isUploading() const
{
    return m_job && m_job->isRunning();
}

CVNDeviceReplies DeviceInterfaceDfu::execute(const CVNDeviceRequest& request)
{
    if (request.isEmpty() || request.name != uploadRequestName())
        return CVNDeviceReplies();
    auto errorReply = [&request](const QString& text) {
        return CVNDeviceReplies { { request.id, request.makeErrorReply(text) } };
    };
    auto* dfu = qobject_cast<CVNDeviceDfu*>(device());
    if (!dfu || !dfu->isOpen())
        return errorReply(CVNDfuUpload::NoDevice);
    // Two uploads on one control pipe would interleave their blocks.
    if (isUploading())
        return errorReply(alreadyRunningText());

    m_job.reset();
    m_request = request;
    m_delivered = false;
    auto result = std::make_shared<CVNDeferredResult>();
    m_result = result;
    connect(result.get(), &CVNDeferredResult::finished, this, [this, sender = result.get()] {
        if (sender == m_result.get())
            deliverReply();
    });
    // The result object, not this interface, is what the upload's thread
    // touches: the interface may be gone by the time the upload ends.
    m_job = std::make_unique<CVNDfuUploadJob>(dfu->channel(), dfu->productType(), request.value.toByteArray(),
        [result](const CVNDfuUploadResult& outcome) { result->finish(outcome.text, outcome.succeeded); },
        m_limits);
    return CVNDeviceReplies();
}

void DeviceInterfaceDfu::waitForUpload()
{
    if (!m_job)
        return;
    m_job->wait();
    deliverReply();
}

void DeviceInterfaceDfu::deliverReply()
{
    if (m_delivered || !m_result || !m_result->isFinished())
        return;
    m_delivered = true;
    const CVNDeviceRequest reply = m_request.makeErrorReply(m_result->text());
    Entity* receiver = entity(m_request.name);
    if (receiver && receiver->kind() == Entity::PropertyKind)
        static_cast<CVNProperty*>(receiver)->handleReply(reply);
}
