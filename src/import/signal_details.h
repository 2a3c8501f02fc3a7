#pragma once

#include <QString>

#include <optional>

class TableData;

// What the window shows about a row beyond its cells: the texts of the details pane
// and of the tooltips, taken from the DBC details of the table (DbcDetails).

// A 29-bit identifier read as J1939 does: priority, parameter group number and the
// source address; a PDU1 group (PF below 240) is sent to a destination address.
struct J1939Id
{
    int priority = 0;
    quint32 pgn = 0;
    int sourceAddress = 0;
    int destinationAddress = -1; // -1 for a PDU2 group, sent to all
};

// An extended frame's identifier: bit 31 set, as DBC files mark one, or beyond 11 bits.
bool isExtendedId(quint32 id);
// The J1939 view of an identifier; bit 31 and the bits above 29 are not part of it.
J1939Id j1939Of(quint32 id);

// The fields of the details pane for one row.
struct SignalDetails
{
    QString messageName;
    quint32 id = 0;       // as the DBC file writes it, bit 31 included
    bool extended = false;
    std::optional<J1939Id> j1939; // for an extended identifier
    int dlc = -1;         // -1 where the file gives none
    int cycleTimeMs = -1;
    QString transmitter;
    QString transmitterComment;
    QString messageComment;
    QString longName;
    QString valueType;    // "integer", "IEEE float (32 bit)" or "IEEE double (64 bit)"
    QString comment;
    QString values;       // "0 = Off\n1 = On"
    QString multiplexing; // the extended multiplexing: "Mux 3-3, 5-7"
};

// The details of a grid row; nothing when the table has none for it.
std::optional<SignalDetails> signalDetails(const TableData &table, int row);

// The details pane's text: one "Field: value" line per field the file gives, or why
// there are none.
QString detailsText(const TableData &table, int row);

// The tooltip of a Name cell (long name and comment) or a CAN ID cell (message name
// and comment); empty for other cells and where the file says nothing.
QString detailsToolTip(const TableData &table, int row, int col);

// Whether the row's signal is sent as an IEEE floating-point number.
bool isFloatRow(const TableData &table, int row);
