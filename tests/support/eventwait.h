#pragma once

// Turns the event loop until a condition holds, within a bound: for gtest
// cases that wait for queued work (QTRY_* do not fail a gtest case).

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <functional>

inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(2);
    }
    return true;
}
