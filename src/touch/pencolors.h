#pragma once

#include <QColor>
#include <QStringList>

// The colour of a pen from the index in its record: 0..140 select the CSS
// named colours in alphabetical order without the grey spellings
// (aliceblue 0, antiquewhite 1, aqua 2, ... cyan 20, ... yellow 139,
// yellowgreen 140); any other index is black. The alpha is always 0.
class CVNPenColors
{
public:
    static constexpr int Count = 141;

    static QColor color(int index);
    static QString name(int index);
};
