#include "touch/touchentityjson.h"

#include "touch/touchentity.h"

QJsonObject CVNTouchEntityJson::toJson(const TouchEntity& entity, int depth)
{
    const TouchEntityProperties& sample = entity.latest();
    const QPoint position = entity.publishedPosition();
    QJsonObject object{
        { QStringLiteral("type"), entity.kind() },
        { QStringLiteral("subtype"), entity.subtype() },
        { QStringLiteral("identifier"), entity.identifier() },
        { QStringLiteral("x"), position.x() },
        { QStringLiteral("y"), position.y() },
        { QStringLiteral("width"), sample.size.width() },
        { QStringLiteral("height"), sample.size.height() },
        { QStringLiteral("radius"), sample.radius },
        { QStringLiteral("pressure"), sample.pressure },
        { QStringLiteral("rotation"), static_cast<double>(entity.calibratedRotation()) },
        { QStringLiteral("tilt_x"), sample.tiltX },
        { QStringLiteral("tilt_y"), sample.tiltY },
        { QStringLiteral("color"), static_cast<qint64>(sample.color.rgba()) },
        { QStringLiteral("barrel"), (sample.state & TouchEntityProperties::Barrel) != 0 },
        { QStringLiteral("eraser"), (sample.state & TouchEntityProperties::Eraser) != 0 },
    };
    const QList<const TouchEntity*> nested = entity.nestedEntities();
    if (!nested.isEmpty() && depth < MaxDepth) {
        QJsonArray parts;
        for (const TouchEntity* part : nested) {
            if (part)
                parts.append(toJson(*part, depth + 1));
        }
        object.insert(QStringLiteral("nested_entities"), parts);
    }
    return object;
}

QJsonArray CVNTouchEntityJson::toJson(const QList<TouchEntity*>& entities)
{
    QJsonArray array;
    for (const TouchEntity* entity : entities)
        array.append(toJson(*entity));
    return array;
}
