#include "tangibleobject.h"

#include <QtMath>

namespace corvanesim {

namespace {

enum class Fourth { None, Side, Centre, Opposite };

struct Layout {
    int classId;
    double apexAngle;     // degrees, the middle of the class's range
    Fourth fourth;
    double sideDirection; // Side: degrees counter-clockwise on the sensor from the line apex -> centre
};

// Where the fourth foot of a 301 / 302 lies: this share of the leg away from the apex.
constexpr double SideReach = 0.8;

const Layout kLayouts[] = {
    {201, 28.0, Fourth::None, 0}, {202, 49.0, Fourth::None, 0}, {203, 80.0, Fourth::None, 0},
    {204, 100.0, Fourth::None, 0},
    {301, 28.0, Fourth::Side, 49.5}, {302, 28.0, Fourth::Side, 315.0},
    {401, 30.0, Fourth::None, 0}, {402, 40.0, Fourth::None, 0}, {403, 50.0, Fourth::None, 0},
    {404, 70.0, Fourth::None, 0}, {405, 80.0, Fourth::None, 0}, {406, 90.0, Fourth::None, 0},
    {407, 102.5, Fourth::None, 0}, {408, 120.0, Fourth::None, 0},
    {509, 30.0, Fourth::Centre, 0}, {510, 40.0, Fourth::Centre, 0}, {511, 50.0, Fourth::Centre, 0},
    {512, 70.0, Fourth::Centre, 0}, {513, 80.0, Fourth::Centre, 0}, {514, 90.0, Fourth::Centre, 0},
    {515, 102.5, Fourth::Centre, 0}, {516, 120.0, Fourth::Opposite, 0},
};

const Layout* layoutOf(int classId)
{
    for (const Layout& l : kLayouts) {
        if (l.classId == classId)
            return &l;
    }
    return nullptr;
}

}  // namespace

bool CVNTangibleObject::isClass(int classId)
{
    return layoutOf(classId) != nullptr;
}

QVector<QPoint> CVNTangibleObject::feet(int classId, double x, double y, double rotation)
{
    const Layout* layout = layoutOf(classId);
    if (!layout)
        return {};
    // Drawn with the apex on the +x axis and the centroid at the origin.
    const double half = qDegreesToRadians(layout->apexAngle / 2.0);
    const double height = Leg * qCos(half);
    const double width = Leg * qSin(half);
    QVector<QPointF> local{{2.0 * height / 3.0, 0.0}, {-height / 3.0, -width}, {-height / 3.0, width}};
    switch (layout->fourth) {
    case Fourth::Side: {
        // Counter-clockwise as seen on the sensor is clockwise in y-down
        // numbers: from the apex back towards the centre (-x), turned by it.
        const double turn = qDegreesToRadians(layout->sideDirection);
        local.append(local[0] + QPointF(-qCos(turn), qSin(turn)) * (SideReach * Leg));
        break;
    }
    case Fourth::Centre:
        local.append(QPointF(0.0, 0.0));
        break;
    case Fourth::Opposite:
        local.append(-local[0]);
        break;
    case Fourth::None:
        break;
    }
    const double r = qDegreesToRadians(rotation);
    const double c = qCos(r);
    const double s = qSin(r);
    QVector<QPoint> out;
    for (const QPointF& p : local)
        out.append(QPoint(qRound(x + p.x() * c - p.y() * s), qRound(y + p.x() * s + p.y() * c)));
    return out;
}

}  // namespace corvanesim
