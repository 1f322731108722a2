// The auto-tune's progress texts as the service reads them, the states they
// move it through, and the touch process the tuning sequence derives.
#include "properties/devicepropertytunevasta.h"
#include "properties/tuneprogress.h"

#include <gtest/gtest.h>

namespace
{

using Kind = CVNTuneProgress::Kind;
using namespace CVNTuneStates;

struct TextCase
{
    const char* text;
    Kind kind;
    int progress;
    int touchState;
    int values;
};

TEST(TuneProgress, TextsOfEveryShape)
{
    const QByteArray huge(5000, '9');
    const TextCase cases[] = {
        {"gain_noise (4,3)", Kind::GainNoise, 56, Undefined, 0},
        {"gain_noise (4,2)", Kind::GainNoise, 50, Undefined, 0},
        {"gain_noise (0,1)", Kind::GainNoise, 0, Undefined, 0},
        {"gain_noise (9,3)", Kind::GainNoise, 100, Undefined, 0}, // a percentage at most
        {"gain_noise 4,3]", Kind::GainNoise, 56, Undefined, 0},
        {"gain_noise (4,", Kind::Unrecognised, -1, Undefined, 0}, // cut off
        {"gain_noise", Kind::Unrecognised, -1, Undefined, 0},
        {"gain_noise (,3)", Kind::Unrecognised, -1, Undefined, 0},
        {"gain_noise (4,x)", Kind::Unrecognised, -1, Undefined, 0},
        {"gain_touch 1/3 down", Kind::GainTouch, -1, Down, 0},
        {"gain_touch 1/3 active", Kind::GainTouch, -1, Active, 0},
        {"gain_touch 1/3 up", Kind::GainTouch, -1, Up, 0},
        {"gain_touch 1/3 computing", Kind::GainTouch, -1, Computing, 0},
        {"gain_touch 1/3 computing fail", Kind::GainTouch, -1, StepFail, 0},
        {"gain_touch 1/3 next", Kind::GainTouch, -1, NextStep, 0},
        {"gain_touch", Kind::GainTouch, -1, Undefined, 0},
        {"done [5,68,17,12,59,170]", Kind::Done, -1, Undefined, 6},
        {"done [5,68,17,12,59]", Kind::Done, -1, Undefined, 5},
        {"done 5,68,17,12,59,170", Kind::Done, -1, Undefined, 5}, // brackets missing: first and last cut
        {"done", Kind::Done, -1, Undefined, 1},
        {"done [", Kind::Done, -1, Undefined, 0},
        {"done []", Kind::Done, -1, Undefined, 0},
        {"done [,,,,,]", Kind::Done, -1, Undefined, 0},
        {"fail: noise level too high", Kind::Fail, -1, Undefined, 0},
        {"stopped", Kind::Stopped, -1, Undefined, 0},
        {"gain_noise stopped (4,3)", Kind::Stopped, -1, Undefined, 0}, // the order decides
        {"", Kind::Unrecognised, -1, Undefined, 0},
        {"Done", Kind::Unrecognised, -1, Undefined, 0}, // case-sensitive
        {"\x01\x02\xff", Kind::Unrecognised, -1, Undefined, 0},
    };
    for (const TextCase& c : cases) {
        const CVNTuneProgress p = CVNTuneProgress::parse(QString::fromLatin1(c.text));
        EXPECT_EQ(int(p.kind), int(c.kind)) << c.text;
        EXPECT_EQ(p.progress, c.progress) << c.text;
        EXPECT_EQ(p.touchState, c.touchState) << c.text;
        EXPECT_EQ(p.values, c.values) << c.text;
    }
    EXPECT_EQ(CVNTuneProgress::parse("done [" + QString::fromLatin1(huge) + "]").values, 1);
    EXPECT_EQ(CVNTuneProgress::parse("gain_noise " + QString::fromLatin1(huge) + ",3)").progress, 100);
}

TEST(TuneProgress, TrackerFollowsARunAndTellsOnlyChanges)
{
    CVNTuneTracker tracker;
    tracker.start();
    EXPECT_EQ(tracker.tuneState(), GainNoise);
    struct Step
    {
        const char* text;
        int state;
        int progress;
        int touch;
        bool changed;
        bool finished;
        bool reread;
    };
    const Step steps[] = {
        {"gain_noise (4,2)", GainNoise, 50, Undefined, true, false, false},
        {"gain_noise (4,2)", GainNoise, 50, Undefined, false, false, false},
        {"garbage", GainNoise, 50, Undefined, false, false, false},
        {"gain_touch 1/3 down", GainTouch, -1, Down, true, false, false},
        {"done [1,2,3,4,5,6]", Done, -1, Down, true, true, true},
    };
    for (const Step& s : steps) {
        const CVNTuneTracker::Outcome o = tracker.apply(CVNTuneProgress::parse(QString::fromLatin1(s.text)));
        EXPECT_EQ(tracker.tuneState(), s.state) << s.text;
        EXPECT_EQ(tracker.progress(), s.progress) << s.text;
        EXPECT_EQ(tracker.touchState(), s.touch) << s.text;
        EXPECT_EQ(o.changed, s.changed) << s.text;
        EXPECT_EQ(o.finished, s.finished) << s.text;
        EXPECT_EQ(o.reread, s.reread) << s.text;
    }

    // Five values fail; "fail" and "stopped" end the run and are told.
    const std::pair<const char*, int> endings[] = {{"done [1,2,3,4,5]", Fail}, {"fail", Fail}, {"stopped", Stopped}};
    for (const auto& ending : endings) {
        tracker.start();
        const CVNTuneTracker::Outcome o = tracker.apply(CVNTuneProgress::parse(ending.first));
        EXPECT_EQ(tracker.tuneState(), ending.second) << ending.first;
        EXPECT_TRUE(o.changed && o.finished && !o.reread) << ending.first;
    }
    EXPECT_EQ(tuneStateName(7), "Fail");
    EXPECT_EQ(touchStateName(9), "Undefined");
}

TEST(TuneVastaTouchProcess, MiddleThirdOfTheGridMakesTheFixedProcess)
{
    using T = DevicePropertyTuneVasta;
    struct Case
    {
        int process;
        int touch;
        QVector<int> columns;
        QVector<int> rows;
        int expected;
    };
    const Case cases[] = {
        {T::NoiseProcess, Undefined, {60}, {}, T::NoiseProcess}, // no touch state yet
        {T::NoiseProcess, Down, {}, {}, T::DragProcess},
        {T::NoiseProcess, Down, {60}, {}, T::FixedProcess}, // 56 <= 60 <= 112
        {T::NoiseProcess, Down, {56}, {}, T::FixedProcess},
        {T::NoiseProcess, Down, {112}, {}, T::FixedProcess},
        {T::NoiseProcess, Down, {55, 113}, {}, T::DragProcess},
        {T::NoiseProcess, Down, {10}, {}, T::DragProcess},
        {T::NoiseProcess, Down, {10}, {40}, T::FixedProcess}, // 32 <= 40 <= 64
        {T::NoiseProcess, Down, {10}, {70}, T::DragProcess},
        {T::FixedProcess, Up, {}, {}, T::FixedProcess},
    };
    for (const Case& c : cases)
        EXPECT_EQ(T::nextTouchProcess(c.process, c.touch, c.columns, 168, c.rows, 96), c.expected)
            << c.process << " " << c.touch;
}

} // namespace
