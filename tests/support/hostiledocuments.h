#pragma once

// Binary JSON documents built byte by byte, the way an attacker would
// write them, for the tests, the fuzz targets and the flood program.
// Header-only so that the fuzz targets can use it without the test framework.

#include <QByteArray>
#include <QtEndian>

#include <vector>

namespace HostileDocuments {

// Builds binary JSON by hand, word by word.
class Layout
{
public:
    explicit Layout(int words) : m_words(size_t(words), 0u) {}
    void set(int index, quint32 value) { m_words[size_t(index)] = value; }
    // A document: header, then the words (the first one is the root's size).
    QByteArray document() const
    {
        QByteArray bytes("qbjs");
        bytes += le32(1);
        for (quint32 word : m_words)
            bytes += le32(word);
        return bytes;
    }
    static QByteArray le32(quint32 value)
    {
        char bytes[4];
        qToLittleEndian(value, bytes);
        return QByteArray(bytes, 4);
    }

private:
    std::vector<quint32> m_words;
};

constexpr quint32 kArrayType = 4;
constexpr quint32 kStringType = 3;

inline quint32 valueWord(quint32 type, quint32 offset, bool latin = false)
{
    return type | (latin ? 1u << 3 : 0u) | (offset << 5);
}

// `depth` arrays, each holding the next as its only value (16 bytes per
// level): the document that used to overflow the service's stack.
inline QByteArray nestedArrays(int depth)
{
    Layout layout(depth * 4 - 1);
    for (int level = 0; level < depth; ++level) {
        const int base = level * 3;  // in words: each level's header is 3 words in
        const quint32 size = 12 + 16 * quint32(depth - 1 - level);
        const bool innermost = level == depth - 1;
        layout.set(base, size);
        layout.set(base + 1, innermost ? 0u : 2u);  // array, length 0 or 1
        layout.set(base + 2, innermost ? 0u : size - 4);
        if (!innermost)
            layout.set(base + int(size / 4) - 1, valueWord(kArrayType, 12));
    }
    return layout.document();
}

// `depth` arrays, each holding the next twice: a few hundred bytes that
// describe 2^depth arrays.
inline QByteArray sharedArrays(int depth)
{
    Layout layout(depth * 5 - 2);
    for (int level = 0; level < depth; ++level) {
        const int base = level * 3;
        const quint32 size = 12 + 20 * quint32(depth - 1 - level);
        const bool innermost = level == depth - 1;
        layout.set(base, size);
        layout.set(base + 1, innermost ? 0u : 4u);  // array, length 0 or 2
        layout.set(base + 2, innermost ? 0u : size - 8);
        if (!innermost) {
            layout.set(base + int(size / 4) - 2, valueWord(kArrayType, 12));
            layout.set(base + int(size / 4) - 1, valueWord(kArrayType, 12));
        }
    }
    return layout.document();
}

// An array of `count` values that all name the same 4-byte Latin-1 string.
inline QByteArray sharedString(int count)
{
    Layout layout(3 + 2 + count);
    layout.set(0, 12 + 8 + 4 * quint32(count));
    layout.set(1, quint32(count) << 1);
    layout.set(2, 20);
    layout.set(3, 4 | (quint32('a') << 16) | (quint32('b') << 24));
    layout.set(4, quint32('c') | (quint32('d') << 8));
    for (int i = 0; i < count; ++i)
        layout.set(5 + i, valueWord(kStringType, 12, true));
    return layout.document();
}

} // namespace HostileDocuments
