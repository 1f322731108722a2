// The controller's own auto-tune: its progress texts over time, driven by
// the fingers on the sensor and the foil model, and its faults on demand.
#include "autotune.h"
#include "registercatalog.h"
#include "registertable.h"
#include "sensorfunctions.h"

#include "qstringprinter.h"

#include <gtest/gtest.h>

using namespace corvanesim;

namespace {

// A Vasta's auto-tune on a clock the test moves, with fingers the test places.
struct Tune : ::testing::Test {
    qint64 now = 0;
    QList<Contact> fingers;
    CVNRegisterTable registers{registerCatalog(2, 0x0205, QStringLiteral("0200000001A3")), LiveSources()};
    CVNSensorFunctions sensor{&registers, [this] { return now; }, [this] { return fingers; }};
    CVNAutoTune tune{&registers, &sensor, [this] { return now; }, [this] { return fingers; }};

    QString at(qint64 ms)
    {
        now = ms;
        return tune.progressText();
    }
    QString reg(const char* word)
    {
        QString value;
        (void)registers.value(QLatin1String(word), &value);
        return value;
    }
    void touch(bool down)
    {
        fingers.clear();
        if (down) {
            Contact c;
            c.id = 1;
            c.x = 2000;
            c.y = 2000;
            c.size = 40;
            fingers.append(c);
        }
    }
    // One touch step from "down" on, starting at `t`; returns the time after it.
    qint64 touchStep(qint64 t, int step, bool last)
    {
        const QString prefix = QStringLiteral("gain_touch %1/3 ").arg(step);
        EXPECT_EQ(at(t), prefix + "down");
        touch(true);
        EXPECT_EQ(at(t + 1), prefix + "active");
        EXPECT_EQ(at(t + 1 + CVNAutoTune::ActiveMs - 1), prefix + "active");
        EXPECT_EQ(at(t + 1 + CVNAutoTune::ActiveMs), prefix + "up");
        touch(false);
        const qint64 lifted = t + 400;
        EXPECT_EQ(at(lifted), prefix + "computing");
        if (last)
            return lifted + CVNAutoTune::ComputeMs;
        EXPECT_EQ(at(lifted + CVNAutoTune::ComputeMs), prefix + "next");
        return lifted + CVNAutoTune::ComputeMs + CVNAutoTune::NextMs;
    }
};

constexpr qint64 kNoiseMs = CVNAutoTune::NoiseStepMs * CVNAutoTune::GainSteps * CVNAutoTune::NoisePasses;

}  // namespace

TEST_F(Tune, RunsThroughNoiseAndThreeTouchesToSixValues)
{
    EXPECT_EQ(tune.command(QString(), "stop"), "stopped");
    EXPECT_EQ(tune.command("start", "start"), "start");
    EXPECT_EQ(at(0), "gain_noise (0,1)");
    EXPECT_EQ(at(CVNAutoTune::NoiseStepMs * 2), "gain_noise (0,3)");
    EXPECT_EQ(at(CVNAutoTune::NoiseStepMs * 13), "gain_noise (4,2)");
    EXPECT_EQ(at(kNoiseMs - 1), "gain_noise (7,3)");
    EXPECT_EQ(reg("gain"), "3");
    // The quiet raw floor 70 + 12 per gain step plus noise up to 59 stays at
    // or below 200 up to gain 5.
    EXPECT_EQ(at(kNoiseMs), "gain_touch 1/3 down");
    EXPECT_EQ(reg("gain"), "5");

    qint64 t = touchStep(kNoiseMs + 10, 1, false);
    t = touchStep(t, 2, false);
    t = touchStep(t, 3, true);
    const QString done = at(t);
    ASSERT_TRUE(done.startsWith("done [5,")) << done.toStdString();
    const QStringList values = done.mid(6).chopped(1).split(',');
    ASSERT_EQ(values.size(), 6);
    // A finger at gain 5 peaks at most 120 + 10 * 5 (+ noise); th is 40 % of it.
    const int signal = values[3].toInt();
    EXPECT_GE(signal, 120);
    EXPECT_LE(signal, 175);
    EXPECT_EQ(values[1].toInt(), signal * 40 / 100);
    EXPECT_EQ(reg("th"), values[1]);
    EXPECT_EQ(values[5], "3");
    EXPECT_EQ(reg("thn"), "20");
    EXPECT_EQ(at(t + 5000), done);

    // Stopped at any time; a new start begins again.
    EXPECT_EQ(tune.command("stop", "stop"), "stop");
    EXPECT_EQ(at(t + 5001), "stopped");
    tune.command("start", "start");
    EXPECT_EQ(at(t + 5002), "gain_noise (0,1)");
    tune.reboot();
    EXPECT_EQ(at(t + 5003), "stopped");
}

TEST_F(Tune, FingersLiftedTooSoonOrOnDeadRowsRepeatTheStep)
{
    tune.command("start", "start");
    at(kNoiseMs);
    touch(true);
    EXPECT_EQ(at(kNoiseMs + 10), "gain_touch 1/3 active");
    touch(false);
    EXPECT_EQ(at(kNoiseMs + 100), "gain_touch 1/3 down");
    // Every row under the finger broken: no signal, the step fails.
    for (int row = 38; row < 58; ++row)
        sensor.foil().damage().brokenRows.insert(row);
    touch(true);
    at(kNoiseMs + 200);
    EXPECT_EQ(at(kNoiseMs + 200 + CVNAutoTune::ActiveMs), "gain_touch 1/3 up");
    touch(false);
    EXPECT_EQ(at(kNoiseMs + 600), "gain_touch 1/3 computing fail");
    EXPECT_EQ(at(kNoiseMs + 600 + CVNAutoTune::ComputeMs), "gain_touch 1/3 down");
}

TEST_F(Tune, FaultsOnDemand)
{
    // Fails after the noise stage until cleared; register errors pass.
    tune.setFault(CVNAutoTune::Fault::Fail);
    for (const char* expected : {"fail: noise level too high", "fail: noise level too high"}) {
        now = 0;
        tune.command("start", "start");
        EXPECT_EQ(at(kNoiseMs + 100000), expected);
    }
    EXPECT_EQ(tune.command("go", "error: invalid value"), "error: invalid value");
    tune.setFault(CVNAutoTune::Fault::None);
    tune.command("start", "start");
    EXPECT_EQ(at(now + kNoiseMs), "gain_touch 1/3 down");

    tune.setFault(CVNAutoTune::Fault::FiveValues);
    qint64 t = touchStep(now, 1, false);
    t = touchStep(t, 2, false);
    EXPECT_EQ(at(touchStep(t, 3, true)).count(','), 4);
}
