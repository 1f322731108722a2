#pragma once

// Readable gtest failure messages for Qt strings.
#include <QString>

#include <ostream>

inline void PrintTo(const QString& value, std::ostream* out)
{
    *out << '"' << value.toStdString() << '"';
}
