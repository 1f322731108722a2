#pragma once

#include "device/dfuupload.h"
#include "interface/deviceinterface.h"

#include <memory>

class CVNDeferredResult;
class CVNDfuUploadJob;

// The interface of a controller in DFU mode, named "root": its one request,
// "firmware_upload", writes the firmware file in the request's value. The
// upload runs on a thread of its own, so that the service keeps answering
// everyone else; its reply reaches the entity when it ends.
class DeviceInterfaceDfu : public CVNDeviceInterface
{
    Q_OBJECT
public:
    static QString uploadRequestName() { return QStringLiteral("firmware_upload"); }
    static QString alreadyRunningText() { return QStringLiteral("Firmware upload already running"); }

    explicit DeviceInterfaceDfu(CVNDevice* device, CVNDfuUploadLimits limits = {});
    // A running upload is stopped and waited for.
    ~DeviceInterfaceDfu() override;

    // "firmware_upload": an immediate error reply, or none while the upload
    // runs (the reply follows). Every other request gets no reply.
    [[nodiscard]] CVNDeviceReplies execute(const CVNDeviceRequest& request) override;

    bool isUploading() const;
    // The result of the upload started last; none before the first.
    std::shared_ptr<CVNDeferredResult> uploadResult() const { return m_result; }
    // Blocks until the upload started last has ended and its reply has been
    // handed to the entity.
    void waitForUpload();

private:
    void deliverReply();

    CVNDfuUploadLimits m_limits;
    std::unique_ptr<CVNDfuUploadJob> m_job;
    std::shared_ptr<CVNDeferredResult> m_result;
    CVNDeviceRequest m_request;
    bool m_delivered = true;
};
