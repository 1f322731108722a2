#pragma once

// The other parties of the soak program: the controllers' faults (through
// the simulator's control socket), connections opened and closed all the
// time, and a client that sends documents exactly at the service's limits
// and just past them. Header-only: every .cpp in bench/ is a program of its
// own.

#include "soakclient.h"

#include "com/binaryjson.h"
#include "com/comlimits.h"
#include "com/documentbuffer.h"

#include <QLocalSocket>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <memory>
#include <random>

// Unplugs and plugs controllers, fails their transfers, makes them answer
// garbage or short reports and vanish in the middle of a transfer, at
// random from a fixed seed.
class SoakFaults : public QObject
{
public:
    SoakFaults(const QString& simSocket, QList<SoakController>* controllers, SoakFigures* figures, int seed)
        : m_controllers(controllers)
        , m_figures(figures)
        , m_random(std::mt19937::result_type(seed))
    {
        m_socket.connectToServer(simSocket);
        m_socket.waitForConnected(5000);
        connect(&m_socket, &QLocalSocket::readyRead, this, [this] {
            while (m_socket.canReadLine()) {
                if (!m_socket.readLine().startsWith("ok"))
                    ++refused;
            }
        });
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &SoakFaults::next);
        m_timer.start(1000);
    }

    void stop() { m_stopped = true; m_timer.stop(); }
    bool connected() const { return m_socket.state() == QLocalSocket::ConnectedState; }

    int injected = 0;
    int replugs = 0;
    int refused = 0;  // answers other than ok (a controller already gone, ...)

private:
    int roll(int below) { return std::uniform_int_distribution<int>(0, below - 1)(m_random); }

    void send(const QString& line)
    {
        m_figures->event(QStringLiteral("controller: ") + line);
        m_socket.write(line.toUtf8() + '\n');
        m_socket.flush();
    }

    // Values of the controller prove nothing until a while after a fault.
    void unsettle(SoakController& c, int forMs)
    {
        c.unsettledUntilMs = qMax(c.unsettledUntilMs, m_figures->clock.elapsed() + forMs);
    }

    // Unplugged (or vanished) now, back after a while as it was.
    void replugLater(SoakController& c, int afterMs)
    {
        unsettle(c, afterMs + 3000);
        const QString serial = c.serial;
        const QString setup = c.setup;
        QTimer::singleShot(afterMs, this, [this, serial, setup] {
            send(QStringLiteral("unplug ") + serial);  // refused when it has vanished already
            send(QStringLiteral("plug ") + setup);
            ++replugs;
        });
    }

    void next()
    {
        if (m_stopped)
            return;
        SoakController& c = (*m_controllers)[roll(m_controllers->size())];
        const int kind = roll(100);
        if (kind < 25) {
            send(QStringLiteral("fail %1 %2").arg(c.serial).arg(1 + roll(6)));
            unsettle(c, 3000);
        } else if (kind < 33) {
            // Ten failures in a row: the service drops it until it comes again.
            send(QStringLiteral("fail %1 12").arg(c.serial));
            replugLater(c, 1000 + roll(1000));
        } else if (kind < 48) {
            SoakController* garbage = nullptr;
            for (SoakController& any : *m_controllers)
                garbage = any.checkable ? garbage : &any;
            if (garbage)
                send(QStringLiteral("garbage %1 %2").arg(garbage->serial).arg(1 + roll(3)));
        } else if (kind < 58) {
            send(QStringLiteral("short %1 %2").arg(c.serial).arg(1 + roll(6)));
            unsettle(c, 3000);
        } else if (kind < 73) {
            send(QStringLiteral("unplug ") + c.serial);
            replugLater(c, 500 + roll(1500));
        } else if (kind < 85) {
            send(QStringLiteral("vanish ") + c.serial);
            replugLater(c, 1000 + roll(1000));
        } else {
            --injected;  // a quiet moment
        }
        ++injected;
        m_timer.start(300 + roll(700));
    }

    QList<SoakController>* m_controllers;
    SoakFigures* m_figures;
    std::mt19937 m_random;
    QLocalSocket m_socket;
    QTimer m_timer;
    bool m_stopped = false;
};

// Connections opened and closed: some closed at once, some in the middle
// of a document, some after a ping answered.
class SoakChurn : public QObject
{
public:
    SoakChurn(quint16 port, int total, int spreadMs, int seed)
        : m_port(port)
        , m_total(total)
        , m_random(std::mt19937::result_type(seed))
    {
        m_timer.setInterval(qMax(1, spreadMs / qMax(1, total)));
        connect(&m_timer, &QTimer::timeout, this, &SoakChurn::open);
        m_timer.start();
    }

    void stop() { m_timer.stop(); }

