#pragma once

// The well-behaved clients of the soak program: each reads, writes,
// subscribes and locks on the four controllers, one request at a time with
// a pause between, reads everything the service sends, and checks every
// answer against its request. Header-only: every .cpp in bench/ is a
// program of its own.

#include "com/binaryjson.h"
#include "com/documentbuffer.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <random>
#include <vector>

// One simulated controller as the soak uses it.
struct SoakController {
    QString serial;
    QString setup;         // the simulator's SETUP, to plug it again
    bool checkable = true;  // false: it is made to answer garbage, so its values prove nothing
    qint64 unsettledUntilMs = 0;  // faults or plugging make its values unreliable until then
};

// What all clients of one run found.
struct SoakFigures {
    QElapsedTimer clock;
    qint64 sent = 0;
    qint64 answered = 0;
    qint64 lost = 0;
    qint64 wrong = 0;
    qint64 notifications = 0;
    qint64 reconnects = 0;
    std::vector<float> latenciesMs;
    QStringList wrongSamples;
    // With --trace: what happened when (ms since the start), slow answers among it.
    bool tracing = false;
    QStringList trace;

    void event(const QString& what)
    {
        if (tracing)
            trace.append(QStringLiteral("%1 %2").arg(clock.elapsed(), 8).arg(what));
    }

    void wrongAnswer(const QString& what)
    {
        ++wrong;
        if (wrongSamples.size() < 10)
            wrongSamples.append(what);
    }
    double percentileMs(double p) const
    {
        if (latenciesMs.empty())
            return 0;
        std::vector<float> sorted = latenciesMs;
        const size_t index = std::min(sorted.size() - 1, size_t(p / 100.0 * double(sorted.size())));
        std::nth_element(sorted.begin(), sorted.begin() + long(index), sorted.end());
        return double(sorted[index]);
    }
};

class SoakClient : public QObject
{
public:
    // One request in flight: its actions (key, id, expected value check).
    struct Action {
        QString key;
        int id = 0;
        QString device;      // empty: a service or session entity
        QJsonValue written;  // the value written, undefined for a read
    };

    SoakClient(int index, quint16 port, QList<SoakController>* controllers, SoakFigures* figures, int thinkMs)
        : m_port(port)
        , m_controllers(controllers)
        , m_figures(figures)
        , m_thinkMs(thinkMs)
        , m_random(std::mt19937::result_type(1000 + index))
    {
        m_next.setSingleShot(true);
        connect(&m_next, &QTimer::timeout, this, &SoakClient::sendNext);
        connect(&m_socket, &QTcpSocket::connected, this, [this] { pause(); });
        connect(&m_socket, &QTcpSocket::readyRead, this, &SoakClient::readAnswers);
        connect(&m_socket, &QTcpSocket::disconnected, this, &SoakClient::lostConnection);
        m_socket.connectToHost(QHostAddress::LocalHost, m_port);
    }

    ~SoakClient() override { disconnect(&m_socket, nullptr, this, nullptr); }

    // No new requests; what is in flight may still be answered.
    void finish() { m_finishing = true; m_next.stop(); }
    bool idle() const { return m_pending.isEmpty(); }
    // What was never answered counts as lost.
    void giveUp()
    {
        if (!m_pending.isEmpty())
            m_figures->lost += 1;
        m_pending.clear();
    }

private:
    void pause()
    {
        if (m_finishing)
            return;
        std::uniform_int_distribution<int> think(m_thinkMs / 2, m_thinkMs * 3 / 2);
        m_next.start(think(m_random));
    }

    int roll(int below) { return std::uniform_int_distribution<int>(0, below - 1)(m_random); }

    const SoakController& anyController() { return m_controllers->at(roll(m_controllers->size())); }

    QJsonObject action(const QString& key, const QString& device, const QJsonValue& value = QJsonValue::Undefined)
    {
        Action a{key, ++m_lastId, device, value};
        m_pending.append(a);
        QJsonObject object{{"key", key}, {"id", a.id}};
        if (!device.isEmpty())
            object.insert("device", device);
        if (!value.isUndefined())
            object.insert("value", value);
        return object;
    }

    // One request: reads, writes, subscriptions, locks and service entities,
    // weighted as a busy client would mix them.
    void sendNext()
    {
        if (m_socket.state() != QAbstractSocket::ConnectedState || !m_pending.isEmpty())
            return;
        QJsonArray list;
        QJsonObject extra;
        const QString serial = m_locked.isEmpty() ? anyController().serial : m_locked;
        const int pick = m_locked.isEmpty() ? roll(100) : 92;  // a held lock is given back next
        if (pick < 30) {
            list.append(action(QStringLiteral("dserial"), serial));
        } else if (pick < 45) {
            list.append(action(QStringLiteral("th"), serial, 1 + roll(200)));
        } else if (pick < 60) {
            list.append(action(QStringLiteral("th"), serial));
        } else if (pick < 70) {
            list.append(action(QStringLiteral("gain"), serial));
        } else if (pick < 78) {
            const bool subscribe = !m_subscribed.contains(serial);
            QJsonObject item = action(QStringLiteral("notifications"), QString());
            item.insert(subscribe ? "register" : "unregister", QJsonArray{QJsonObject{{"key", "th"}, {"device", serial}}});
            if (subscribe)
                m_subscribed.insert(serial);
            else
                m_subscribed.remove(serial);
            list.append(item);
        } else if (pick < 85) {
            list.append(action(QStringLiteral("device_lock"), serial, QStringLiteral("lock")));
        } else if (pick < 95) {
            if (!m_locked.isEmpty()) {
                list.append(action(QStringLiteral("device_lock"), m_locked, QStringLiteral("unlock")));
            } else {
                static const char* const service[] = {"ping", "version", "devices_list", "sessions_list"};
                list.append(action(QString::fromLatin1(service[roll(4)]), QString()));
            }
        } else {
            for (const SoakController& c : *m_controllers)
                list.append(action(QStringLiteral("dserial"), c.serial));
        }
        const QByteArray bytes = CVNBinaryJson::encodeDocument(QJsonObject{{"actions", QJsonObject{{"list", list}}}});
        m_sentAtMs = m_figures->clock.nsecsElapsed() / 1.0e6;
        m_figures->sent += 1;
        m_socket.write(bytes);
    }

