// The report record: "TYPE\t<kind>\n", key lines, then one empty line. Every record the plug-in
// sends is written through here, so every record fits its buffer and ends with its empty line.
#pragma once

#include <cstddef>

enum {
    REPORT_BUFFER_SIZE = 5000,  // a record with its terminator
    CELL_SIZE = 256,            // a table cell or a value with its terminator
};

// Copies game text (names, chat, paths, variable values) into dst, cut to fit, with every tab, CR
// and LF replaced by a space: a player must not be able to forge record lines. Returns the length.
size_t copy_game_text(char *dst, size_t size, const char *src);

// Appends to a record in a caller's buffer without ever passing its end. Lines that do not fit are
// left out whole, and room is always kept for the record's closing empty line.
struct RecordWriter {
    char *buffer;
    size_t size;
    size_t length;
};

// Empties the buffer and writes the head line.
void record_start(RecordWriter &record, char *buffer, size_t size, const char *kind);
// Appends one whole line (ending in "\n") if it fits; false otherwise.
bool record_line(RecordWriter &record, const char *line);
// "KEY\tvalue\n" with the value taken as game text and cut to a cell.
void record_value(RecordWriter &record, const char *key, const char *value);
// "KEY\t%i\n" and "KEY\t%f\n".
void record_whole(RecordWriter &record, const char *key, long long value);
void record_decimal(RecordWriter &record, const char *key, float value);
// Appends the closing empty line.
void record_finish(RecordWriter &record);

// A quotient reported as a number: without a usable divisor it reports 0.
inline float ratio_or_zero(float value, float maximum) { return maximum != 0.0f ? value / maximum : 0.0f; }

enum { TABLE_ROWS = 21, TABLE_COLUMNS = 33 };

// A table-shaped report under construction: one row per key, column 0 the key, column c the c-th
// entity. An entity whose first-row cell stays empty is left out.
// Cell texts are packed one after another in one arena, in the order they are set, so that a
// build touches only as much memory as it writes (a grid of 256-byte cells would spread a report
// over 177 KB).
struct WorkingTable {
    int rows;
    int columns;
    unsigned int offset[TABLE_ROWS][TABLE_COLUMNS];   // of each cell's text in the arena
    unsigned char length[TABLE_ROWS][TABLE_COLUMNS];  // 0: the cell is empty
    unsigned int used;                                // arena bytes taken
    char arena[TABLE_ROWS * TABLE_COLUMNS * CELL_SIZE];
};

// A cell's text (not terminated) and its length.
inline const char *table_cell(const WorkingTable &table, int row, int column) {
    return table.arena + table.offset[row][column];
}

// Empties every cell and writes the keys into column 0 (rows and columns are kept within bounds).
void table_reset(WorkingTable &table, int rows, int columns, const char *const keys[]);
// Game text into one cell; a cell outside the table is ignored.
void table_set(WorkingTable &table, int row, int column, const char *text);
// Numbers into one cell, as "%i" and "%f".
void table_set_whole(WorkingTable &table, int row, int column, long long value);
void table_set_decimal(WorkingTable &table, int row, int column, float value);
// Writes the table as a record of the kind. Entities that would make it pass the buffer are left
// out from the last, so that every line keeps the same entities.
void write_table(const WorkingTable &table, const char *kind, char *buffer, size_t size);

// The one working table every table-shaped builder uses (builders run one at a time).
extern WorkingTable report_table;
