#pragma once

#include "interface/deviceproperty.h"

#include <QJsonObject>

#include <functional>

class DevicePropertyTouches;
struct CVNObjectParameters;
struct CVNTouchParameters;

// The parameters of object recognition and of the tracking of touches,
// shared by every controller of the process: the text command "or-conf NAME
// [VALUE...]" reads (no value) or writes one of them, "default" restores
// them all; JSON reads and writes them; each write is stored at once. The
// values stored last by any controller are the ones loaded at the next start.
class ORConfig : public DeviceProperty
{
public:
    ORConfig(CVNDeviceInterface* interface, const QString& name, const QString& description, const QString& command,
             int accessMode);

    static QString staticTypeName() { return QStringLiteral("ORConfig"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override;

    QString execute(CVNEntityContext& context) override;
    void setValue(const QJsonValue& value) override;
    QJsonValue value() override { return cachedJson(); }
    CVNDeviceRequest makeRequest() override { return CVNDeviceRequest(); }
    void saveSettings(QSettings& settings) override;
    void loadSettings(QSettings& settings) override;

    // The touch stream whose or-spec the recognition commands need; null when absent.
    DevicePropertyTouches* touchesLink() const;

    static QString invalidArgumentsText() { return QStringLiteral("Invalid arguments"); }
    static QString invalidParameterText() { return QStringLiteral("Invalid parameter"); }
    static QString defaultsAppliedText() { return QStringLiteral("Default parameters applied"); }
    static QString noTouchesText() { return QStringLiteral("Invalid touch properties"); }
    static QString recognitionDisabledText() { return QStringLiteral("Object recognition is disabled"); }
    static QString noObjectIdText() { return QStringLiteral("Object ID not specified"); }
    static QString unsupportedClassText() { return QStringLiteral("angle-range not supported for this type"); }

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override { (void)value; }
    QString valueText() const override;
    QJsonValue cachedJson() const override;
    QVariant requestValue() const override { return QVariant(); }

private:
    struct Reply
    {
        QString text;
        bool failed = false;
    };
    using Handler = Reply (ORConfig::*)(const QStringList& values);
    struct Command
    {
        const char* name;
        Handler handler;
        bool needsRecognition; // the touches link and an or-spec of 1 or 2
    };
    static const Command* findCommand(const QString& name);

    Reply run(const QStringList& arguments);
    Reply timeLock(const QStringList& values);
    Reply idle(const QStringList& values);
    Reply pressureRejection(const QStringList& values);
    Reply pressureRejectionLocked(const QStringList& values);
    Reply angleRange(const QStringList& values);
    Reply baseDiff(const QStringList& values);
    Reply maxDistance(const QStringList& values);
    Reply pointRejection(const QStringList& values);
    Reply maxCapture(const QStringList& values);
    // Why a write may not happen (empty when it may): a value too many, no write access.
    QString refusal(const QStringList& values) const;
    // Applies both parameter sets process-wide and stores them.
    void commit(const CVNObjectParameters& objects, const CVNTouchParameters& touches);
    void commitTouches(const std::function<void(CVNTouchParameters&)>& change);
    void commitObjects(const std::function<void(CVNObjectParameters&)>& change);
    // A command of at most one value: refused, or `assign` takes the word
    // (false when it is no value), then the reply `text` makes.
    Reply single(const QStringList& values, const std::function<bool(const QString&)>& assign,
                 const std::function<QString()>& text);
    Reply objectNumber(const QStringList& values, const std::function<void(CVNObjectParameters&, double)>& set,
                       const std::function<QString()>& text);
};
