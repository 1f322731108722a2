#include "properties/tuneprogress.h"

#include <QStringList>
#include <QtMath>

#include <cmath>

namespace CVNTuneStates
{

QString tuneStateName(int state)
{
    switch (state) {
    case Stopped:
        return QStringLiteral("Stopped");
    case GainNoise:
        return QStringLiteral("GainNoise");
    case GainTouch:
        return QStringLiteral("GainTouch");
    case Done:
        return QStringLiteral("Done");
    default:
        break;
    }
    return QStringLiteral("Fail");
}

QString touchStateName(int state)
{
    switch (state) {
    case Down:
        return QStringLiteral("Down");
    case Active:
        return QStringLiteral("Active");
    case Up:
        return QStringLiteral("Up");
    case Computing:
        return QStringLiteral("Computing");
    case NextStep:
        return QStringLiteral("NextStep");
    case StepFail:
        return QStringLiteral("StepFail");
    default:
        break;
    }
    return QStringLiteral("Undefined");
}

} // namespace CVNTuneStates

namespace
{

bool has(const QString& text, const char* word)
{
    return text.contains(QLatin1String(word), Qt::CaseSensitive);
}

// "..F,K)": the noise stage's progress in percent, or -1.
int noiseProgress(const QString& text)
{
    const QStringList parts = text.right(4).chopped(1).split(QLatin1Char(','));
    if (parts.size() != 2)
        return -1;
    bool fOk = false;
    bool kOk = false;
    const double f = parts.at(0).toDouble(&fOk);
    const int k = parts.at(1).toInt(&kOk);
    if (!fOk || !kOk || !qIsFinite(f))
        return -1;
    const double percent = std::trunc(f * 12.5 + (k == 3 ? 6.25 : 0.0) + 0.5);
    // A percentage, whatever the controller counted.
    return int(qBound(0.0, percent, 100.0));
}

int touchStateOf(const QString& text)
{
    using namespace CVNTuneStates;
    if (has(text, "down"))
        return Down;
    if (has(text, "up"))
        return Up;
    if (has(text, "active"))
        return Active;
    if (has(text, "computing"))
        return has(text, "fail") ? StepFail : Computing;
    if (has(text, "next"))
        return NextStep;
    return Undefined;
}

int doneValues(const QString& text)
{
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString last = words.isEmpty() ? QString() : words.last();
    if (last.size() < 2)
        return 0;
    return last.mid(1, last.size() - 2).split(QLatin1Char(','), Qt::SkipEmptyParts).size();
}

} // namespace

CVNTuneProgress CVNTuneProgress::parse(const QString& text)
{
    CVNTuneProgress result;
    if (has(text, "stopped")) {
        result.kind = Kind::Stopped;
    } else if (has(text, "gain_noise")) {
        result.progress = noiseProgress(text);
        if (result.progress >= 0)
            result.kind = Kind::GainNoise;
    } else if (has(text, "gain_touch")) {
        result.kind = Kind::GainTouch;
        result.touchState = touchStateOf(text);
    } else if (has(text, "done")) {
        result.kind = Kind::Done;
        result.values = doneValues(text);
    } else if (has(text, "fail")) {
        result.kind = Kind::Fail;
    }
    return result;
}

void CVNTuneTracker::start()
{
    m_tuneState = CVNTuneStates::GainNoise;
    m_progress = -1;
    m_touchState = CVNTuneStates::Undefined;
}

void CVNTuneTracker::end(int state)
{
    m_tuneState = state;
    m_progress = -1;
}

CVNTuneTracker::Outcome CVNTuneTracker::apply(const CVNTuneProgress& progress)
{
    using namespace CVNTuneStates;
    Outcome outcome;
    auto set = [&outcome](int& field, int value) {
        if (field != value) {
            field = value;
            outcome.changed = true;
        }
    };
    switch (progress.kind) {
    case CVNTuneProgress::Kind::Unrecognised:
        break;
    case CVNTuneProgress::Kind::Stopped:
        set(m_tuneState, Stopped);
        outcome.finished = true;
        break;
    case CVNTuneProgress::Kind::GainNoise:
        set(m_tuneState, GainNoise);
        set(m_progress, progress.progress);
        break;
    case CVNTuneProgress::Kind::GainTouch:
        if (m_tuneState == GainNoise)
            set(m_progress, -1);
        set(m_tuneState, GainTouch);
        set(m_touchState, progress.touchState);
        break;
    case CVNTuneProgress::Kind::Done:
        if (m_tuneState != Done) {
            m_tuneState = progress.values < DoneValueCount ? Fail : Done;
            outcome.reread = m_tuneState == Done;
        }
        outcome.changed = true;
        outcome.finished = true;
        break;
    case CVNTuneProgress::Kind::Fail:
        // Told, so that whoever waits for the run learns that it is over.
        set(m_tuneState, Fail);
        outcome.finished = true;
        break;
    }
    return outcome;
}
