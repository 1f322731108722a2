// One command word of a controller's register table: its kind, access,
// admitted values and starting value.
#pragma once

#include <QString>
#include <QStringList>

namespace corvanesim {

// Real, Double, Matrix (nine numbers), Bytes (hex text) and Words (several
// admitted words) are held by controllers that describe themselves.
enum class RegisterKind { Int, Pair, Triple, Bool, Text, Enum, Function, Real, Double, Matrix, Bytes, Words };

// Words whose value the controller changes by itself.
enum class RegisterSource { Stored, Uptime, FrameRate, ContactCount, ContactsBegun, SensorCycle };

struct RegisterDef {
    QString word;
    RegisterKind kind = RegisterKind::Int;
    bool writable = true;
    int minimum = 0;  // per number of Int, Pair and Triple words
    int maximum = 65535;
    QStringList values;  // Enum: admitted words; Function: admitted arguments
    QString initial;  // starting value; for a Function the answer of a call
    RegisterSource source = RegisterSource::Stored;
    QString description;  // what the controller says about the word when asked
};

}  // namespace corvanesim
