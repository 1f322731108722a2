#pragma once

#include <QByteArray>
#include <QVector>

// What the line analyses found for one sensor row or column.
struct CVNLineRecord
{
    enum Status : int {
        Sound = 0,
        Dead = 1, // a column that reads one extreme value (grid test)
        Alike = 2, // reads like its neighbour: lines shorted together
        Broken = 3, // the whole line failed or reads flat
        Unsteady = 4, // values spread too widely along the line
        PartlyBroken = 5, // failed from its driven end on (foil health)
    };

    int status = Sound;
    quint8 spread = 0;
    int mode = 0;
    int mean = 0; // signed
    bool dead = false;
};

// The damaged rows and columns of a sensor, found either in a raw frame
// (grid test) or in the controller's per-cell result bitmap (foil health).
// Both analyses accept bytes of any length: cells beyond the bytes read as
// 0 (frame) or as failed (bitmap); sizes outside the sensor limits give an
// empty analysis.
class CVNLineAnalysis
{
public:
    QVector<CVNLineRecord> rows;
    QVector<CVNLineRecord> columns;

    bool isEmpty() const { return rows.isEmpty() || columns.isEmpty(); }
    // Indices whose status is not Sound, ascending.
    QVector<int> damagedRows() const;
    QVector<int> damagedColumns() const;

    // Grid test: one byte per cell, row by row. Dead columns (mode at an
    // extreme) are marked Dead and left out of the row and column passes;
    // the column rules compare each column with its nearest usable
    // neighbours.
    static CVNLineAnalysis ofFrame(const QByteArray& frame, int width, int height);

    // Foil health: one bit per cell (cell-mask layout), 0 = failed. First
    // pass: the run of failed cells from a row's first cell (x = 0) or a
    // column's bottom cell. Second pass: a line marked PartlyBroken is
    // looked at again without the cells of crossing lines that failed as a
    // whole; when too short a run is left it is Sound.
    static CVNLineAnalysis ofHealthBitmap(const QByteArray& bitmap, int width, int height);

    // The thresholds of the analyses.
    static constexpr int DeadLow = 20;
    static constexpr int DeadHigh = 180;
    static constexpr int FlatRowAverage = 51;
    static constexpr int ColumnStep = 180;
    static constexpr int SteadySpread = 15;
    static constexpr int UnsteadySpread = 150;
};
