#include "server/ssparseactions.h"

#include "com/binaryjson.h"
#include "interface/deviceinterface.h"
#include "interface/deviceproperty.h"
#include "interface/entity.h"
#include "server/serverlimits.h"
#include "server/serverlogging.h"
#include "server/serversession.h"
#include "server/ssparseactionhelp.h"
#include "server/ssparseactionversion.h"
#include "server/ssparsedevicesall.h"
#include "server/ssparseinterfacelist.h"
#include "server/ssparseinterfaceview.h"
#include "server/ssparselockdevice.h"
#include "server/ssparsenotifications.h"

#include <QJsonArray>

namespace {
const QString kKey = QStringLiteral("key");
const QString kId = QStringLiteral("id");
const QString kDevice = QStringLiteral("device");
const QString kValue = QStringLiteral("value");
const QString kArguments = QStringLiteral("arguments");
const QString kError = QStringLiteral("error");
}

CVNSSParseActions::CVNSSParseActions()
{
    m_actions.add(std::make_unique<CVNSSParseActionHelp>());
    m_actions.add(std::make_unique<CVNSSParseActionVersion>());
    m_actions.add(std::make_unique<CVNSSParseInterfaceView>());
    m_actions.add(std::make_unique<CVNSSParseInterfaceList>());
    m_actions.add(std::make_unique<CVNSSParseDevicesAll>());
    m_actions.add(std::make_unique<CVNSSParseNotifications>());
    m_actions.add(std::make_unique<CVNSSParseLockDevice>());
}

QJsonValue CVNSSParseActions::parse(const QJsonValue& request, CVNServerSession* session)
{
    const QJsonArray list = request.toObject().value(QStringLiteral("list")).toArray();
    if (list.size() > CVNServerLimits::kMaxActionsPerRequest)
        qCWarning(lcServer) << "actions request too long, refusing" << list.size() - CVNServerLimits::kMaxActionsPerRequest
                            << "of" << list.size() << "actions";
    const QString tooMany = QStringLiteral("more than %1 actions in one request").arg(CVNServerLimits::kMaxActionsPerRequest);
    const QString tooLarge = QStringLiteral("answers of the request exceed %1 bytes").arg(CVNServerLimits::kMaxAnswerBytes);
    QJsonArray answers;
    qint64 answerBytes = 0;
    for (int i = 0; i < list.size(); ++i) {
        const QJsonObject action = list.at(i).toObject();
        if (i >= CVNServerLimits::kMaxActionsPerRequest) {
            answers.append(refused(action, tooMany));
            continue;
        }
        if (answerBytes > CVNServerLimits::kMaxAnswerBytes) {
            answers.append(refused(action, tooLarge));
            continue;
        }
        const QJsonObject answer = parseAction(action, session);
        answerBytes += CVNBinaryJson::encodeDocument(answer).size();
        if (answerBytes > CVNServerLimits::kMaxAnswerBytes)
            qCWarning(lcServer) << "answers of an actions request exceed" << CVNServerLimits::kMaxAnswerBytes
                                << "bytes, refusing its remaining" << list.size() - i - 1 << "actions";
        answers.append(answer);
    }
    return QJsonObject{{QStringLiteral("list"), answers}};
}

QJsonObject CVNSSParseActions::parseAction(const QJsonObject& action, CVNServerSession* session)
{
    const QString key = action.value(kKey).toString();
    if (CVNSSParseBase* parser = m_actions.find(key))
        return parser->parse(action, session).toObject();

    const bool hasDevice = action.contains(kDevice);
    const QString serial = action.value(kDevice).toString();
    if (key.isEmpty() || key.size() > CVNServerLimits::kMaxKeyLength)
        return notFound(action);

    if (hasDevice) {
        CVNDeviceInterface* device = session->findDevice(serial);
        if (device) {
            Entity* entity = device->entity(key);
            if (!entity)
                return notFound(action);
            QString refusal;
            QJsonObject answer{{kId, action.value(kId)}, {kKey, key}, {kValue, executeEntity(entity, action, &refusal)},
                               {kDevice, action.value(kDevice)}};
            if (!refusal.isEmpty())
                answer.insert(kError, refusal);
            return answer;
        }
        // A named device that this session cannot reach (unknown, or locked by
        // another session) must not fall back to another device's entity.
        if (!serial.isEmpty())
            return notFound(action);
    }

    Entity* entity = session->entity(key);
    if (!entity)
        return notFound(action);
    QString refusal;
    QJsonObject answer{{kId, action.value(kId)}, {kKey, key}, {kValue, executeEntity(entity, action, &refusal)}};
    if (hasDevice)
        answer.insert(kDevice, action.value(kDevice));
    if (!refusal.isEmpty())
        answer.insert(kError, refusal);
    return answer;
}

QJsonValue CVNSSParseActions::executeEntity(Entity* entity, const QJsonObject& action, QString* refusal)
{
    if (entity->kind() == Entity::FunctionKind) {
        auto* function = static_cast<CVNFunction*>(entity);
        function->call(action.value(kArguments));
        return function->result();
    }
    auto* property = static_cast<CVNProperty*>(entity);
    const QJsonValue value = action.value(kValue);
    if (!value.isNull() && !value.isUndefined()) {
        // Each property decides what a value means to it (a frame property
        // takes any value as "capture now", read-only or not).
        const QString why = property->writeValue(value);
        if (refusal)
            *refusal = why;
    }
    return property->value();
}

QJsonObject CVNSSParseActions::refused(const QJsonObject& action, const QString& reason)
{
    return QJsonObject{{kKey, action.value(kKey)},
                       {kId, action.value(kId)},
                       {QStringLiteral("error"), QStringLiteral("action refused: ") + reason}};
}

QJsonObject CVNSSParseActions::notFound(const QJsonObject& action)
{
    return QJsonObject{{kKey, action.value(kKey)},
                       {kId, action.value(kId)},
                       {QStringLiteral("error"), QStringLiteral("action not found")}};
}
