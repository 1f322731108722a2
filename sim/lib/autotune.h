// The controller's own auto-tune ("dtune"). "dtune start" begins a run:
// first the noise of the sensor is measured at every gain step (raw frames
// of the foil model) and the highest gain that leaves room for a touch is
// taken; then the run waits for touches: a finger put down and held, lifted,
// and the touch signal (a normal frame at the new gain) computed, three
// times; at last the threshold follows from the weakest touch and the run is
// done. Reading "dtune" answers the progress as text:
//
//   stopped                          before any start, after "dtune stop"
//   gain_noise (G,K)                 gain G being measured, pass K of 3
//   gain_touch S/3 down              step S waits for a finger
//   gain_touch S/3 active            a finger is held
//   gain_touch S/3 up                waits for the finger to be lifted
//   gain_touch S/3 computing [fail]  the touch computed (too weak: fail, the step again)
//   gain_touch S/3 next              on to the next step
//   done [GAIN,TH,NOISE,WEAKEST,STRONGEST,TOUCHES]
//   fail: noise level too high
//
// The run writes the gain it found at the end of the noise stage and th
// when it is done. Fingers come from the touch surface (the
// timeline and client touches). Everything moves on when the controller is
// asked, against its own clock, the way the foil health test does.
#pragma once

#include "foilmodel.h"
#include "touchtimeline.h"

#include <QString>
#include <QVector>
#include <functional>

namespace corvanesim {

class CVNRegisterTable;
class CVNSensorFunctions;

class CVNAutoTune {
public:
    enum class Fault {
        None,
        Fail,        // the noise stage ends in "fail: ..."
        FiveValues,  // "done" carries five values instead of six
        Text,        // every reading of a run answers a fixed text
    };
    enum class Phase { Stopped, Noise, Touch, Done, Failed };
    enum class TouchStep { Down, Active, Up, Computing, Next };

    static constexpr int GainSteps = 8;  // gains 0..7
    static constexpr int NoisePasses = 3;
    static constexpr qint64 NoiseStepMs = 40;
    static constexpr int TouchSteps = 3;
    static constexpr qint64 ActiveMs = 300;  // a finger held this long is measured
    static constexpr qint64 ComputeMs = 150;
    static constexpr qint64 NextMs = 100;
    // The highest raw reading without touch that still leaves room for one.
    static constexpr int NoiseCeiling = 200;
    // A touch weaker than this (a finger on a dead line) fails its step.
    static constexpr int MinTouchSignal = 60;
    // The threshold is this share (percent) of the weakest touch.
    static constexpr int ThresholdPercent = 40;

    using Clock = std::function<qint64()>;
    using Fingers = std::function<QList<Contact>()>;

    CVNAutoTune(CVNRegisterTable* registers, CVNSensorFunctions* sensor, Clock clock, Fingers fingers);

    // A "dtune" exchange: the register table has validated it and given
    // `answer`. A write of "start" or "stop" acts; a query answers the
    // progress text. Error answers pass unchanged.
    QString command(const QString& value, const QString& answer);
    // The progress text now (moves the run on first).
    QString progressText();

    // Faults apply to every run from the next start on until cleared.
    void setFault(Fault fault, const QString& text = QString());
    Fault fault() const { return m_fault; }
    Phase phase() const { return m_phase; }
    // A reboot stops the run.
    void reboot() { m_phase = Phase::Stopped; }

private:
    void start();
    void advance();
    void endNoise(qint64 at);
    void advanceTouch(qint64 now);
    void measureTouch();
    void finish();
    void writeRegister(const char* word, int value);

    CVNRegisterTable* m_registers;
    CVNSensorFunctions* m_sensor;
    Clock m_clock;
    Fingers m_fingers;
    Fault m_fault = Fault::None;
    QString m_faultText;

    Phase m_phase = Phase::Stopped;
    qint64 m_started = 0;
    int m_step = 0;
    TouchStep m_touch = TouchStep::Down;
    qint64 m_since = 0;
    bool m_stepWeak = false;
    int m_gain = 0;
    int m_noise = 0;
    QVector<int> m_signals;
    QString m_final;
};

}  // namespace corvanesim
