#pragma once

#include "touch/objectrules.h"

#include <QPoint>
#include <QVector>

#include <cstdint>
#include <deque>
#include <functional>
#include <unordered_map>
#include <vector>

// The search of the four-finger and three-finger steps of recognition over
// the unlocked fingers of one poll. It finds exactly what trying every
// ordered choice of fingers in tracker order finds (the first choice that
// makes an object, then the first among the fingers left, and so on), but
// tries only choices whose fingers all lie within the largest triangle side
// of each other, and classifies each ordered triple once per poll.
class CVNFingerSearch
{
public:
    using QuadFound = std::function<void(const int fingers[4], const CVNQuadShape& quad)>;
    using TriangleFound = std::function<void(const int fingers[3], const CVNTriangleShape& triangle)>;

    // A new poll: the rules of the moment and the fingers' positions in tracker order, all live.
    void prepare(const CVNObjectRules& rules, const QVector<QPoint>& points);
    int size() const { return m_count; }
    bool isLive(int finger) const { return (m_live[finger >> 6] >> (finger & 63)) & 1u; }

    // Each quad found, with its four fingers in the order given to the quad
    // classification; those fingers are no longer live.
    void findQuads(const QuadFound& found);
    // The same for triangles.
    void findTriangles(const TriangleFound& found);

private:
    // Every triple of live fingers near one another, lowest first, until
    // `visit(i, j, k)` answers false.
    template <typename Visit>
    void forEachNearTriple(Visit visit);
    using Word = std::uint64_t;
    static constexpr int MemoLimit = 64; // fingers up to which triples are remembered in flat tables

    const Word* nearRow(int finger) const { return m_near.data() + static_cast<size_t>(finger) * m_words; }
    bool isNear(int a, int b) const { return (nearRow(a)[b >> 6] >> (b & 63)) & 1u; }
    double side(int a, int b) const { return m_sides[static_cast<size_t>(a) * m_count + b]; }
    void kill(int finger) { m_live[finger >> 6] &= ~(Word(1) << (finger & 63)); }
    // The triangle of fingers a, b, c in this order, or null; remembered for the poll.
    const CVNTriangleShape* classified(int a, int b, int c);
    // A quad whose first three fingers make `first`, with l as the fourth.
    bool tryQuad(const int fingers[4], const CVNTriangleShape& first, const Word* pairs, const QuadFound& found);

    const CVNObjectRules* m_rules = nullptr;
    QVector<QPoint> m_points;
    int m_count = 0;
    int m_words = 0;
    std::vector<Word> m_near; // row per finger: the others within the largest side
    std::vector<Word> m_live;
    std::vector<double> m_sides; // distance() of every pair
    std::vector<Word> m_pairs; // scratch: fingers near two of a triangle's three
    // Ordered triples: stamp of the poll that classified them and the shape index (-1: none).
    std::vector<std::uint32_t> m_stamps;
    std::vector<std::int32_t> m_slots;
    std::unordered_map<std::uint64_t, std::int32_t> m_bigMemo;
    std::uint32_t m_generation = 0;
    std::deque<CVNTriangleShape> m_shapes;
};
