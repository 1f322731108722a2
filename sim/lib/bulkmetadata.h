// What a bulk controller says about itself when its function "metadata" is
// called: the description of each of its words and the views it groups
// them into, each answer a JSON text.
#pragma once

#include "registertable.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace corvanesim {

struct ViewDef {
    QString name;
    QStringList words;
};

// The views of a controller of a known product: "basic" and "corvane_link"
// show every word it has.
QList<ViewDef> productViews(const QStringList& words);

// The answer to a call with these arguments:
//   view all          {"name": "all", "entities": [every word]}
//   view list         {"list": ["all", view names...]}
//   view NAME         {"name": NAME, "entities": [...]}
//   WORD              the word's description object (type, access, domain, values)
// False (and the controller's error text in answer) for anything else.
[[nodiscard]] bool metadataAnswer(const CVNRegisterTable& registers, const QList<ViewDef>& views,
                                  const QStringList& arguments, QString* answer);

}  // namespace corvanesim
