#include "autotune.h"

#include "registertable.h"
#include "sensorfunctions.h"

#include <algorithm>

namespace corvanesim {

namespace {

constexpr qint64 NoiseMs = CVNAutoTune::NoiseStepMs * CVNAutoTune::GainSteps * CVNAutoTune::NoisePasses;

// Highest and lowest reading of the cells that carry a signal (dead lines read 0).
QPair<int, int> span(const QByteArray& frame)
{
    int high = 0;
    int low = 255;
    for (char c : frame) {
        const int v = quint8(c);
        if (v == 0)
            continue;
        high = std::max(high, v);
        low = std::min(low, v);
    }
    return {high, std::min(low, high)};
}

const char* stepWord(CVNAutoTune::TouchStep step, bool weak)
{
    switch (step) {
    case CVNAutoTune::TouchStep::Down:
        return "down";
    case CVNAutoTune::TouchStep::Active:
        return "active";
    case CVNAutoTune::TouchStep::Up:
        return "up";
    case CVNAutoTune::TouchStep::Computing:
        return weak ? "computing fail" : "computing";
    case CVNAutoTune::TouchStep::Next:
        break;
    }
    return "next";
}

}  // namespace

CVNAutoTune::CVNAutoTune(CVNRegisterTable* registers, CVNSensorFunctions* sensor, Clock clock, Fingers fingers)
    : m_registers(registers), m_sensor(sensor), m_clock(std::move(clock)), m_fingers(std::move(fingers))
{
}

void CVNAutoTune::setFault(Fault fault, const QString& text)
{
    m_fault = fault;
    m_faultText = fault == Fault::Text ? text : QString();
}

QString CVNAutoTune::command(const QString& value, const QString& answer)
{
    if (answer.contains(QLatin1String("error"), Qt::CaseInsensitive))
        return answer;
    if (value == QLatin1String("start"))
        start();
    else if (value == QLatin1String("stop"))
        m_phase = Phase::Stopped;
    else if (value.isEmpty())
        return progressText();
    return answer;
}

void CVNAutoTune::start()
{
    m_phase = Phase::Noise;
    m_started = m_clock();
    m_step = 0;
    m_touch = TouchStep::Down;
    m_stepWeak = false;
    m_signals.clear();
    m_final.clear();
}

QString CVNAutoTune::progressText()
{
    advance();
    if (m_phase != Phase::Stopped && m_fault == Fault::Text)
        return m_faultText;
    switch (m_phase) {
    case Phase::Stopped:
        return QStringLiteral("stopped");
    case Phase::Noise: {
        const int index = int((m_clock() - m_started) / NoiseStepMs);
        return QStringLiteral("gain_noise (%1,%2)").arg(index / NoisePasses).arg(index % NoisePasses + 1);
    }
    case Phase::Touch:
        return QStringLiteral("gain_touch %1/%2 %3")
            .arg(m_step + 1)
            .arg(TouchSteps)
            .arg(QLatin1String(stepWord(m_touch, m_stepWeak)));
    case Phase::Done:
    case Phase::Failed:
        break;
    }
    return m_final;
}

void CVNAutoTune::advance()
{
    const qint64 now = m_clock();
    if (m_phase == Phase::Noise && now - m_started >= NoiseMs)
        endNoise(m_started + NoiseMs);
    if (m_phase == Phase::Touch)
        advanceTouch(now);
}

void CVNAutoTune::endNoise(qint64 at)
{
    // The highest gain whose sensor, untouched, stays below the ceiling (a
    // controller takes the noise apart from touches).
    int gain = -1;
    for (int g = 0; g < GainSteps; ++g) {
        if (span(m_sensor->frameAt(CVNFoilModel::Mode::Raw, g, false)).first <= NoiseCeiling)
            gain = g;
    }
    if (gain < 0 || m_fault == Fault::Fail) {
        m_phase = Phase::Failed;
        m_final = QStringLiteral("fail: noise level too high");
        return;
    }
    const QPair<int, int> quiet = span(m_sensor->frameAt(CVNFoilModel::Mode::Raw, gain, false));
    m_gain = gain;
    m_noise = quiet.first - quiet.second;
    writeRegister("gain", gain);
    m_phase = Phase::Touch;
    m_since = at;
}

void CVNAutoTune::advanceTouch(qint64 now)
{
    const bool touched = !m_fingers().isEmpty();
    // Each pass takes one step at most, so that a poll sees every state.
    switch (m_touch) {
    case TouchStep::Down:
        if (touched) {
            m_touch = TouchStep::Active;
            m_since = now;
        }
        break;
    case TouchStep::Active:
        if (!touched) {
            m_touch = TouchStep::Down;  // lifted too soon
        } else if (now - m_since >= ActiveMs) {
            measureTouch();
            m_touch = TouchStep::Up;
        }
        break;
    case TouchStep::Up:
        if (!touched) {
            m_touch = TouchStep::Computing;
            m_since = now;
        }
        break;
    case TouchStep::Computing:
        if (now - m_since < ComputeMs)
            break;
        if (m_stepWeak) {
            m_stepWeak = false;
            m_touch = TouchStep::Down;
        } else if (m_step + 1 >= TouchSteps) {
            finish();
        } else {
            m_touch = TouchStep::Next;
            m_since += ComputeMs;
        }
        break;
    case TouchStep::Next:
        if (now - m_since >= NextMs) {
            ++m_step;
            m_touch = TouchStep::Down;
        }
        break;
    }
}

void CVNAutoTune::measureTouch()
{
    const int signal = span(m_sensor->frameAt(CVNFoilModel::Mode::Normal, m_gain)).first;
    m_stepWeak = signal < MinTouchSignal;
    if (!m_stepWeak)
        m_signals.append(signal);
}

void CVNAutoTune::finish()
{
    const auto [weakest, strongest] = std::minmax_element(m_signals.begin(), m_signals.end());
    const int signal = m_signals.isEmpty() ? 0 : *weakest;
    const int th = qBound(10, signal * ThresholdPercent / 100, 255);
    writeRegister("th", th);
    QList<int> values{m_gain, th, m_noise, signal, m_signals.isEmpty() ? 0 : *strongest, int(m_signals.size())};
    if (m_fault == Fault::FiveValues)
        values.removeLast();
    QStringList words;
    for (int v : values)
        words.append(QString::number(v));
    m_final = QStringLiteral("done [%1]").arg(words.join(QLatin1Char(',')));
    m_phase = Phase::Done;
}

void CVNAutoTune::writeRegister(const char* word, int value)
{
    QString ignored;
    (void)m_registers->preset(QLatin1String(word), QString::number(value), &ignored);
}

}  // namespace corvanesim
