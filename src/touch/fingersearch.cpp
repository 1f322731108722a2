#include "touch/fingersearch.h"

namespace
{

// Calls visit(index) for every set bit of the words, in ascending order.
// visit returns false to stop; the function returns false when stopped.
template <typename Visit>
bool forEachBit(const std::uint64_t* words, int count, Visit&& visit)
{
    for (int w = 0; w < count; ++w) {
        std::uint64_t bits = words[w];
        while (bits) {
            const int bit = __builtin_ctzll(bits);
            bits &= bits - 1;
            if (!visit(w * 64 + bit))
                return false;
        }
    }
    return true;
}

} // namespace

void CVNFingerSearch::prepare(const CVNObjectRules& rules, const QVector<QPoint>& points)
{
    m_rules = &rules;
    m_points = points;
    m_count = points.size();
    m_words = (m_count + 63) / 64;
    m_near.assign(static_cast<size_t>(m_count) * m_words, 0);
    m_sides.assign(static_cast<size_t>(m_count) * m_count, 0.0);
    m_live.assign(m_words, 0);
    m_pairs.assign(m_words, 0);
    for (int i = 0; i < m_count; ++i) {
        m_live[i >> 6] |= Word(1) << (i & 63);
        Word* row = m_near.data() + static_cast<size_t>(i) * m_words;
        for (int j = 0; j < m_count; ++j) {
            const double side = CVNObjectRules::distance(points[i], points[j]);
            m_sides[static_cast<size_t>(i) * m_count + j] = side;
            // The same test as the classification's: no side longer than the largest.
            if (j != i && !(side > rules.maxSide()))
                row[j >> 6] |= Word(1) << (j & 63);
        }
    }
    m_shapes.clear();
    m_bigMemo.clear();
    if (m_count <= MemoLimit) {
        const size_t cells = static_cast<size_t>(m_count) * m_count * m_count;
        if (m_stamps.size() < cells) {
            m_stamps.assign(cells, 0);
            m_slots.assign(cells, -1);
            m_generation = 0;
        }
        if (++m_generation == 0) {
            // Wrapped after 2^32 polls: forget every stamp.
            std::fill(m_stamps.begin(), m_stamps.end(), 0);
            m_generation = 1;
        }
    }
}

const CVNTriangleShape* CVNFingerSearch::classified(int a, int b, int c)
{
    if (!isNear(a, b) || !isNear(a, c) || !isNear(b, c))
        return nullptr;
    std::int32_t* slot = nullptr;
    if (m_count <= MemoLimit) {
        const size_t cell = (static_cast<size_t>(a) * m_count + b) * m_count + c;
        if (m_stamps[cell] == m_generation)
            return m_slots[cell] < 0 ? nullptr : &m_shapes[static_cast<size_t>(m_slots[cell])];
        m_stamps[cell] = m_generation;
        slot = &m_slots[cell];
    } else {
        const std::uint64_t key = (std::uint64_t(a) << 42) | (std::uint64_t(b) << 21) | std::uint64_t(c);
        const auto inserted = m_bigMemo.emplace(key, -1);
        if (!inserted.second)
            return inserted.first->second < 0 ? nullptr : &m_shapes[static_cast<size_t>(inserted.first->second)];
        slot = &inserted.first->second;
    }
    const std::optional<CVNTriangleShape> shape
        = m_rules->triangle(m_points[a], m_points[b], m_points[c], side(a, b), side(a, c), side(b, c));
    *slot = -1;
    if (!shape)
        return nullptr;
    m_shapes.push_back(*shape);
    *slot = static_cast<std::int32_t>(m_shapes.size() - 1);
    return &m_shapes.back();
}

template <typename Visit>
void CVNFingerSearch::forEachNearTriple(Visit visit)
{
    std::vector<Word> common(m_words);
    std::vector<Word> second(m_words);
    for (int i = 0; i < m_count; ++i) {
        if (!isLive(i))
            continue;
        for (int w = 0; w < m_words; ++w)
            second[w] = nearRow(i)[w] & m_live[w];
        (void)forEachBit(second.data(), m_words, [&](int j) {
            for (int w = 0; w < m_words; ++w)
                common[w] = nearRow(i)[w] & nearRow(j)[w] & m_live[w];
            return forEachBit(common.data(), m_words, [&](int k) { return visit(i, j, k); });
        });
    }
}

void CVNFingerSearch::findTriangles(const TriangleFound& found)
{
    forEachNearTriple([&](int i, int j, int k) {
        const CVNTriangleShape* shape = classified(i, j, k);
        if (!shape)
            return true;
        const int fingers[3] = { i, j, k };
        kill(i);
        kill(j);
        kill(k);
        found(fingers, *shape);
        return false;
    });
}

void CVNFingerSearch::findQuads(const QuadFound& found)
{
    const bool quadTable = m_rules->orSpec() == 1;
    forEachNearTriple([&](int i, int j, int k) {
        const CVNTriangleShape* first = classified(i, j, k);
        // Or-spec 1 makes quads only of its table's triangle, and only with a score.
        if (!first || (quadTable && (first->variant != CVNObjectRules::QuadTableTriangle
                                     || !(CVNObjectRules::score(*first) > 0.0))))
            return true;
        for (int w = 0; w < m_words; ++w) {
            const Word ni = nearRow(i)[w], nj = nearRow(j)[w], nk = nearRow(k)[w];
            m_pairs[w] = (nj & nk) | (nk & ni) | (ni & nj);
        }
        // Shapes stay where they are while the memo grows (a deque).
        for (int l = 0; l < m_count; ++l) {
            if (l == i || l == j || l == k || !isLive(l))
                continue;
            const int fingers[4] = { i, j, k, l };
            if (tryQuad(fingers, *first, m_pairs.data(), found))
                return false;
        }
        return true;
    });
}

bool CVNFingerSearch::tryQuad(const int fingers[4], const CVNTriangleShape& first, const Word* pairs,
                              const QuadFound& found)
{
    const int l = fingers[3];
    const QPoint& fourth = m_points[l];
    // Or-spec 2: the centre form and the first opposite try depend on
    // this triangle alone; every other rotation makes a triangle of l and two
    // of the others, so l must lie near both.
    if (m_rules->orSpec() == 2 && !((pairs[l >> 6] >> (l & 63)) & 1u) && !m_rules->centreFits(first, fourth)
        && !m_rules->oppositeFits(first, fourth))
        return false;
    const QPoint points[4] = { m_points[fingers[0]], m_points[fingers[1]], m_points[fingers[2]], fourth };
    const std::optional<CVNQuadShape> quad = m_rules->quad(points, first, [&](int rotation) {
        return classified(fingers[rotation], fingers[(rotation + 1) % 4], fingers[(rotation + 2) % 4]);
    });
    if (!quad)
        return false;
    for (int a = 0; a < 4; ++a)
        kill(fingers[a]);
    found(fingers, *quad);
    return true;
}
