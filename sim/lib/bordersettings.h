// The two border settings of a controller, kept per side (l, t, r, b):
//
// "tste" (edge snapping, a distance 0..1000 per side):
//   "t"        answers the top value
//   "t N"      sets it and answers it
//   "reset"    restores the defaults (20 on every side), answers "ok"
// "cba" (border adjustment, X and Y 0..1000 per side, 100 meaning 1.0):
//   "t"        answers "X Y"
//   "t X Y"    sets them and answers "X Y"
//   "t a"      automatic: the controller picks 100 100, answers "X Y"
//
// Malformed arguments answer "error: invalid argument" or "error: invalid
// value", numbers outside the range "error: out of range".
#pragma once

#include <QHash>
#include <QPair>
#include <QString>

namespace corvanesim {

class CVNBorderSettings {
public:
    static constexpr int MaxValue = 1000;
    static constexpr int DefaultSnap = 20;
    static constexpr int NeutralAdjust = 100;

    CVNBorderSettings();

    QString snap(const QString& argument);
    QString adjust(const QString& argument);

private:
    QHash<QChar, int> m_snap;
    QHash<QChar, QPair<int, int>> m_adjust;
};

}  // namespace corvanesim
