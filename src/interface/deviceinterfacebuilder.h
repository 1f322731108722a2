#pragma once

#include "device/devicekind.h"

#include <QHash>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class CVNDevice;
class CVNDeviceEntityBuilder;
class CVNDeviceInterface;

// Turns a device into its interface: chooses the description resource for
// the device's product type, firmware and channel, builds one entity per
// description entry through the builder registered for its type, and groups
// the entities into views.
class DeviceInterfaceBuilder
{
public:
    using BuilderFactory = std::function<CVNDeviceEntityBuilder*()>;

    // Largest description file read; larger files count as unreadable.
    static constexpr qint64 MaxDescriptionBytes = 8 * 1024 * 1024;
    // Entries of a description beyond this count are ignored.
    static constexpr int MaxDescriptionEntities = 4096;

    // Fills the registry and rebuilds the resource index.
    DeviceInterfaceBuilder();
    ~DeviceInterfaceBuilder();
    DeviceInterfaceBuilder(const DeviceInterfaceBuilder&) = delete;
    DeviceInterfaceBuilder& operator=(const DeviceInterfaceBuilder&) = delete;

    // A new interface owned by the caller, or nullptr (unsupported kind, no
    // description, or a description without the view "basic").
    [[nodiscard]] CVNDeviceInterface* build(CVNDevice* device) const;

    // Builds the entities and views of a description into a device
    // interface; false (the interface is left to the caller to delete) when
    // there is no view "basic". logMissing: say which types have no builder.
    [[nodiscard]] bool populate(CVNDeviceInterface* interface, const QJsonObject& description,
                                bool logMissing = false) const;

    // Registry.
    CVNDeviceEntityBuilder* builder(const QString& type) const;
    // Registered type strings in registry order.
    QStringList registeredTypes() const { return m_order; }

    // Builders of property classes that live outside this folder register
    // their type here once, before the first DeviceInterfaceBuilder is made:
    //   DeviceInterfaceBuilder::registerBuilderType<DevicePropertyBuilderFrame>("Frame");
    // The type string must be one of the known type strings (registryOrder);
    // anything else is refused.
    template <typename Builder>
    static bool registerBuilderType(const QString& type)
    {
        return registerBuilderFactory(type, [] { return new Builder(); });
    }
    static bool registerBuilderFactory(const QString& type, BuilderFactory factory);
    // Every type string of the registry, in registry order.
    static QStringList registryOrder();

    // Resource keys to try, in order, for a device of that channel kind.
    static QStringList hidResourceKeys(quint16 productType, const QString& firmwareVersion);
    static QStringList dfuResourceKeys(quint16 productType);
    static QStringList bulkResourceKeys(quint16 productType, const QString& firmwareVersion);
    static QStringList resourceKeys(CVNDeviceKind kind, quint16 productType, const QString& firmwareVersion);

    // The path recorded in the resource index for a key; empty when absent.
    static QString resourcePath(const QString& key);
    // Reads a description file: false when it cannot be opened. A file that
    // is not a JSON object, or names a key twice in one object, gives an
    // empty description.
    [[nodiscard]] static bool readDescription(const QString& path, QJsonObject* description);
    // The first description among the keys that opens; false when none does.
    [[nodiscard]] static bool findDescription(const QStringList& keys, QJsonObject* description,
                                              QString* usedKey = nullptr);

private:
    // Fills the interface from the first description among the keys; the
    // interface is deleted when none opens or it has no view "basic".
    CVNDeviceInterface* buildFromResources(CVNDeviceInterface* interface, const QStringList& keys) const;
    void registerBuilders();
    void rebuildResourceIndex() const;

    QHash<QString, std::shared_ptr<CVNDeviceEntityBuilder>> m_builders;
    QStringList m_order;
};
