#include "shipped.h"

#include <QFile>

namespace descriptions {

const QList<ShippedRow>& shippedTable()
{
    static const QList<ShippedRow> rows{
        {"2-1_009-hid", Product::Vasta, 2, 2, 2},      {"2-2_000-hid", Product::Vasta, 2, 2, 2},
        {"2-2_004-hid", Product::Vasta, 76, 36, 32},   {"2-2_005-hid", Product::Vasta, 75, 34, 32},
        {"4-2_001-hid", Product::Lyn, 2, 2, 2},        {"4-2_003-hid", Product::Lyn, 72, 34, 31},
        {"4-2_004-hid", Product::Lyn, 76, 34, 31},     {"4-2_005-hid", Product::Lyn, 76, 35, 31},
        {"c-2_000-hid", Product::TwinPoint, 2, 2, 2},  {"c-2_002-hid", Product::TwinPoint, 62, 35, 25},
        {"c-2_004-hid", Product::TwinPoint, 65, 32, 25}, {"c-2_005-hid", Product::TwinPoint, 66, 32, 25},
        {"20-1_000-hid", Product::Other, 2, 2, 2},     {"3-dfu", Product::Other, 1, 1, 1},
        {"5-dfu", Product::Other, 1, 1, 1},            {"d-dfu", Product::Other, 1, 1, 1},
        {"dfu", Product::Other, 1, 1, 1},
    };
    return rows;
}

QStringList fullDescriptions()
{
    QStringList names;
    for (const ShippedRow& row : shippedTable()) {
        if (row.entities > 2)
            names << row.resource;
    }
    return names;
}

QString descriptionFolder()
{
    return QStringLiteral(CORVANE_SOURCE_DIR "/resources/devices-interfaces-resources/");
}

QSet<QString> toleratedViewNames(const QString& resource)
{
    // Lyn 2.003 keeps the tuning sequence in its view without offering it.
    if (resource == "4-2_003-hid")
        return {"tune_vasta"};
    return {};
}

CheckedDescription loadShipped(const QString& resource)
{
    QFile file(descriptionFolder() + resource + ".json");
    if (!file.open(QIODevice::ReadOnly)) {
        CheckedDescription missing;
        missing.problems << QString("cannot open %1").arg(file.fileName());
        return missing;
    }
    return checkDescription(file.readAll(), toleratedViewNames(resource));
}

QString shieldOf(Product product)
{
    switch (product) {
    case Product::Vasta:
        return "shield_vasta";
    case Product::Lyn:
        return "shield_lyn";
    case Product::TwinPoint:
        return "shield_twin_point";
    case Product::Other:
        break;
    }
    return {};
}

}  // namespace descriptions
