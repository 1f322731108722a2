#include "server/ssparsecli.h"

#include "cli/optionresult.h"
#include "cli/pendingoption.h"
#include "server/serverlimits.h"
#include "server/serverlogging.h"
#include "server/serversession.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {
// Options, values and file operations beyond the limits are dropped before
// anything runs, so that one request cannot make unbounded work.
QJsonArray boundedParser(const QJsonArray& parser)
{
    QJsonArray bounded;
    const int count = qMin(parser.size(), CVNServerLimits::kMaxCliOptions);
    for (int i = 0; i < count; ++i) {
        QJsonObject option = parser.at(i).toObject();
        const QJsonArray values = option.value(QStringLiteral("values")).toArray();
        if (values.size() > CVNServerLimits::kMaxOptionValues) {
            QJsonArray kept;
            for (int v = 0; v < CVNServerLimits::kMaxOptionValues; ++v)
                kept.append(values.at(v));
            option.insert(QStringLiteral("values"), kept);
        }
        const QJsonArray files = option.value(QStringLiteral("file_operations")).toArray();
        if (files.size() > CVNServerLimits::kMaxFileOperations) {
            QJsonArray kept;
            for (int f = 0; f < CVNServerLimits::kMaxFileOperations; ++f)
                kept.append(files.at(f));
            option.insert(QStringLiteral("file_operations"), kept);
        }
        bounded.append(parser.at(i).isObject() ? QJsonValue(option) : parser.at(i));
    }
    if (parser.size() > count)
        qCWarning(lcServer) << "cli request too long, taking the first" << count << "options";
    return bounded;
}
} // namespace

QJsonValue CVNSSParseCLI::parse(const QJsonValue& request, CVNServerSession* session)
{
    const QJsonObject object = request.toObject();
    if (!object.contains(QStringLiteral("parser")))
        return QJsonObject{{QStringLiteral("error"), QStringLiteral("parser not found in request")}};

    CVNPendingOptionList options;
    options.fromJson(boundedParser(object.value(QStringLiteral("parser")).toArray()));
    int result = CVNOptionResult::Unknown;
    session->consumeOptions(result, options);
    if (result == CVNOptionResult::Wait && session->isWaiting()) {
        session->holdOptions(options);
        return QJsonValue(QJsonValue::Undefined);
    }
    return answer(session->takeOutput(), options, result);
}

QJsonObject CVNSSParseCLI::answer(const QString& output, const CVNPendingOptionList& options, int result)
{
    QJsonArray lines;
    for (const QString& line : output.split(QLatin1Char('\n')))
        lines.append(line);
    return QJsonObject{
        {QStringLiteral("output"), lines},
        {QStringLiteral("parser"), options.toJson()},
        {QStringLiteral("status"), CVNOptionResult::name(result)},
    };
}
