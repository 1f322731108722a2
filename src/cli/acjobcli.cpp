#include "cli/acjobcli.h"

#include "cli/applicationclient.h"
#include "cli/clientfiles.h"
#include "cli/optionresult.h"
#include "cli/pendingoption.h"

#include <QJsonArray>

QJsonObject CVNACJobCli::request() const
{
    const CVNPendingOptionList* options = pendingOptions();
    const QJsonObject cli{ { QStringLiteral("parser"), options ? options->toJson() : QJsonArray() } };
    return QJsonObject{ { QStringLiteral("cli"), cli } };
}

CVNACJob::Answer CVNACJobCli::handleResponse(const QJsonObject& response)
{
    const QJsonObject cli = response.value(QStringLiteral("cli")).toObject();
    if (cli.contains(QStringLiteral("error"))) {
        print(QStringLiteral("Error: ") + cli.value(QStringLiteral("error")).toString() + QLatin1Char('\n'));
        setResult(CVNOptionResult::Error);
        return Answer::Done;
    }
    const QJsonValue output = cli.value(QStringLiteral("output"));
    const QJsonValue status = cli.value(QStringLiteral("status"));
    const QJsonValue parser = cli.value(QStringLiteral("parser"));
    if (!output.isArray() || !status.isString() || !parser.isArray())
        return Answer::Ignored;

    printOutput(output.toArray());
    if (CVNPendingOptionList* options = pendingOptions())
        options->fromJson(parser.toArray());
    setResult(CVNOptionResult::fromName(status.toString()));
    if (result() == CVNOptionResult::FileOperation)
        return carryOutFiles();
    return Answer::Done;
}

void CVNACJobCli::printOutput(const QJsonArray& lines)
{
    QString text;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).toString();
        // Text that ended in a newline splits into a last empty line.
        if (i == lines.size() - 1 && line.isEmpty())
            break;
        text += line + QLatin1Char('\n');
    }
    if (!text.isEmpty())
        print(text);
}

CVNACJob::Answer CVNACJobCli::carryOutFiles()
{
    CVNPendingOptionList* options = pendingOptions();
    if (!options || options->isEmpty() || ++m_fileRounds > kMaxFileOperationRounds) {
        print(QStringLiteral("Error on communication\n"));
        setResult(CVNOptionResult::Error);
        return Answer::Done;
    }
    CVNClientFiles::carryOut(options->first().fileOperations, client().userWords());
    return Answer::Repeat;
}

void CVNACJobCli::timeout()
{
    print(QStringLiteral("Service timeout\n"));
    setResult(CVNOptionResult::Error);
}
