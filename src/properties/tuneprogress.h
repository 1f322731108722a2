#pragma once

#include <QString>

// The states of the controller's auto-tune as the service follows them.
namespace CVNTuneStates
{
enum TuneState : int { Stopped = 0, GainNoise = 1, GainTouch = 2, Done = 3, Fail = 4 };
enum TouchState : int { Undefined = 0, Down = 1, Active = 2, Up = 3, Computing = 4, NextStep = 5, StepFail = 6 };

// "Stopped", "GainNoise", "GainTouch", "Done"; 4 and above "Fail".
QString tuneStateName(int state);
// "Undefined", "Down", ... "StepFail"; others "Undefined".
QString touchStateName(int state);
} // namespace CVNTuneStates

// What one progress text of the controller's auto-tune ("dtune" read)
// says. The text is the controller's and may be anything: empty, cut off,
// with any numbers; whatever does not read is Unrecognised.
struct CVNTuneProgress
{
    enum class Kind { Unrecognised, Stopped, GainNoise, GainTouch, Done, Fail };

    Kind kind = Kind::Unrecognised;
    // GainNoise: 0..100.
    int progress = -1;
    // GainTouch: a CVNTuneStates::TouchState.
    int touchState = CVNTuneStates::Undefined;
    // Done: how many values the bracketed last word carries.
    int values = 0;

    // Searched in this order: "stopped", "gain_noise" (the last four
    // characters but the last, "F,K": F·12.5, +6.25 for K = 3, rounded),
    // "gain_touch" (down, up, active, computing [fail], next), "done"
    // (the last blank-separated word without its first and last character,
    // split at ","), "fail". A "gain_noise" whose numbers do not read is
    // Unrecognised: the controller is still at it, only this text says
    // nothing.
    static CVNTuneProgress parse(const QString& text);
};

// The auto-tune's state as its progress texts move it.
class CVNTuneTracker
{
public:
    // A run needs six values with "done" to count as done.
    static constexpr int DoneValueCount = 6;

    struct Outcome
    {
        bool changed = false; // observers to be told
        bool finished = false; // the run is over: polling stops
        bool reread = false; // the run changed the settings it depends on
    };

    // A run begins: GainNoise, no progress, touch state Undefined.
    void start();
    // The run ends here (asked to stop, or given up on).
    void end(int state);
    Outcome apply(const CVNTuneProgress& progress);

    int tuneState() const { return m_tuneState; }
    int progress() const { return m_progress; }
    int touchState() const { return m_touchState; }

private:
    int m_tuneState = CVNTuneStates::Stopped;
    int m_progress = -1;
    int m_touchState = CVNTuneStates::Undefined;
};
