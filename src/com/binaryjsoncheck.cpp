#include "com/binaryjsoncheck.h"

#include <QtEndian>

#include <vector>

// Layout of Qt 5 binary JSON, as far as the check needs it. Every number is
// 32-bit little endian; offsets are relative to the container they are in.
//   container: size, header word (bit 0: object, bits 1..31: length),
//              table offset; the table holds `length` words at the end.
//   array table word: a value. object table word: offset of an entry.
//   entry: a value word, then the key (Latin-1: 16-bit length and bytes;
//          otherwise 32-bit length and UTF-16 units), padded to 4 bytes.
//   value word: bits 0..2 type, bit 3 Latin-1 string or inline integer,
//               bit 4 Latin-1 key, bits 5..31 inline integer or the offset
//               of the value's data in the enclosing container.
namespace CVNBinaryJson {

namespace {

constexpr quint32 kContainerBase = 12;

enum ValueType : quint32 { Null = 0, Bool = 1, Double = 2, String = 3, Array = 4, Object = 5 };

struct Container {
    qint64 position;  // of the container in the root, in bytes
    quint32 tableOffset;
    quint32 length;
    bool isObject;
    quint32 next;  // index of the next value to check
};

constexpr qint64 align4(qint64 size)
{
    return (size + 3) & ~qint64(3);
}

class Walker
{
public:
    Walker(const char* root, quint32 rootSize, const CVNDocumentLimits& limits)
        : m_root(root)
        , m_rootSize(rootSize)
        , m_limits(limits)
    {
    }

    CheckResult run()
    {
        m_stack.reserve(size_t(qMax(1, m_limits.maxDepth)));
        m_elements = 1;
        if (m_rootSize < kContainerBase) {
            malformed();
            return m_result;
        }
        if (!open(0, m_rootSize, (word(4) & 1u) != 0))
            return m_result;
        while (!m_stack.empty()) {
            Container& top = m_stack.back();
            if (top.next == top.length) {
                m_stack.pop_back();
                continue;
            }
            const quint32 index = top.next++;
            // `top` may move when a child is pushed: copy what is needed.
            const Container current = top;
            if (!checkMember(current, index))
                return m_result;
        }
        m_result.ok = true;
        return m_result;
    }

private:
    quint32 word(qint64 position) const { return qFromLittleEndian<quint32>(m_root + position); }
    quint16 half(qint64 position) const { return qFromLittleEndian<quint16>(m_root + position); }

    bool refuse(const QString& reason)
    {
        m_result.reason = reason;
        return false;
    }
    bool malformed() { return refuse(QStringLiteral("malformed binary JSON")); }

    // Counts bytes that belong to one container, key or value; in a document
    // whose values do not share storage they add up to at most its size.
    bool claim(qint64 bytes)
    {
        m_claimed += bytes;
        if (m_claimed > m_rootSize)
            return refuse(QStringLiteral("values share storage"));
        return true;
    }

    // A container at `position` that may occupy `room` bytes.
    bool open(qint64 position, qint64 room, bool isObject)
    {
        if (int(m_stack.size()) >= m_limits.maxDepth)
            return refuse(QStringLiteral("nested deeper than %1 levels").arg(m_limits.maxDepth));
        if (room < kContainerBase || position + kContainerBase > m_rootSize)
            return malformed();
        const quint32 size = word(position);
        const quint32 header = word(position + 4);
        const quint32 tableOffset = word(position + 8);
        const quint32 length = header >> 1;
        if (size < kContainerBase || qint64(size) > room || bool(header & 1u) != isObject)
            return malformed();
        // Qt writes a table offset of 0 for a container without values.
        if ((length > 0 && tableOffset < kContainerBase) || qint64(tableOffset) + 4 * qint64(length) > qint64(size))
            return malformed();
        m_elements += length;
        if (m_elements > m_limits.maxElements)
            return refuse(QStringLiteral("more than %1 values").arg(m_limits.maxElements));
        if (!claim(kContainerBase + 4 * qint64(length)))
            return false;
        m_stack.push_back(Container{position, tableOffset, length, isObject, 0});
        return true;
    }

    bool checkMember(const Container& container, quint32 index)
    {
        const quint32 tableWord = word(container.position + container.tableOffset + 4 * qint64(index));
        if (!container.isObject)
            return checkValue(container, tableWord);

        // An entry: its value word, then its key, all before the table.
        const qint64 entry = tableWord;
        if (entry < kContainerBase || entry + 4 >= container.tableOffset)
            return malformed();
        const quint32 value = word(container.position + entry);
        const qint64 keyRoom = qint64(container.tableOffset) - entry - 4;
        qint64 keyBytes = 0;
        if (value & (1u << 4)) {
            if (keyRoom < 2)
                return malformed();
            keyBytes = 2 + qint64(half(container.position + entry + 4));
        } else {
            if (keyRoom < 4)
                return malformed();
            keyBytes = 4 + 2 * qint64(word(container.position + entry + 4));
        }
        if (keyBytes > keyRoom)
            return malformed();
        if (!claim(align4(4 + keyBytes)))
            return false;
        return checkValue(container, value);
    }

    bool checkValue(const Container& container, quint32 value)
    {
        const quint32 type = value & 7u;
        const bool inlineForm = (value & (1u << 3)) != 0;
        const qint64 offset = value >> 5;
        const qint64 room = qint64(container.tableOffset) - offset;
        switch (type) {
        case Null:
        case Bool:
            return true;
        case Double:
            if (inlineForm)
                return true;
            if (offset < kContainerBase || room < 8)
                return malformed();
            return claim(8);
        case String: {
            if (offset < kContainerBase || room < 4)
                return malformed();
            const qint64 bytes = inlineForm ? 2 + qint64(half(container.position + offset))
                                            : 4 + 2 * qint64(word(container.position + offset));
            if (align4(bytes) > room)
                return malformed();
            return claim(align4(bytes));
        }
        case Array:
        case Object:
            if (offset < kContainerBase)
                return malformed();
            return open(container.position + offset, room, type == Object);
        default:
            return malformed();
        }
    }

    const char* m_root;
    const qint64 m_rootSize;
    const CVNDocumentLimits m_limits;
    std::vector<Container> m_stack;
    qint64 m_elements = 0;
    qint64 m_claimed = 0;
    CheckResult m_result;
};

} // namespace

CheckResult checkStructure(const char* root, quint32 rootSize, const CVNDocumentLimits& limits)
{
    return Walker(root, rootSize, limits).run();
}

} // namespace CVNBinaryJson
