#pragma once

// Recognition with the four-finger and three-finger steps written out as
// the plain enumeration: every ordered choice of four (then three) distinct
// alive fingers in tracker order, each tried with the factory, the fingers
// of a success killed. The service searches faster; tests and benchmarks
// hold it against this.

#include "touch/touchentityprocessv1.h"
#include "touch/touchentityprocessv2.h"

#include <QVector>

template <typename Process>
class StraightRecognition : public Process
{
protected:
    using Context = TouchEntityProcess::Context;

    void fourFingers(Context& context) override
    {
        const QVector<TouchEntity*>& fingers = this->candidateFingers();
        if (context.entities.size() < 4)
            return;
        const QVector<CVNRawContact> records = recordsOf(fingers);
        const int n = fingers.size();
        for (int a = 0; a < n; ++a)
            for (int b = 0; b < n; ++b)
                for (int c = 0; c < n; ++c)
                    for (int d = 0; d < n; ++d) {
                        const int pick[4] = { a, b, c, d };
                        if (!distinctAndAlive(fingers, pick, 4))
                            continue;
                        const CVNRawContact four[4] = { records[a], records[b], records[c], records[d] };
                        if (auto quad = this->makeQuad(four, &context.pools)) {
                            for (int i : pick)
                                fingers[i]->kill();
                            this->appendObject(context, std::move(quad));
                        }
                    }
    }

    void threeFingers(Context& context) override
    {
        const QVector<TouchEntity*>& fingers = this->candidateFingers();
        if (context.entities.size() < 3)
            return;
        const QVector<CVNRawContact> records = recordsOf(fingers);
        const int n = fingers.size();
        for (int a = 0; a < n; ++a)
            for (int b = 0; b < n; ++b)
                for (int c = 0; c < n; ++c) {
                    const int pick[3] = { a, b, c };
                    if (!distinctAndAlive(fingers, pick, 3))
                        continue;
                    const CVNRawContact three[3] = { records[a], records[b], records[c] };
                    if (auto triangle = this->makeTriangle(three, &context.pools)) {
                        for (int i : pick)
                            fingers[i]->kill();
                        this->appendObject(context, std::move(triangle));
                    }
                }
    }

private:
    static QVector<CVNRawContact> recordsOf(const QVector<TouchEntity*>& fingers)
    {
        QVector<CVNRawContact> records;
        for (const TouchEntity* finger : fingers)
            records.append(TouchEntityProcessBase::recordOf(*finger));
        return records;
    }
    static bool distinctAndAlive(const QVector<TouchEntity*>& fingers, const int* pick, int count)
    {
        for (int i = 0; i < count; ++i) {
            if (!fingers[pick[i]]->isAlive())
                return false;
            for (int j = 0; j < i; ++j) {
                if (pick[i] == pick[j])
                    return false;
            }
        }
        return true;
    }
};
