#include "touch/pencolors.h"

#include <QColor>
#include <gtest/gtest.h>

TEST(PenColors, NamedColoursInAlphabeticalOrderWithoutGreySpellings)
{
    QStringList expected = QColor::colorNames();
    expected.removeAll(QStringLiteral("transparent"));
    for (const QString& name : QStringList(expected)) {
        if (name.contains(QLatin1String("grey")))
            expected.removeAll(name);
    }
    if (!expected.contains(QStringLiteral("rebeccapurple")))
        expected.append(QStringLiteral("rebeccapurple"));
    expected.sort();
    ASSERT_EQ(expected.size(), CVNPenColors::Count);
    for (int i = 0; i < CVNPenColors::Count; ++i)
        EXPECT_EQ(CVNPenColors::name(i), expected[i]) << i;

    struct Case {
        int index;
        QRgb rgb;
    };
    for (const Case c : { Case { 0, 0xF0F8FF }, Case { 1, 0xFAEBD7 }, Case { 2, 0x00FFFF }, Case { 20, 0x00FFFF },
             Case { 139, 0xFFFF00 }, Case { 140, 0x9ACD32 }, Case { 141, 0 }, Case { 255, 0 }, Case { -1, 0 } }) {
        const QColor color = CVNPenColors::color(c.index);
        EXPECT_EQ(color.rgba(), c.rgb) << c.index << " alpha 0, top byte 0";
    }
    EXPECT_EQ(CVNPenColors::color(expected.indexOf(QStringLiteral("rebeccapurple"))).rgba(), 0x663399u);
}
