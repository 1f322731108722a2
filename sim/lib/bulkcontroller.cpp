#include "bulkcontroller.h"

#include "registertable.h"
#include "typedregisters.h"

namespace corvanesim {

namespace {

const QString Metadata = QStringLiteral("metadata");
const char* InvalidRequest = "error: invalid request";
const char* AnswerTooLong = "error: answer too long";

bool isError(const QString& answer)
{
    return answer.contains(QLatin1String("error"), Qt::CaseInsensitive);
}

}  // namespace

CVNBulkController::CVNBulkController(CVNRegisterTable* registers, QList<ViewDef> views)
    : m_registers(registers), m_views(std::move(views))
{
}

TransferResult CVNBulkController::write(quint8 endpoint, const QByteArray& packet)
{
    if (endpoint != OutEndpoint)
        return TransferResult::fail();
    switch (m_assembler.add(packet)) {
    case CVNBulkAssembler::Step::Refused:
        return TransferResult::fail();
    case CVNBulkAssembler::Step::Incomplete:
        return TransferResult::ok();
    case CVNBulkAssembler::Step::Complete:
        break;
    }
    m_outgoing = bulkPackets(answer(m_assembler.message()));
    return TransferResult::ok();
}

TransferResult CVNBulkController::read(quint8 endpoint, int maxLength)
{
    if (endpoint != InEndpoint || m_outgoing.isEmpty() || m_outgoing.first().size() > maxLength)
        return TransferResult::fail();
    return TransferResult::ok(m_outgoing.takeFirst());
}

QByteArray CVNBulkController::answer(const QByteArray& request)
{
    CVNBulkRequestReader reader(request);
    QList<BulkRecord> requests;
    CVNBulkReplyWriter writer;
    while (!reader.atEnd()) {
        BulkRecord record;
        if (!reader.next(&record)) {
            if (reader.problem().isEmpty())
                break;
            // The rest of the message cannot be told apart: say so once.
            BulkRecord broken;
            broken.type = bulkrecord::Error;
            broken.id = record.id;
            broken.name = record.name;
            broken.text = QStringLiteral("error: malformed request (%1)").arg(reader.problem());
            writer.add(broken);
            break;
        }
        requests.append(record);
        writer.add(perform(record));
    }
    if (writer.message().size() <= BulkLongestMessage)
        return writer.message();
    CVNBulkReplyWriter shorter;
    for (const BulkRecord& r : qAsConst(requests))
        shorter.add(refusal(r, QLatin1String(AnswerTooLong)));
    return shorter.message();
}

BulkRecord CVNBulkController::refusal(const BulkRecord& request, const QString& text) const
{
    BulkRecord reply;
    reply.type = bulkrecord::Error;
    reply.id = request.id;
    reply.name = request.name;
    reply.text = text;
    return reply;
}

QString CVNBulkController::command(const QString& word, const QString& value)
{
    QString answer = m_registers->exchange(word, value);
    if (m_hook)
        answer = m_hook(word, value, answer);
    return answer;
}

BulkRecord CVNBulkController::perform(const BulkRecord& request)
{
    BulkRecord reply;
    reply.type = request.type;
    reply.id = request.id;
    reply.name = request.name;
    QString value;
    QString answer;
    const RegisterDef* def = m_registers->definition(request.name);
    switch (request.type) {
    case bulkrecord::Get:
        answer = command(request.name, QString());
        if (def && !isError(answer))
            reply.value = typedRegisterValue(*def, answer);
        break;
    case bulkrecord::Set:
        value = def ? registerWords(*def, request.value) : valueWords(request.value);
        // An empty value would be a query: nothing to write.
        answer = value.isEmpty() ? QLatin1String(answers::InvalidValue) : command(request.name, value);
        if (def && !isError(answer))
            reply.value = typedRegisterValue(*def, answer);
        break;
    case bulkrecord::Call: {
        QStringList arguments;
        for (const BulkValue& argument : request.arguments)
            arguments.append(valueWords(argument));
        value = arguments.join(QLatin1Char(' '));
        if (request.name == Metadata && !def) {
            // A refused question comes back as the controller's error text.
            (void)metadataAnswer(*m_registers, m_views, arguments, &answer);
        } else {
            answer = command(request.name, value);
        }
        reply.value = BulkValue::text(answer);
        break;
    }
    default:
        answer = QLatin1String(InvalidRequest);
        break;
    }
    if (isError(answer))
        reply = refusal(request, answer);
    if (m_traffic)
        m_traffic(request.name, value, answer);
    return reply;
}

}  // namespace corvanesim
