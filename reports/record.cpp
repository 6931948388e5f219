#include "reports/record.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

WorkingTable report_table;

void copy_game_text(char *dst, size_t size, const char *src) {
    if (size == 0)
        return;
    size_t i = 0;
    for (; src && src[i] && i + 1 < size; ++i) {
        const char c = src[i];
        dst[i] = (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
    }
    dst[i] = '\0';
}

void record_start(RecordWriter &record, char *buffer, size_t size, const char *kind) {
    record.buffer = buffer;
    record.size = size;
    record.length = 0;
    if (size)
        buffer[0] = '\0';
    char head[CELL_SIZE + 8];
    snprintf(head, sizeof(head), "TYPE\t%s\n", kind);
    record_line(record, head);
}

bool record_line(RecordWriter &record, const char *line) {
    const size_t length = strlen(line);
    // Keep two bytes: the closing line feed and the terminator.
    if (record.length + length + 2 > record.size)
        return false;
    memcpy(record.buffer + record.length, line, length + 1);
    record.length += length;
    return true;
}

void record_value(RecordWriter &record, const char *key, const char *value) {
    char text[CELL_SIZE];
    copy_game_text(text, sizeof(text), value);
    char line[2 * CELL_SIZE + 4];
    snprintf(line, sizeof(line), "%s\t%s\n", key, text);
    record_line(record, line);
}

void record_valuef(RecordWriter &record, const char *key, const char *fmt, ...) {
    char text[CELL_SIZE];
    va_list args;
    va_start(args, fmt);
    vsnprintf(text, sizeof(text), fmt, args);
    va_end(args);
    record_value(record, key, text);
}

void record_finish(RecordWriter &record) {
    if (record.length + 2 <= record.size) {
        record.buffer[record.length++] = '\n';
        record.buffer[record.length] = '\0';
    }
}

static int clamp(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

void table_reset(WorkingTable &table, int rows, int columns, const char *const keys[]) {
    table.rows = clamp(rows, 0, TABLE_ROWS);
    table.columns = clamp(columns, 1, TABLE_COLUMNS);
    for (int row = 0; row < table.rows; ++row) {
        for (int column = 0; column < table.columns; ++column)
            table.cell[row][column][0] = '\0';
        copy_game_text(table.cell[row][0], CELL_SIZE, keys[row]);
    }
}

void table_set(WorkingTable &table, int row, int column, const char *text) {
    if (row >= 0 && row < table.rows && column >= 0 && column < table.columns)
        copy_game_text(table.cell[row][column], CELL_SIZE, text);
}

void table_setf(WorkingTable &table, int row, int column, const char *fmt, ...) {
    char text[CELL_SIZE];
    va_list args;
    va_start(args, fmt);
    vsnprintf(text, sizeof(text), fmt, args);
    va_end(args);
    table_set(table, row, column, text);
}

// Bytes a column adds to the record: each of its cells and a tab, on every line.
static size_t column_bytes(const WorkingTable &table, int column) {
    size_t bytes = 0;
    for (int row = 0; row < table.rows; ++row)
        bytes += strlen(table.cell[row][column]) + 1;
    return bytes;
}

void write_table(const WorkingTable &table, const char *kind, char *buffer, size_t size) {
    RecordWriter record;
    record_start(record, buffer, size, kind);

    // Which columns fit: the key column always, then entities in order while the record (every
    // line's line feed, the closing empty line and the terminator included) stays within size.
    bool written[TABLE_COLUMNS] = {};
    size_t total = record.length + static_cast<size_t>(table.rows) + 2;
    if (total > size)
        return record_finish(record);
    for (int column = 0; column < table.columns; ++column) {
        if (column > 0 && table.cell[0][column][0] == '\0')
            continue;
        const size_t bytes = column_bytes(table, column);
        if (total + bytes > size)
            break;
        total += bytes;
        written[column] = true;
    }

    for (int row = 0; row < table.rows && written[0]; ++row) {
        char *line = buffer + record.length;
        for (int column = 0; column < table.columns; ++column) {
            if (!written[column])
                continue;
            const size_t length = strlen(table.cell[row][column]);
            memcpy(line, table.cell[row][column], length);
            line[length] = '\t';
            line += length + 1;
        }
        *line++ = '\n';
        *line = '\0';
        record.length = static_cast<size_t>(line - buffer);
    }
    record_finish(record);
}
