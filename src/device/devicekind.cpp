#include "device/devicekind.h"

QString deviceKindText(int kind)
{
    switch (kind) {
    case 1:
        return QStringLiteral("Parent");
    case 2:
        return QStringLiteral("Hid");
    case 3:
        return QStringLiteral("Dfu");
    case 4:
        return QStringLiteral("Bulk");
    case 5:
        return QStringLiteral("All");
    default:
        return QStringLiteral("Unknown");
    }
}
