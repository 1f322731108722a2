#include "properties/devicepropertysettings.h"

#include "interface/deviceinterface.h"

#include <QJsonObject>
#include <QTimer>

// One sub-command: the action name it calls, the request state it starts
// with, whether it empties the held image, and its texts.
struct DevicePropertySettings::Action
{
    const char* word;
    QString DevicePropertySettings::*name;
    int state;
    bool emptiesImage;
    const char* unavailable;
    const char* done;
};

namespace
{

const QString InvalidArguments = QStringLiteral("Invalid arguments");
const QString NoReply = QStringLiteral("Settings error: the controller did not answer");

} // namespace

DevicePropertySettings::DevicePropertySettings(CVNDeviceInterface* interface, const QString& name,
                                               const QString& description, const QString& command, int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
{
}

const DevicePropertySettings::Action* DevicePropertySettings::findAction(const QString& word)
{
    static const Action actions[] = {
        { "default", &DevicePropertySettings::m_defaultAction, ActionRequested, true, "Default settings not available",
          "Default settings restored" },
        { "save", &DevicePropertySettings::m_saveAction, ActionRequested, false, "Save settings not available",
          "Settings saved" },
        { "load", &DevicePropertySettings::m_loadAction, ActionRequested, true, "Load settings not available",
          "Settings loaded" },
        { "erase", &DevicePropertySettings::m_eraseAction, ActionRequested, false, "Erase settings not available",
          "Settings erased from flash memory" },
        { "upload", &DevicePropertySettings::m_uploadAction, ActionRequested, false, "Upload settings not available",
          "Settings uploaded" },
        { "download", &DevicePropertySettings::m_downloadAction, DownloadRequested, true,
          "Download settings not available", "" },
    };
    for (const Action& action : actions) {
        if (word == QLatin1String(action.word))
            return &action;
    }
    return nullptr;
}

QString& DevicePropertySettings::actionName(const Action& action)
{
    return this->*action.name;
}

QString DevicePropertySettings::argumentHint() const
{
    return QStringLiteral("default | save | upload FILEPATH | download FILEPATH");
}

void DevicePropertySettings::setSymbolExtra(const QString& role, const QString& value)
{
    if (const Action* action = findAction(role))
        actionName(*action) = value;
}

bool DevicePropertySettings::start(const Action& action)
{
    m_lastError.clear();
    const QString name = actionName(action);
    if (name.isEmpty()) {
        m_lastError = QLatin1String(action.unavailable);
        return false;
    }
    if (action.emptiesImage)
        m_image.clear();
    m_action = name;
    setRequestState(action.state);
    return true;
}

bool DevicePropertySettings::runNow()
{
    if (m_action.isEmpty())
        return false; // already sent (a queued run overtaken by a text command)
    m_replied = false;
    send();
    // Without a reply nothing happened on the controller (it is gone or
    // the interface has no channel): that must not read as success.
    if (!m_replied) {
        m_action.clear();
        m_lastError = NoReply;
    }
    return m_replied;
}

void DevicePropertySettings::queue()
{
    CVNDeviceInterface* interface = deviceInterface();
    if (!interface)
        return;
    // Dropped when the interface or this property is gone by then.
    const std::weak_ptr<int> alive = m_lifetime;
    QTimer::singleShot(0, interface, [this, alive] {
        if (alive.lock())
            (void)runNow();
    });
}

QString DevicePropertySettings::runSimple(const Action& action)
{
    if (!start(action))
        return m_lastError;
    (void)runNow();
    return m_lastError.isEmpty() ? QString::fromLatin1(action.done) : m_lastError;
}

QString DevicePropertySettings::execute(CVNEntityContext& context)
{
    const QStringList& words = context.arguments;
    if (words.size() == 1 && words.first() != QLatin1String("upload") && words.first() != QLatin1String("download")) {
        if (const Action* action = findAction(words.first()))
            return runSimple(*action);
    }
    if (words.size() == 2 && words.first() == QLatin1String("upload"))
        return upload(words.at(1), context.fileTable);
    if (words.size() == 2 && words.first() == QLatin1String("download"))
        return download(words.at(1), context.fileTable);
    return InvalidArguments;
}

QString DevicePropertySettings::upload(const QString& path, CVNFileTable& table)
{
    if (table.isEmpty()) {
        // The client reads the file on its own machine and asks again.
        table.insert(path, CVNFileOperation());
        return QString();
    }
    const CVNFileOperation entry = table.value(path);
    table.clear();
    if (entry.result == QLatin1String("Cannot open file") || entry.result == QLatin1String("Cannot write in file"))
        return entry.result;
    if (entry.data.isEmpty())
        return QStringLiteral("File is empty");
    if (entry.data.size() > MaxImageBytes)
        return QStringLiteral("Settings upload error: the file is larger than any settings file (%1 bytes)")
            .arg(entry.data.size());
    const Action& action = *findAction(QStringLiteral("upload"));
    if (!start(action))
        return m_lastError;
    m_image = entry.data;
    (void)runNow();
    return m_lastError.isEmpty() ? QString::fromLatin1(action.done) : m_lastError;
}

QString DevicePropertySettings::download(const QString& path, CVNFileTable& table)
{
    if (!table.isEmpty()) {
        // The client's report after it wrote the file.
        const CVNFileOperation entry = table.take(path);
        table.clear();
        return entry.result + QStringLiteral(" to ") + path;
    }
    if (!start(*findAction(QStringLiteral("download"))))
        return m_lastError;
    (void)runNow();
    if (!m_lastError.isEmpty())
        return m_lastError;
    // An empty entry would ask the client to read the file instead.
    if (m_image.isEmpty())
        return QStringLiteral("Settings download error: the controller sent no settings");
    CVNFileOperation entry;
    entry.data = m_image;
    table.insert(path, entry);
    return QString();
}

void DevicePropertySettings::setValue(const QJsonValue& value)
{
    const QJsonObject object = value.toObject();
    const QString word = object.value(QStringLiteral("action")).toString();
    const Action* action = findAction(word);
    if (!action)
        return;
    if (word == QLatin1String("upload")) {
        if (!object.contains(QStringLiteral("data")))
            return;
        const QByteArray text = object.value(QStringLiteral("data")).toString().toUtf8();
        if (text.size() > (MaxImageBytes / 3 + 1) * 4) {
            m_lastError = QStringLiteral("Settings upload error: the data is larger than any settings image");
            return;
        }
        const auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            m_lastError = QStringLiteral("Settings upload error: the data is not Base64");
            return;
        }
        if (decoded.decoded.isEmpty() || !start(*action))
            return;
        m_image = decoded.decoded;
        queue();
        return;
    }
    // A download of an unchanging configuration already held is not repeated.
    if (word == QLatin1String("download") && requestState() == ReplyReceived && !isMutable() && !m_image.isEmpty())
        return;
    if (start(*action))
        queue();
}

