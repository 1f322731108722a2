#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>

class TouchEntity;

// The JSON form of tracked touches for clients.
namespace CVNTouchEntityJson
{

// Nested entities deeper than this are left out (objects hold fingers, quads
// hold triangles; nothing deeper exists).
constexpr int MaxDepth = 4;

QJsonObject toJson(const TouchEntity& entity, int depth = 0);
QJsonArray toJson(const QList<TouchEntity*>& entities);

} // namespace CVNTouchEntityJson
