#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <functional>

class CVNDevice;

// A bulk controller that no description resource covers describes itself
// through its function "metadata": asked ["view", "all"] it names its
// entities, asked [NAME] it answers that entity's description object, asked
// ["view", "list"] it names its views, asked ["view", VIEW] it answers that
// view. Each answer is a JSON text. The answers make one description
// document {"entities": [...], "views": [...]}, the same that a resource
// holds.
class CVNSelfDescription
{
public:
    static const QString FunctionName;
    // Answers beyond these counts are refused as not the shape of a description.
    static constexpr int MaxEntities = 4096;
    static constexpr int MaxViews = 256;
    // All answers together, as much as a description resource may hold.
    static constexpr qint64 MaxTotalBytes = 8 * 1024 * 1024;

    // One call of the function: the answer text, or false and why not.
    using Call = std::function<bool(const QStringList& arguments, QString* answer, QString* error)>;

    // The document from the answers; false and a text naming the first
    // answer that failed or had the wrong shape. No answer is trusted: every
    // one must be a JSON object of the expected shape.
    [[nodiscard]] static bool describe(const Call& call, QJsonObject* description, QString* error);
    // The same over the device's bulk channel, through a temporary interface.
    [[nodiscard]] static bool describe(CVNDevice* device, QJsonObject* description, QString* error);
};
