#pragma once

#include "interface/deviceproperty.h"

class DevicePropertyIntPair;
class DevicePropertyString;
template <typename T> class DevicePropertyNumberTemplate;

// Palm and blob rejection as one level 0..10 ("blob_rejection"), derived
// from and written to "tblobrej", "tblobdis", "tblobth" and "tdelayn"
// (taking "fphysc" into account). It sends no request of its own: its
// companions do the device work.
class DevicePropertyBlobRejection : public DeviceProperty
{
public:
    static constexpr int MaxLevel = 10;

    // What a level writes.
    struct Settings
    {
        int major = 0;
        int minor = 0;
        int threshold = 0;
        int delay = 0;
    };

    DevicePropertyBlobRejection(CVNDeviceInterface* interface, const QString& name, const QString& description,
                                const QString& command, int accessMode);

    static QString staticTypeName() { return QStringLiteral("BlobRejection"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QStringLiteral("0..10"); }
    QJsonObject describe() const override; // adds "domain"

    QString execute(CVNEntityContext& context) override;
    void setValue(const QJsonValue& value) override;
    QJsonValue value() override;
    void setSymbolExtra(const QString& role, const QString& value) override;
    CVNDeviceRequest makeRequest() override;

    // For the tuning sequence: the level (read from the companions when
    // nothing valid is cached) and setting it.
    int level();
    void setLevel(int level);

    // The level of a major blob distance for a version word (1..10).
    static int levelOfDistance(quint16 versionWord, int major);
    // The companions' values for level 1..10 (others are limited to it).
    static Settings settingsOf(quint16 versionWord, int level);
    // The smallest "tdelayn" with blob rejection on.
    static int minimumDelay(quint16 productType, int firmwareMajor, quint16 versionWord, bool smallSize,
                            int currentDelay);

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override { (void)value; }
    QString valueText() const override { return QString::number(m_level); }
    QJsonValue cachedJson() const override { return m_level; }
    QVariant requestValue() const override { return m_level; }

private:
    void readLevel();
    void refreshLevel();

    int m_level = 0;
    bool m_busy = false; // reads caused by its own writes are not taken
    DevicePropertyNumberTemplate<int>* m_enabled = nullptr; // tblobrej
    DevicePropertyIntPair* m_distance = nullptr; // tblobdis
    DevicePropertyNumberTemplate<int>* m_threshold = nullptr; // tblobth
    DevicePropertyNumberTemplate<int>* m_delay = nullptr; // tdelayn
    DevicePropertyString* m_physical = nullptr; // fphysc
};
