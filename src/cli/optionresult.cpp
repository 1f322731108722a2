#include "cli/optionresult.h"

#include <array>

namespace {
struct ResultName
{
    int code;
    const char* name;
};

constexpr std::array<ResultName, 7> kResultNames{ {
    { CVNOptionResult::NotFound, "NotFound" },
    { CVNOptionResult::Wait, "Wait" },
    { CVNOptionResult::Processed, "Processed" },
    { CVNOptionResult::Error, "Error" },
    { CVNOptionResult::Stopped, "Stopped" },
    { CVNOptionResult::Finished, "Finished" },
    { CVNOptionResult::FileOperation, "FileOperation" },
} };
}

QString CVNOptionResult::name(int code)
{
    for (const ResultName& entry : kResultNames) {
        if (entry.code == code)
            return QString::fromLatin1(entry.name);
    }
    return QStringLiteral("Unknown");
}

int CVNOptionResult::fromName(const QString& name)
{
    for (const ResultName& entry : kResultNames) {
        if (name == QLatin1String(entry.name))
            return entry.code;
    }
    return Unknown;
}