    int opened = 0;
    int answered = 0;
    int refused = 0;   // the service was full
    int unanswered = 0;

private:
    void open()
    {
        if (opened >= m_total) {
            m_timer.stop();
            return;
        }
        ++opened;
        auto* socket = new QTcpSocket(this);
        auto* buffer = new CVNDocumentBuffer;
        const int kind = std::uniform_int_distribution<int>(0, 2)(m_random);
        const QByteArray ping = CVNBinaryJson::encodeDocument(
            QJsonObject{{"actions", QJsonObject{{"list", QJsonArray{QJsonObject{{"key", "ping"}, {"id", 1}}}}}}});
        auto done = std::make_shared<bool>(false);
        auto finish = [socket, buffer, done] {
            if (*done)
                return;
            *done = true;
            socket->abort();
            socket->deleteLater();
            delete buffer;
        };
        connect(socket, &QTcpSocket::connected, this, [=] {
            if (kind == 0) {
                finish();
            } else if (kind == 1) {
                socket->write(ping.left(ping.size() / 2));
                socket->flush();
                finish();
            } else {
                socket->write(ping);
            }
        });
        connect(socket, &QTcpSocket::readyRead, this, [=] {
            if (*done || !buffer->append(socket->readAll()))
                return;
            if (const auto document = buffer->takeNext()) {
                if (document->object().contains("error"))
                    ++refused;
                else
                    ++answered;
                finish();
            }
        });
        QTimer::singleShot(10000, this, [=] {
            if (!*done) {
                ++unanswered;
                finish();
            }
        });
        socket->connectToHost(QHostAddress::LocalHost, m_port);
    }

    quint16 m_port;
    int m_total;
    std::mt19937 m_random;
    QTimer m_timer;
};

// Documents exactly at the limits of size, depth and value count are
// answered; one byte, level or value more closes the connection unanswered.
class SoakLimits : public QObject
{
public:
    // The documents are made here, once: making them takes a while, and
    // this process must answer its sockets without pauses.
    SoakLimits(quint16 port, SoakFigures* figures)
        : m_port(port)
        , m_figures(figures)
    {
        using namespace CVNComLimits;
        for (int over = 0; over < 2; ++over) {
            m_documents.append(ofDepth(kMaxDocumentDepth + over));
            m_documents.append(ofValues(kMaxDocumentElements + over));
            m_documents.append(ofSize(kMaxDocumentSize + 4 * over));
        }
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &SoakLimits::next);
        m_timer.start(500);
    }

    void stop() { m_stopped = true; m_timer.stop(); }

    int atLimitSent = 0;
    int atLimitAnswered = 0;
    int overLimitSent = 0;
    int overLimitClosed = 0;
    QStringList faults;

    // {"actions": {"list": [{"key": "ping", "id": 1, "pad": PAD}]}}: six
    // values and four levels around the pad.
    static QByteArray request(const QJsonValue& pad)
    {
        return CVNBinaryJson::encodeDocument(QJsonObject{
            {"actions", QJsonObject{{"list", QJsonArray{QJsonObject{{"key", "ping"}, {"id", 1}, {"pad", pad}}}}}}});
    }
    static QByteArray ofDepth(int depth)
    {
        QJsonValue pad = 0;
        for (int level = 4; level < depth; ++level)
            pad = QJsonArray{pad};
        return request(pad);
    }
    static QByteArray ofValues(qint64 values)
    {
        QJsonArray pad;
        for (qint64 i = 7; i < values; ++i)
            pad.append(0);
        return request(pad);
    }
    // A document of exactly `size` bytes, found by adjusting a text (long
    // texts are stored with two bytes a character, padded to four).
    static QByteArray ofSize(qint64 size)
    {
        const auto sized = [](int length) { return request(QString(length, QLatin1Char('p'))); };
        const qint64 base = sized(1 << 20).size();
        const qint64 perMiB = sized(2 << 20).size() - base;
        int length = int((1 << 20) + (size - base) * (1 << 20) / perMiB);
        QByteArray bytes = sized(length);
        for (int step = 0; step < 64 && bytes.size() != size; ++step) {
            length += bytes.size() < size ? 1 : -1;
            bytes = sized(length);
        }
        return bytes;
    }

private:
    void next()
    {
        if (m_stopped)
            return;
        const int step = m_step++ % 6;
        const bool over = step >= 3;
        const QByteArray document = m_documents.at(step);
        over ? ++overLimitSent : ++atLimitSent;
        m_figures->event(QStringLiteral("limit client sends %1 bytes").arg(document.size()));
        auto* socket = new QTcpSocket(this);
        auto* buffer = new CVNDocumentBuffer;
        auto done = std::make_shared<bool>(false);
        static const char* const kinds[] = {"depth", "values", "bytes"};
        const QString name = QStringLiteral("%1 limit of %2 (%3 bytes)").arg(over ? "over" : "at").arg(kinds[step % 3]).arg(document.size());
        auto finish = [this, socket, buffer, done](bool answered, bool closed, const QString& what) {
            if (*done)
                return;
            *done = true;
            const bool right = answered != closed && (what.startsWith("over") ? closed : answered);
            if (right)
                what.startsWith("over") ? ++overLimitClosed : ++atLimitAnswered;
            else if (faults.size() < 10)
                faults.append(what + (answered ? " answered" : closed ? " closed" : " neither"));
            socket->abort();
            socket->deleteLater();
            delete buffer;
            m_timer.start(2000);
        };
        connect(socket, &QTcpSocket::connected, this, [socket, document] { socket->write(document); });
        connect(socket, &QTcpSocket::readyRead, this, [=] {
            if (*done || !buffer->append(socket->readAll()))
                return;
            if (const auto answer = buffer->takeNext())
                finish(answer->object().contains("reactions"), false, name);
        });
        connect(socket, &QTcpSocket::disconnected, this, [=] { finish(false, true, name); });
        QTimer::singleShot(20000, this, [=] { finish(false, false, name); });
        socket->connectToHost(QHostAddress::LocalHost, m_port);
    }

    quint16 m_port;
    SoakFigures* m_figures;
    QList<QByteArray> m_documents;
    QTimer m_timer;
    int m_step = 0;
    bool m_stopped = false;
};
