// Access to the shipped description files for the data tests.
#pragma once

#include "descriptioncheck.h"

#include <QString>
#include <QStringList>

namespace descriptions {

enum class Product { Vasta, Lyn, TwinPoint, Other };

struct ShippedRow {
    const char* resource;
    Product product;
    int entities;
    int basic;
    int corvaneLink;
};

// The shipped resources with their distinct entity count and view sizes.
const QList<ShippedRow>& shippedTable();

// Resources that describe a full HID interface (more than the two functions).
QStringList fullDescriptions();

QString descriptionFolder();

// Reads and checks the shipped file of the resource (without ".json").
[[nodiscard]] CheckedDescription loadShipped(const QString& resource);

// Names that a shipped view may list although the description lacks them.
QSet<QString> toleratedViewNames(const QString& resource);

QString shieldOf(Product product);

}  // namespace descriptions
