#include "com/connectiontype.h"

namespace {
struct TypeName {
    ConnectionType type;
    const char* text;
};

// Order matters: text lookups try the names in this order.
constexpr TypeName kTypeNames[] = {
    {Service, "Service"},
    {VeilCLI, "VeilCLI"},
    {DesktopLink, "DesktopLink"},
    {CloudLink, "CloudLink"},
};
} // namespace

QString connectionTypeToText(ConnectionType type)
{
    for (const TypeName& name : kTypeNames) {
        if (name.type == type)
            return QString::fromLatin1(name.text);
    }
    return QStringLiteral("Unknown");
}

ConnectionType connectionTypeFromText(const QString& text)
{
    for (const TypeName& name : kTypeNames) {
        if (text == QLatin1String(name.text))
            return name.type;
    }
    return Unknown;
}

bool isClientConnectionType(ConnectionType type)
{
    return type == VeilCLI || type == DesktopLink || type == CloudLink;
}
