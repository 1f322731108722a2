#pragma once

// TUIO streams as independent decoders report them, in one model, and the
// rules every stream from the service must follow.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

struct TuioMessage {
    QString address;
    QString types;
    QVariantList args;
};

struct TuioBundle {
    QList<TuioMessage> messages;
    int size = -1; // datagram bytes, when the decoder tells
};

// oscdump lines ("TIMETAG ADDRESS TYPES ARGS..."), grouped into bundles where
// a TUIO 1.1 "source" or a "/tuio2/frm" begins one.
QList<TuioBundle> parseOscdump(const QString& output);
// One JSON line per bundle: {"messages": [{"path", "types", "args"}]}.
QList<TuioBundle> parseLiblo(const QString& output);
// One JSON line per datagram: {"size", "bundle": osc.js packet} or {"size", "error"}.
QList<TuioBundle> parseOscJs(const QString& output, QStringList* errors);

// What the checks found, for the test to compare.
struct TuioStreamFacts {
    QStringList violations; // broken rules, each once per kind with an example
    int cursorFrames = 0;
    int tuio2Frames = 0;
    int largestAlive = 0; // ids in the largest TUIO 1.1 cursor alive
    QList<int> cursorIds; // distinct s_ids of TUIO 1.1 cursors, in order of appearance
    QList<int> tuio2Ids; // distinct s_ids of TUIO 2.0 pointers
    bool lastCursorAliveEmpty = false;
    bool lastTuio2AliveEmpty = false;
    int splitFrames = 0; // frames sent in more than one bundle
};

// Checks message order and argument types of every bundle, that split frames
// repeat source, alive and fseq (TUIO 1.1) or frm with alv only at the end
// (TUIO 2.0) and cover every id, that ids never come back once gone, and
// that frame numbers only grow.
TuioStreamFacts checkTuioStream(const QList<TuioBundle>& bundles);
