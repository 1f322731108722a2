// Arbitrary bytes through what the tuning features read: the controller's
// auto-tune progress texts one by one and as a run, and the structured
// writes and words of the tuning sequence.
#include "properties/devicepropertytunevasta.h"
#include "properties/tuneprogress.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

void quietHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

QString text(FuzzedDataProvider& in, size_t max = 200)
{
    return QString::fromLatin1(QByteArray::fromStdString(in.ConsumeRandomLengthString(max)));
}

void check(const CVNTuneProgress& p)
{
    if (p.progress < -1 || p.progress > 100 || p.touchState < 0 || p.touchState > CVNTuneStates::StepFail
        || p.values < 0)
        abort();
    if (p.kind == CVNTuneProgress::Kind::GainNoise && p.progress < 0)
        abort();
}

// A run of progress texts through the tracker.
void progressRun(FuzzedDataProvider& in)
{
    CVNTuneTracker tracker;
    tracker.start();
    while (in.remaining_bytes() > 0) {
        const CVNTuneProgress p = CVNTuneProgress::parse(text(in, in.ConsumeBool() ? 24 : 5000));
        check(p);
        const CVNTuneTracker::Outcome o = tracker.apply(p);
        if (tracker.tuneState() < CVNTuneStates::Stopped || tracker.tuneState() > CVNTuneStates::Fail)
            abort();
        if (o.reread && tracker.tuneState() != CVNTuneStates::Done)
            abort();
        if (o.finished)
            tracker.start();
    }
}

// The sequence without a controller: every write is refused or harmless.
void sequenceWrites(FuzzedDataProvider& in)
{
    DevicePropertyTuneVasta wizard(nullptr, QStringLiteral("tune_vasta"), QString(), QString(), 3);
    while (in.remaining_bytes() > 0) {
        const QString words = text(in);
        if (in.ConsumeBool()) {
            const QJsonDocument document = QJsonDocument::fromJson(words.toUtf8());
            (void)wizard.writeValue(document.isObject() ? QJsonValue(document.object()) : QJsonValue(words));
            (void)wizard.writeValue(QJsonObject{{QStringLiteral("action"), words}});
        } else {
            CVNEntityContext context;
            context.arguments = words.split(QLatin1Char(' '));
            (void)wizard.execute(context);
        }
        if (wizard.isRunning())
            abort(); // it cannot start without gain, th and tcenable
        (void)wizard.value();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QCoreApplication* app = [] {
        qInstallMessageHandler(quietHandler);
        static int argc = 1;
        static char name[] = "fuzz_tuning";
        static char* argv[] = {name, nullptr};
        return new QCoreApplication(argc, argv);
    }();
    (void)app;

    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
        check(CVNTuneProgress::parse(text(in, 100000)));
        break;
    case 1:
        progressRun(in);
        break;
    default:
        sequenceWrites(in);
        break;
    }
    return 0;
}