    void readAnswers()
    {
        if (!m_buffer.append(m_socket.readAll())) {
            m_figures->wrongAnswer(QStringLiteral("unreadable answer stream: ") + m_buffer.errorText());
            m_socket.abort();
            return;
        }
        while (const std::optional<QJsonDocument> document = m_buffer.takeNext())
            handle(document->object());
    }

    void handle(const QJsonObject& document)
    {
        if (document.contains("notifications")) {
            m_figures->notifications += 1;
            if (!document.value("notifications").toObject().value("list").isArray())
                m_figures->wrongAnswer(QStringLiteral("notification without a list"));
            return;
        }
        if (m_pending.isEmpty()) {
            m_figures->wrongAnswer(QStringLiteral("answer without a request: ") + text(document));
            return;
        }
        const double latency = m_figures->clock.nsecsElapsed() / 1.0e6 - m_sentAtMs;
        m_figures->latenciesMs.push_back(float(latency));
        if (latency > 20)
            m_figures->event(QStringLiteral("slow answer %1 ms: %2").arg(latency, 0, 'f', 1).arg(m_pending.first().key));
        m_figures->answered += 1;
        const QJsonArray reactions = document.value("reactions").toObject().value("list").toArray();
        if (reactions.size() != m_pending.size())
            m_figures->wrongAnswer(QStringLiteral("%1 answers to %2 actions: ").arg(reactions.size()).arg(m_pending.size())
                                   + text(document));
        for (int i = 0; i < reactions.size() && i < m_pending.size(); ++i)
            check(m_pending.at(i), reactions.at(i).toObject());
        m_pending.clear();
        pause();
    }

    bool settled(const QString& serial) const
    {
        for (const SoakController& c : *m_controllers) {
            if (c.serial == serial)
                return c.checkable && m_sentAtMs > c.unsettledUntilMs
                    && m_figures->clock.elapsed() > c.unsettledUntilMs;
        }
        return false;
    }

    // The answer of one action against what was asked.
    void check(const Action& a, const QJsonObject& answer)
    {
        if (answer.value("id").toInt(-1) != a.id || answer.value("key").toString() != a.key) {
            m_figures->wrongAnswer(QStringLiteral("answer for another action: ") + text(answer));
            return;
        }
        if (answer.contains("error"))
            return;  // a device that is gone, locked by another client or failing
        const QJsonValue value = answer.value("value");
        bool right = true;
        if (a.key == QLatin1String("dserial"))
            right = !settled(a.device) || value.toString().isEmpty() || value.toString() == a.device;
        else if (a.key == QLatin1String("th") && !a.written.isUndefined())
            right = !settled(a.device) || value.isNull() || value.toInt() == a.written.toInt();
        else if (a.key == QLatin1String("ping"))
            right = value.toString() == QLatin1String("alive");
        else if (a.key == QLatin1String("device_lock"))
            right = lockAnswered(a, value.toObject());
        else if (a.key == QLatin1String("notifications"))
            right = answer.contains("register") || answer.contains("unregister");
        if (!right)
            m_figures->wrongAnswer(QStringLiteral("wrong value: ") + text(answer));
    }

    bool lockAnswered(const Action& a, const QJsonObject& inner)
    {
        const QString outcome = inner.value("value").toString();
        if (a.written.toString() == QLatin1String("lock") && outcome == QLatin1String("locked"))
            m_locked = a.device;
        if (a.written.toString() == QLatin1String("unlock"))
            m_locked.clear();
        return inner.isEmpty() || outcome == QLatin1String("locked") || outcome == QLatin1String("unlocked")
            || outcome == QLatin1String("not_found");
    }

    void lostConnection()
    {
        if (!m_pending.isEmpty())
            m_figures->lost += 1;
        m_pending.clear();
        m_subscribed.clear();
        m_locked.clear();
        m_buffer.clear();
        if (m_finishing)
            return;
        m_figures->reconnects += 1;
        QTimer::singleShot(100, this, [this] { m_socket.connectToHost(QHostAddress::LocalHost, m_port); });
    }

    static QString text(const QJsonObject& object)
    {
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact).left(300));
    }

    quint16 m_port;
    QList<SoakController>* m_controllers;
    SoakFigures* m_figures;
    int m_thinkMs;
    std::mt19937 m_random;
    QTcpSocket m_socket;
    CVNDocumentBuffer m_buffer;
    QTimer m_next;
    QList<Action> m_pending;
    int m_lastId = 0;
    double m_sentAtMs = 0;
    QSet<QString> m_subscribed;
    QString m_locked;
    bool m_finishing = false;
};