QJsonValue DevicePropertySettings::value()
{
    return cachedJson();
}

CVNDeviceRequest DevicePropertySettings::makeRequest()
{
    if (m_action.isEmpty() || requestState() == ReplyReceived)
        return CVNDeviceRequest();
    CVNDeviceRequest request(CVNDeviceRequest::Call, m_action, 0);
    if (m_action == m_uploadAction)
        request.arguments = { m_image };
    m_action.clear();
    return request;
}

void DevicePropertySettings::handleReply(const CVNDeviceRequest& reply)
{
    m_replied = true;
    m_action.clear();
    m_lastError.clear();
    if (reply.type == CVNDeviceRequest::Error) {
        m_image.clear();
        m_lastError = reply.text;
        return;
    }
    setRequestState(ReplyReceived);
    if (!m_downloadAction.isEmpty() && reply.name == m_downloadAction) {
        assignReply(reply.value);
        return;
    }
    const bool changesDevice = (!m_defaultAction.isEmpty() && reply.name == m_defaultAction)
        || (!m_loadAction.isEmpty() && reply.name == m_loadAction)
        || (!m_uploadAction.isEmpty() && reply.name == m_uploadAction)
        || (!m_eraseAction.isEmpty() && reply.name == m_eraseAction);
    if (!changesDevice)
        return;
    // The controller's configuration changed under every other property.
    if (CVNDeviceInterface* interface = deviceInterface())
        interface->refreshAll();
    setRequestState(ReplyReceived); // the refresh idles every property, this one included
    notifyChanged();
}

QString DevicePropertySettings::writeWords(const QStringList& words)
{
    (void)words;
    return InvalidArguments;
}

bool DevicePropertySettings::assignJson(const QJsonValue& value)
{
    (void)value;
    return false;
}

void DevicePropertySettings::assignReply(const QVariant& value)
{
    m_image = value.toByteArray();
}

QString DevicePropertySettings::valueText() const
{
    return QString::fromLatin1(m_image.toBase64());
}

QJsonValue DevicePropertySettings::cachedJson() const
{
    return valueText();
}
