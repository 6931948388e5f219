#include "text/record.h"

#include "text/number_text.h"

#include <cstdio>
#include <cstring>

WorkingTable report_table;

namespace {

// Every byte as it may stand in a record: tab, LF and CR become spaces.
struct RecordBytes {
    unsigned char of[256];
    constexpr RecordBytes() : of() {
        for (int c = 0; c < 256; ++c)
            of[c] = static_cast<unsigned char>(c == '\t' || c == '\n' || c == '\r' ? ' ' : c);
    }
};
constexpr RecordBytes kRecordBytes;

}  // namespace

size_t copy_game_text(char *dst, size_t size, const char *src) {
    if (size == 0)
        return 0;
    size_t i = 0;
    if (src) {
        const unsigned char *from = reinterpret_cast<const unsigned char *>(src);
        for (; i + 1 < size && from[i]; ++i)
            dst[i] = static_cast<char>(kRecordBytes.of[from[i]]);
    }
    dst[i] = '\0';
    return i;
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

void record_whole(RecordWriter &record, const char *key, long long value) {
    char text[NUMBER_TEXT_SIZE];
    whole_number_text(text, value);
    record_value(record, key, text);
}

void record_decimal(RecordWriter &record, const char *key, float value) {
    char text[NUMBER_TEXT_SIZE];
    decimal_text(text, value);
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
    table.used = 0;
    for (int row = 0; row < table.rows; ++row) {
        for (int column = 1; column < table.columns; ++column)
            table.length[row][column] = 0;
        table_set(table, row, 0, keys[row]);
    }
}

static bool in_table(const WorkingTable &table, int row, int column) {
    return row >= 0 && row < table.rows && column >= 0 && column < table.columns;
}

// The arena holds every cell at its largest, so a cell always has room at the end of it; a cell
// set again takes new room (the old text is simply no longer pointed at).
static char *new_cell(WorkingTable &table, int row, int column) {
    table.offset[row][column] = table.used;
    return table.arena + table.used;
}

static void keep_cell(WorkingTable &table, int row, int column, size_t length) {
    table.length[row][column] = static_cast<unsigned char>(length);
    table.used += static_cast<unsigned int>(length) + 1;
}

void table_set(WorkingTable &table, int row, int column, const char *text) {
    if (in_table(table, row, column) && table.used + CELL_SIZE <= sizeof(table.arena))
        keep_cell(table, row, column, copy_game_text(new_cell(table, row, column), CELL_SIZE, text));
}

// Numbers are never longer than a cell (NUMBER_TEXT_SIZE) and hold no tab or line break:
// written straight in.
void table_set_whole(WorkingTable &table, int row, int column, long long value) {
    if (in_table(table, row, column) && table.used + CELL_SIZE <= sizeof(table.arena))
        keep_cell(table, row, column, static_cast<size_t>(whole_number_text(new_cell(table, row, column), value)));
}

void table_set_decimal(WorkingTable &table, int row, int column, float value) {
    if (in_table(table, row, column) && table.used + CELL_SIZE <= sizeof(table.arena))
        keep_cell(table, row, column, static_cast<size_t>(decimal_text(new_cell(table, row, column), value)));
}

// Bytes a column adds to the record: each of its cells and a tab, on every line.
static size_t column_bytes(const WorkingTable &table, int column) {
    size_t bytes = 0;
    for (int row = 0; row < table.rows; ++row)
        bytes += table.length[row][column] + 1u;
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
        if (column > 0 && table.length[0][column] == 0)
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
            const size_t length = table.length[row][column];
            memcpy(line, table_cell(table, row, column), length);
            line[length] = '\t';
            line += length + 1;
        }
        *line++ = '\n';
        *line = '\0';
        record.length = static_cast<size_t>(line - buffer);
    }
    record_finish(record);
}
