// Strict reader of interface descriptions for the data tests. The service's
// builder is lenient (unknown keys and names are skipped); this one reports
// every deviation as a problem text so that a faulty shipped file fails loudly.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>
#include <QStringList>

namespace descriptions {

struct CheckedDescription {
    QStringList problems;
    QStringList names;                      // distinct entity names, file order
    QHash<QString, QJsonObject> entities;   // the last declaration of each name
    QHash<QString, int> declarations;       // how often each name is declared
    QHash<QString, QStringList> views;      // view name -> listed names, as written
};

// Names that a view may list without the description defining them (the
// shipped Lyn 2.003 description keeps such a name).
[[nodiscard]] CheckedDescription checkDescription(const QByteArray& json,
                                                  const QSet<QString>& toleratedViewNames = {});

// Number of listed names of a view that the description defines, counted once.
[[nodiscard]] int builtViewSize(const CheckedDescription& description, const QString& view);

}  // namespace descriptions
