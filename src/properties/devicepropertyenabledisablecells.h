#pragma once

#include "interface/deviceproperty.h"
#include "properties/cellmask.h"

#include <QSize>

class DevicePropertyIntPair;

// The cell mask ("enable_disable_cells"): which sensor cells may report
// touches. Read and written in "fec" blocks; the grid size comes from the
// "fsize" companion (extra symbol "fsize").
//
// Text: "cells x y width height [0|1]", "col N [0|1]", "row N [0|1]",
// "reset". JSON read: {"frame": {"size", "data"}, "rows", "cols"}; JSON
// write: any of "cells", "rows", "cols", "reset".
class DevicePropertyEnableDisableCells : public DeviceProperty
{
public:
    DevicePropertyEnableDisableCells(CVNDeviceInterface* interface, const QString& name, const QString& description,
                                     const QString& command, int accessMode);

    static QString staticTypeName() { return QStringLiteral("EnableDisableCells"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override;

    QString execute(CVNEntityContext& context) override;
    void setValue(const QJsonValue& value) override;
    QJsonValue value() override;
    void setSymbolExtra(const QString& role, const QString& value) override;
    CVNDeviceRequest makeRequest() override;
    void handleReply(const CVNDeviceRequest& reply) override;

    // For the tuning sequence and other callers in the service:
    // the mask last read or written (empty before the first read).
    const CVNCellMask& mask() const { return m_mask; }
    // Reads the mask from the controller now; false (error in lastError())
    // when it could not.
    [[nodiscard]] bool readMask();
    // Writes the mask now, then re-reads the dependants; false when the
    // controller did not take it (the previous mask stays).
    [[nodiscard]] bool writeMask(const CVNCellMask& mask);
    // Every cell enabled, then the given columns and rows disabled, written
    // at once (lines outside the grid are skipped).
    [[nodiscard]] bool disableLines(const QVector<int>& columns, const QVector<int>& rows);
    // The grid size from "fsize" (read once), else that of the mask held.
    QSize gridSize();

    static QString invalidArgumentsText() { return QStringLiteral("invalid arguments"); }
    // The changes of a structured write ("reset", "cells", "rows", "cols")
    // applied to a mask; items that are not well formed are skipped and
    // everything is clipped to the grid.
    static void applyChanges(CVNCellMask* mask, const QJsonObject& changes);

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override;
    QString valueText() const override;
    QJsonValue cachedJson() const override;
    QVariant requestValue() const override { return m_mask.toBytes(); }

private:
    // The mask to change: the one held, read first when nothing valid is
    // cached; empty when there is none.
    CVNCellMask currentMask();
    QString cellsCommand(const QStringList& words);
    QString lineCommand(const QStringList& words);
    // A write from a text command: the error text, or empty.
    QString writeFromText(const CVNCellMask& mask);

    DevicePropertyIntPair* m_size = nullptr;
    CVNCellMask m_mask;
    CVNCellMask m_pending; // waits to be written (state 1)
    bool m_takingWrite = false; // the reply being taken answers a write
};
