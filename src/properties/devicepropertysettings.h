#pragma once

#include "interface/deviceentitybuilder.h"
#include "interface/deviceproperty.h"

#include <QByteArray>

#include <memory>

// The settings store of a controller: restores the factory defaults, saves
// the configuration to flash, erases it, and moves the whole configuration
// between the controller and a file. Each sub-command calls one named
// device action (bound through "symbols_extra"); an action without a name
// is not available.
class DevicePropertySettings : public DeviceProperty
{
public:
    // Largest settings image taken from a client: the largest configuration
    // and its text items.
    static constexpr int MaxImageBytes = 1024 * 1024 + 4096;

    DevicePropertySettings(CVNDeviceInterface* interface, const QString& name, const QString& description,
                           const QString& command, int accessMode);

    static QString staticTypeName() { return QStringLiteral("DeviceSettings"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override;

    // "default", "save", "load", "erase", "upload PATH", "download PATH";
    // files travel through the context's file table.
    QString execute(CVNEntityContext& context) override;
    // {"action": ..., "data": Base64 image for "upload"}; queued.
    void setValue(const QJsonValue& value) override;
    // The held image as Base64 text.
    QJsonValue value() override;
    void setSymbolExtra(const QString& role, const QString& value) override;
    CVNDeviceRequest makeRequest() override;
    void handleReply(const CVNDeviceRequest& reply) override;

    QByteArray image() const { return m_image; }
    QString actionInFlight() const { return m_action; }
    QString settingsError() const { return m_lastError; }

protected:
    // The sub-commands replace the plain value syntax of the base.
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override;
    QString valueText() const override;
    QJsonValue cachedJson() const override;
    QVariant requestValue() const override { return m_image; }

private:
    struct Action;
    static const Action* findAction(const QString& word);
    QString& actionName(const Action& action);
    // Starts an action: false (and the action's "not available" text as
    // the last error) when it has no name.
    bool start(const Action& action);
    // Runs the started action now; false when no reply came.
    bool runNow();
    void queue();
    QString runSimple(const Action& action);
    QString upload(const QString& path, CVNFileTable& table);
    QString download(const QString& path, CVNFileTable& table);

    QString m_action;
    QString m_lastError;
    QString m_uploadAction;
    QString m_downloadAction;
    QString m_defaultAction;
    QString m_saveAction;
    QString m_loadAction;
    QString m_eraseAction;
    QByteArray m_image;
    bool m_replied = false;
    // Lets a queued run notice that the property is gone.
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};

// "DeviceSettings": the four keys; the actions come from "symbols_extra".
class DevicePropertyBuilderSettings : public CVNDevicePropertyBuilderTemplate2<DevicePropertySettings>
{
};
