#include "tuio/messagetuio.h"

#include "tuio/oscwriter.h"

#include <osc/OscOutboundPacketStream.h>

namespace
{

constexpr int pad4(int n)
{
    return (n + 3) & ~3;
}

// Room beyond the planned size; oscpack checks its own arithmetic.
constexpr int Slack = 64;

const QByteArray Frm = QByteArrayLiteral("/tuio2/frm");
const QByteArray Ptr = QByteArrayLiteral("/tuio2/ptr");
const QByteArray Alv = QByteArrayLiteral("/tuio2/alv");

} // namespace

MessageTuio::MessageTuio(const QString& source)
    : m_sourceUtf8(source.toUtf8())
    , m_source(source)
{
    // An OSC string ends at its first zero byte.
    m_sourceUtf8 = m_sourceUtf8.left(m_sourceUtf8.indexOf('\0') < 0 ? m_sourceUtf8.size() : m_sourceUtf8.indexOf('\0'));
}

int MessageTuio::stringSize(const QByteArray& text)
{
    return pad4(text.size() + 1);
}

int MessageTuio::messageSize(const QByteArray& address, int typeTags, int argumentBytes)
{
    return stringSize(address) + pad4(typeTags + 2) + argumentBytes;
}

MessageTuioV1::MessageTuioV1(const QByteArray& profile, const QString& source)
    : MessageTuio(source)
    , m_profile(profile)
{
}

QList<QByteArray> MessageTuioV1::bundles(const QVector<TuioPoint>& points, qint32 frameSequence) const
{
    const bool withSource = !m_sourceUtf8.isEmpty();
    const int sourceSize = withSource ? ElementSizeField + messageSize(m_profile, 2, 8 + stringSize(m_sourceUtf8)) : 0;
    const int aliveSize = ElementSizeField + messageSize(m_profile, 1 + points.size(), 8 + 4 * points.size());
    const int fseqSize = ElementSizeField + messageSize(m_profile, 2, 8 + 4);
    const int setSize = ElementSizeField + messageSize(m_profile, setTypeTags(), setArgumentBytes());
    const int fixed = BundleHeaderSize + sourceSize + aliveSize + fseqSize;
    const int perBundle = qMax(1, (MaxDatagramSize - fixed) / setSize);

    QList<QByteArray> out;
    int first = 0;
    do {
        const int count = qMin(perBundle, points.size() - first);
        OscWriter writer(fixed + count * setSize + Slack);
        try {
            osc::OutboundPacketStream& s = writer.stream();
            s << osc::BeginBundle(ImmediateTimeTag);
            if (withSource)
                s << osc::BeginMessage(m_profile.constData()) << "source" << m_sourceUtf8.constData() << osc::EndMessage;
            s << osc::BeginMessage(m_profile.constData()) << "alive";
            for (const TuioPoint& point : points)
                s << static_cast<osc::int32>(point.sessionId);
            s << osc::EndMessage;
            for (int i = first; i < first + count; ++i)
                writeSet(writer, points.at(i));
            s << osc::BeginMessage(m_profile.constData()) << "fseq" << static_cast<osc::int32>(frameSequence)
              << osc::EndMessage << osc::EndBundle;
        } catch (const osc::Exception&) {
            writer.fail();
        }
        const QByteArray bundle = writer.take();
        if (!bundle.isEmpty())
            out.append(bundle);
        first += count;
    } while (first < points.size());
    return out;
}

MessageTuioV1Touch::MessageTuioV1Touch(const QString& source)
    : MessageTuioV1(QByteArrayLiteral("/tuio/2Dcur"), source)
{
}

void MessageTuioV1Touch::writeSet(OscWriter& writer, const TuioPoint& point) const
{
    writer.stream() << osc::BeginMessage(profile().constData()) << "set" << static_cast<osc::int32>(point.sessionId)
                    << point.x << point.y << 0.0f << 0.0f << 0.0f << osc::EndMessage;
}

MessageTuioV1Object::MessageTuioV1Object(const QString& source)
    : MessageTuioV1(QByteArrayLiteral("/tuio/2Dobj"), source)
{
}

void MessageTuioV1Object::writeSet(OscWriter& writer, const TuioPoint& point) const
{
    writer.stream() << osc::BeginMessage(profile().constData()) << "set" << static_cast<osc::int32>(point.sessionId)
                    << static_cast<osc::int32>(point.classId) << point.x << point.y << point.angle << 0.0f << 0.0f
                    << 0.0f << 0.0f << 0.0f << osc::EndMessage;
}

MessageTuioV2::MessageTuioV2(const QString& source)
    : MessageTuio(source)
{
}

QList<QByteArray> MessageTuioV2::bundles(const QVector<TuioPoint>& points, const Frame& frame) const
{
    const int frmSize = ElementSizeField + messageSize(Frm, 4, 4 + 8 + 4 + stringSize(m_sourceUtf8));
    const int ptrSize = ElementSizeField + messageSize(Ptr, 9, 9 * 4);
    const int alvSize = ElementSizeField + messageSize(Alv, points.size(), 4 * points.size());

    // Which pointers go into which bundle; alv rides in the last one.
    QVector<int> ends; // one past the last pointer of each bundle
    int size = BundleHeaderSize + frmSize;
    int inBundle = 0;
    for (int i = 0; i < points.size(); ++i) {
        if (inBundle > 0 && size + ptrSize > MaxDatagramSize) {
            ends.append(i);
            size = BundleHeaderSize + frmSize;
            inBundle = 0;
        }
        size += ptrSize;
        ++inBundle;
    }
    if (inBundle > 0 && size + alvSize > MaxDatagramSize)
        ends.append(points.size()); // alv alone in a bundle of its own
    ends.append(points.size());

    QList<QByteArray> out;
    int first = 0;
    for (int b = 0; b < ends.size(); ++b) {
        const bool last = b == ends.size() - 1;
        const int end = ends.at(b);
        OscWriter writer(BundleHeaderSize + frmSize + (end - first) * ptrSize + (last ? alvSize : 0) + Slack);
        try {
            osc::OutboundPacketStream& s = writer.stream();
            s << osc::BeginBundle(frame.bundleTimeTag);
            s << osc::BeginMessage(Frm.constData()) << static_cast<osc::int32>(frame.frameId)
              << osc::TimeTag(frame.time) << static_cast<osc::int32>(frame.dimension) << m_sourceUtf8.constData()
              << osc::EndMessage;
            for (int i = first; i < end; ++i) {
                const TuioPoint& p = points.at(i);
                s << osc::BeginMessage(Ptr.constData()) << static_cast<osc::int32>(p.sessionId)
                  << static_cast<osc::int32>(p.typeUserId) << static_cast<osc::int32>(0) << p.x << p.y << p.angle
                  << 0.0f << p.radius << p.pressure << osc::EndMessage;
            }
            if (last) {
                s << osc::BeginMessage(Alv.constData());
                for (const TuioPoint& p : points)
                    s << static_cast<osc::int32>(p.sessionId);
                s << osc::EndMessage;
            }
            s << osc::EndBundle;
        } catch (const osc::Exception&) {
            writer.fail();
        }
        const QByteArray bundle = writer.take();
        if (!bundle.isEmpty())
            out.append(bundle);
        first = end;
    }
    return out;
}
