#pragma once

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>
#include <QVector>

// One touch entity as TUIO sends it: identifier, class, normalised position
// and the values the profiles carry.
struct TuioPoint
{
    qint32 sessionId = 0;
    qint32 classId = 0; // objects: identifier / 1000
    qint32 typeUserId = 0; // TUIO 2.0 tu_id
    float x = 0.0f;
    float y = 0.0f;
    float angle = 0.0f;
    float radius = 0.0f; // TUIO 2.0, relative to the sensor height
    float pressure = 0.0f; // TUIO 2.0, pressure / 1024
};

// The OSC bundles of one TUIO frame, built with oscpack.
//
// A frame whose messages do not fit one datagram is split so that no
// network drops it and every TUIO client still reads it as one frame:
// TUIO 1.1 bundles each repeat source and the full alive and carry the
// same fseq; TUIO 2.0 bundles each start with the same frm, and only the
// last carries alv. Each bundle stays within MaxDatagramSize (an Ethernet
// frame of 1500 bytes less the IPv4 and UDP headers); only a bundle that
// cannot be made smaller (an alive list of hundreds of ids) is sent larger,
// so that nothing is ever dropped or truncated.
class MessageTuio
{
public:
    static constexpr int MaxDatagramSize = 1500 - 20 - 8;
    static constexpr quint64 ImmediateTimeTag = 1;

    explicit MessageTuio(const QString& source);
    virtual ~MessageTuio() = default;

    QString source() const { return m_source; }

    // Exact OSC sizes, for planning the split.
    static int stringSize(const QByteArray& text);
    static int messageSize(const QByteArray& address, int typeTags, int argumentBytes);
    static constexpr int BundleHeaderSize = 16; // "#bundle\0" and the time tag
    static constexpr int ElementSizeField = 4;

protected:
    QByteArray m_sourceUtf8;

private:
    QString m_source;
};

// TUIO 1.1: one profile's bundles of a frame (source, alive, set..., fseq).
class MessageTuioV1 : public MessageTuio
{
public:
    MessageTuioV1(const QByteArray& profile, const QString& source);

    // The bundles of a frame; an empty list of points gives the idle bundle.
    QList<QByteArray> bundles(const QVector<TuioPoint>& points, qint32 frameSequence) const;

    QByteArray profile() const { return m_profile; }

protected:
    virtual int setTypeTags() const = 0;
    virtual int setArgumentBytes() const = 0;
    virtual void writeSet(class OscWriter& writer, const TuioPoint& point) const = 0;

private:
    QByteArray m_profile;
};

// "/tuio/2Dcur": set s_id x y X Y m.
class MessageTuioV1Touch : public MessageTuioV1
{
public:
    explicit MessageTuioV1Touch(const QString& source);

protected:
    int setTypeTags() const override { return 7; }
    int setArgumentBytes() const override { return 4 + 4 + 5 * 4; }
    void writeSet(OscWriter& writer, const TuioPoint& point) const override;
};

// "/tuio/2Dobj": set s_id i x y a X Y A m r.
class MessageTuioV1Object : public MessageTuioV1
{
public:
    explicit MessageTuioV1Object(const QString& source);

protected:
    int setTypeTags() const override { return 11; }
    int setArgumentBytes() const override { return 4 + 4 + 4 + 8 * 4; }
    void writeSet(OscWriter& writer, const TuioPoint& point) const override;
};

// TUIO 2.0: frm, ptr..., alv.
class MessageTuioV2 : public MessageTuio
{
public:
    struct Frame
    {
        qint32 frameId = 0;
        quint64 time = 0; // OSC time tag of the frame
        qint32 dimension = 0; // width << 16 | height
        quint64 bundleTimeTag = ImmediateTimeTag;
    };

    explicit MessageTuioV2(const QString& source);

    QList<QByteArray> bundles(const QVector<TuioPoint>& points, const Frame& frame) const;
};
