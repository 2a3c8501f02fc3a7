#pragma once

#include <QStringView>

#include <array>

// The fixed layout of the signal table: its columns, headings, widths and colours.

namespace Col {
enum Column : int {
    Number,       // "#": row number, and the row icon of imported rows
    CanId,        // "CAN ID"
    Position,     // "Offset": start bit and length, or start byte
    Bytes,        // "Bytes"
    Signed,       // "Signed"
    Name,         // "Name"
    Unit,         // "Unit"
    Scale,        // "Scale"
    Offset,       // "Offset": offset of the physical value
    Description,  // "Description"
    Mode,         // "Mode": multiplexer indicator
    Key,          // "Key"
    LittleEndian, // "LITTLE_ENDIAN"
    MinMax,       // "min_max"
    Count
};
} // namespace Col

// The heading row of a new table, ";"-separated, as a results CSV stores it.
inline constexpr QStringView headingLiteral =
        u"#;CAN ID;Offset;Bytes;Signed;Name;Unit;Scale;Offset;Description;Mode;Key;LITTLE_ENDIAN;min_max";

// Column widths in twips (1/1440 inch).
inline constexpr std::array<int, Col::Count> columnWidthTwips = {
    600, 1000, 600, 600, 600, 3000, 600, 600, 600, 3000, 600, 600, 600, 300,
};

// Background colours a cell may carry.
enum class CellColour : unsigned char {
    Default,
    KeyCell,     // pale yellow: the Key cell of every imported or loaded row
    DuplicateKey // red: a key that several rows share
};

// What the last update from a new file revision did to a row.
enum class RowMark : unsigned char {
    None,
    Added,  // the signal is new in the revision
    Changed // the signal moved to another message, or one of its fields changed
};

inline constexpr int keyCellRgb = 0xFFFFA0;
inline constexpr int duplicateKeyRgb = 0xFF0000;
// The text of a cell the data-acquisition application cannot read (see cellFormProblem).
inline constexpr int formProblemRgb = 0xC04000;
