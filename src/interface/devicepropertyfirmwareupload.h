#pragma once

#include "interface/deviceproperty.h"

#include <QByteArray>

// "firmware_upload" of a controller in DFU mode: takes a firmware file from
// the command-line client's file table or as Base64 in JSON and has the DFU
// interface write it. Its value is always null; what became of the last
// upload is its result text.
class DevicePropertyFirmwareUpload : public DeviceProperty
{
public:
    DevicePropertyFirmwareUpload(CVNDeviceInterface* interface, const QString& name, const QString& description,
                                 const QString& command, int accessMode);

    static QString staticTypeName() { return QStringLiteral("FirmwareUpload"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QStringLiteral("Path to firmware file"); }

    // No word: the hint. A path the file table does not hold yet: asks the
    // client for the file ("Uploading ..."). The file: the client's failure
    // to read it, "File is empty", or the upload's result text; a caller
    // that can wait gets the result later instead.
    QString execute(CVNEntityContext& context) override;
    // {"data": Base64 of the file}: starts an upload; its result follows as
    // a change of this property.
    void setValue(const QJsonValue& value) override;
    QJsonValue value() override { return QJsonValue(); }
    CVNDeviceRequest makeRequest() override;
    void handleReply(const CVNDeviceRequest& reply) override;

    QByteArray firmware() const { return m_firmware; }
    QString lastResult() const { return m_lastResult; }

    static QString uploadingText() { return QStringLiteral("Uploading ..."); }

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override { (void)value; }
    QString valueText() const override { return m_lastResult; }
    QJsonValue cachedJson() const override { return QJsonValue(); }
    QVariant requestValue() const override { return m_firmware; }

private:
    // Sends the stored firmware; true when the upload goes on after this
    // returns.
    bool startUpload();

    QByteArray m_firmware;
    QString m_lastResult;
};
