#pragma once

#include <QString>

// The channel kind of a device object.
enum class CVNDeviceKind : int {
    Parent = 1,
    Hid = 2,
    Dfu = 3,
    Bulk = 4,
    All = 5,
};

// "Parent", "Hid", "Dfu", "Bulk", "All", and "Unknown" for any other value.
QString deviceKindText(int kind);
inline QString deviceKindText(CVNDeviceKind kind)
{
    return deviceKindText(static_cast<int>(kind));
}
