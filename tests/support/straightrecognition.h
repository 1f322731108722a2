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
        if (context.entities.size() >= 4)
            choose(context, 4);
    }
    void threeFingers(Context& context) override
    {
        if (context.entities.size() >= 3)
            choose(context, 3);
    }

private:
    void choose(Context& context, int count)
    {
        const QVector<TouchEntity*>& fingers = this->candidateFingers();
        QVector<CVNRawContact> records;
        for (const TouchEntity* finger : fingers)
            records.append(TouchEntityProcessBase::recordOf(*finger));
        const int n = fingers.size();
        int pick[4] = { 0, 0, 0, 0 };
        // Every ordered choice in turn, like counting in base n.
        for (long long number = 0, total = power(n, count); number < total; ++number) {
            long long rest = number;
            for (int i = count - 1; i >= 0; --i, rest /= n)
                pick[i] = int(rest % n);
            if (!distinctAndAlive(fingers, pick, count))
                continue;
            const CVNRawContact chosen[4] = { records[pick[0]], records[pick[1]], records[pick[2]],
                                              count == 4 ? records[pick[3]] : CVNRawContact() };
            std::unique_ptr<TouchEntity> object;
            if (count == 4)
                object = this->makeQuad(chosen, &context.pools);
            else
                object = this->makeTriangle(chosen, &context.pools);
            if (!object)
                continue;
            for (int i = 0; i < count; ++i)
                fingers[pick[i]]->kill();
            this->appendObject(context, std::move(object));
        }
    }
    static long long power(int n, int count)
    {
        long long total = 1;
        for (int i = 0; i < count; ++i)
            total *= n;
        return total;
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
