#include "standinservice.h"

#include "cli/optionresult.h"
#include "cli/pendingoption.h"
#include "com/comconnection.h"

#include <QJsonArray>

StandInService::StandInService()
    : m_manager(Service)
    , m_executer("Session")
    , m_stream(&m_text)
{
    connect(&m_manager, &CVNComManager::addedConnection, this, &StandInService::adopt);
    connect(&m_manager, &CVNComManager::removedConnection, this,
            [this](CVNComConnection* connection) { delete m_buffers.take(connection); });
    m_manager.start(QHostAddress::LocalHost);
}

StandInService::~StandInService()
{
    disconnect(&m_manager, nullptr, this, nullptr);
    m_manager.stop();
    qDeleteAll(m_buffers);
}

quint16 StandInService::port() const
{
    return const_cast<CVNComManager&>(m_manager).server().serverPort();
}

void StandInService::adopt(CVNComConnection* connection)
{
    m_buffers.insert(connection, new CVNDocumentBuffer());
    connect(connection, &CVNComConnection::readyRead, this, [this, connection] { readFrom(connection); });
}

void StandInService::readFrom(CVNComConnection* connection)
{
    CVNDocumentBuffer* buffer = m_buffers.value(connection);
    if (!buffer || !buffer->append(connection->readAll()))
        return;
    while (std::optional<QJsonDocument> document = buffer->takeNext()) {
        const QJsonObject request = document->object();
        requests.append(request);
        bool hangUp = false;
        const QJsonObject reply = answer(request, hangUp);
        if (hangUp) {
            connection->disconnectFromHost();
            return;
        }
        connection->writeDocument(reply);
    }
}

QJsonObject StandInService::answer(const QJsonObject& request, bool& hangUp)
{
    QJsonObject reply;
    if (request.contains("cli"))
        reply.insert("cli", answerCli(request.value("cli").toObject(), hangUp));
    if (request.contains("actions"))
        reply.insert("reactions", answerActions(request.value("actions").toObject()));
    return reply;
}

QJsonObject StandInService::answerCli(const QJsonObject& cli, bool& hangUp)
{
    CVNPendingOptionList options;
    options.fromJson(cli.value("parser").toArray());
    if (!options.isEmpty() && options.first().name == "hang") {
        hangUp = true;
        return QJsonObject();
    }
    m_text.clear();
    int result = 0;
    consumeOptions(result, options);
    m_stream.flush();
    return QJsonObject{ { "output", QJsonArray::fromStringList(m_text.split(QLatin1Char('\n'))) },
                        { "parser", options.toJson() },
                        { "status", CVNOptionResult::name(result) } };
}

void StandInService::consumeOptions(int& result, CVNPendingOptionList& options)
{
    do {
        if (!fileOption(result, options) && !foreignOption(result, options))
            m_executer.executeOne(result, options, *this);
    } while (result == CVNOptionResult::Processed);
}

// The file exchange of a text command: the first round asks the client, the
// repeated one sees the client's answer in the file table.
bool StandInService::fileOption(int& result, CVNPendingOptionList& options)
{
    if (options.isEmpty())
        return false;
    CVNPendingOption& option = options.first();
    const bool upload = option.name == "upload";
    if (!upload && option.name != "download")
        return false;
    const QString path = option.values.value(0);
    if (option.fileOperations.isEmpty()) {
        CVNFileOperation operation;
        operation.kind = upload ? CVNFileOperation::Kind::Read : CVNFileOperation::Kind::Write;
        if (!upload)
            operation.data = downloadData;
        option.fileOperations.insert(path, operation);
        result = CVNOptionResult::FileOperation;
        return true;
    }
    const CVNFileOperation operation = options.takeFirst().fileOperations.value(path);
    if (upload && operation.result == "File read successful") {
        uploaded = operation.data;
        m_stream << "uploaded " << operation.data.size() << " bytes\n";
    } else {
        m_stream << operation.result << " to " << path << "\n";
    }
    result = CVNOptionResult::Processed;
    return true;
}

bool StandInService::foreignOption(int& result, CVNPendingOptionList& options)
{
    if (options.isEmpty() || options.first().name != "foreign")
        return false;
    CVNPendingOption& option = options.first();
    if (option.fileOperations.isEmpty()) {
        option.values = QStringList{ foreignWrite };
        option.fileOperations.insert(foreignWrite, CVNFileOperation{ downloadData, {}, CVNFileOperation::Kind::Write });
        option.fileOperations.insert(foreignRead, CVNFileOperation{ {}, {}, CVNFileOperation::Kind::Read });
        result = CVNOptionResult::FileOperation;
        return true;
    }
    foreignAnswers = options.takeFirst().fileOperations;
    m_stream << "foreign done\n";
    result = CVNOptionResult::Processed;
    return true;
}

QJsonObject StandInService::answerActions(const QJsonObject& actions)
{
    QJsonArray list;
    for (const QJsonValue& value : actions.value("list").toArray()) {
        const QString key = value.toObject().value("key").toString();
        QJsonObject reaction{ { "key", key } };
        if (key == "version")
            reaction.insert("value", "Session Manager 1.0.0\nNo Device found");
        else if (key == "ping")
            reaction.insert("value", "alive");
        else
            reaction.insert("error", "action not found");
        list.append(reaction);
    }
    return QJsonObject{ { "list", list } };
}

void StandInService::helpTable(int& result, CVNHelpTable& table)
{
    table = m_executer.help();
    result = CVNOptionResult::Processed;
}

void StandInService::version(int& result, QString& text)
{
    text = "Session Manager 1.0.0\n";
    result = CVNOptionResult::Processed;
}
