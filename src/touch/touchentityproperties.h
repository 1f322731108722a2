#pragma once

#include <QColor>
#include <QPoint>
#include <QSize>

// One observation of a touch entity, copied by value into its history.
struct TouchEntityProperties
{
    // State bits of a pen.
    static constexpr quint8 Barrel = 0x02;
    static constexpr quint8 Eraser = 0x08;

    QPoint position;
    QSize size;
    int pressure = 0;
    int radius = 0;
    float rotation = 0.0f;
    int tiltX = 0;
    int tiltY = 0;
    QColor color = QColor(0, 0, 0, 0);
    quint8 state = 0;
};
