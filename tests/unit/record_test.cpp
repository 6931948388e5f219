#include "text/record.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char *const kKeys[] = {"NUM", "NAME", "HEALTH"};

// Every line before the end is non-empty and the record ends with exactly one empty line.
void expect_well_formed(const std::string &record) {
    ASSERT_GE(record.size(), 2u);
    EXPECT_EQ(record.substr(record.size() - 2), "\n\n");
    EXPECT_EQ(record.find("\n\n"), record.size() - 2) << record;
}

}  // namespace

TEST(RecordValues, ValueLinesAndTheClosingEmptyLine) {
    char buffer[REPORT_BUFFER_SIZE];
    RecordWriter record;
    record_start(record, buffer, sizeof(buffer), "SERVER");
    record_value(record, "GAME_DIR", "cstrike");
    record_value(record, "SV_PASSWORD", "");
    record_decimal(record, "TIMELEFT", 900.0f);
    record_finish(record);
    EXPECT_STREQ(buffer, "TYPE\tSERVER\nGAME_DIR\tcstrike\nSV_PASSWORD\t\nTIMELEFT\t900.000000\n\n");
}

TEST(RecordValues, GameTextCannotForgeLines) {
    char buffer[REPORT_BUFFER_SIZE];
    RecordWriter record;
    record_start(record, buffer, sizeof(buffer), "SERVER");
    record_value(record, "HOST_NAME", "evil\n\nTYPE\tSERVER\r\nX\tY");
    record_finish(record);
    EXPECT_STREQ(buffer, "TYPE\tSERVER\nHOST_NAME\tevil  TYPE SERVER  X Y\n\n");
}

TEST(RecordValues, ValueIsCutToACell) {
    char buffer[REPORT_BUFFER_SIZE];
    RecordWriter record;
    record_start(record, buffer, sizeof(buffer), "SERVER");
    record_value(record, "HOST_NAME", std::string(1000, 'h').c_str());
    record_finish(record);
    EXPECT_EQ(std::string(buffer), "TYPE\tSERVER\nHOST_NAME\t" + std::string(255, 'h') + "\n\n");
}

TEST(RecordValues, LinesThatDoNotFitAreLeftOutWhole) {
    char buffer[39];  // one byte short of both lines and the closing empty line
    RecordWriter record;
    record_start(record, buffer, sizeof(buffer), "SERVER");
    record_value(record, "A", "1234567890");
    record_value(record, "B", "1234567890");
    record_finish(record);
    EXPECT_STREQ(buffer, "TYPE\tSERVER\nA\t1234567890\n\n");
}

TEST(RecordTable, EveryLineCarriesTheSameEntitiesWithTrailingTabs) {
    WorkingTable &table = report_table;
    table_reset(table, 3, 4, kKeys);
    table_set_whole(table, 0, 1, 0);
    table_set(table, 1, 1, "Bob");
    table_set_decimal(table, 2, 1, 0.5f);
    table_set_whole(table, 0, 3, 2);  // column 2 stays empty: left out
    table_set(table, 1, 3, "Al\tice");
    char buffer[REPORT_BUFFER_SIZE];
    write_table(table, "PLAYER", buffer, sizeof(buffer));
    EXPECT_STREQ(buffer,
                 "TYPE\tPLAYER\n"
                 "NUM\t0\t2\t\n"
                 "NAME\tBob\tAl ice\t\n"
                 "HEALTH\t0.500000\t\t\n\n");
}

TEST(RecordTable, NoEntityStillCarriesEveryKey) {
    table_reset(report_table, 3, 9, kKeys);
    char buffer[REPORT_BUFFER_SIZE];
    write_table(report_table, "FLAG", buffer, sizeof(buffer));
    EXPECT_STREQ(buffer, "TYPE\tFLAG\nNUM\t\nNAME\t\nHEALTH\t\n\n");
}

TEST(RecordTable, LeavesOutWholeEntitiesFromTheLastToFit) {
    table_reset(report_table, 3, TABLE_COLUMNS, kKeys);
    for (int column = 1; column < TABLE_COLUMNS; ++column) {
        table_set_whole(report_table, 0, column, column);
        table_set(report_table, 1, column, std::string(300, 'n').c_str());  // cut to 255
        table_set(report_table, 2, column, std::string(100, 'h').c_str());
    }
    char buffer[REPORT_BUFFER_SIZE];
    write_table(report_table, "PLAYER", buffer, sizeof(buffer));
    const std::string record = buffer;
    EXPECT_LT(record.size(), static_cast<size_t>(REPORT_BUFFER_SIZE));
    expect_well_formed(record);
    // Each entity takes 2-3 + 256 + 101 bytes: 13 fit, and every line holds those 13.
    EXPECT_NE(record.find("NUM\t1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\t12\t13\t\n"), std::string::npos) << record;
    size_t lines = 0, tabs = 0;
    for (char c : record) {
        lines += c == '\n';
        tabs += c == '\t';
    }
    EXPECT_EQ(tabs, 1u + 3 * 14);  // head line, then key and 13 entities on each of 3 lines
    EXPECT_EQ(lines, 5u);
}

TEST(RecordTable, CellsOutsideTheTableAreIgnored) {
    table_reset(report_table, 3, 2, kKeys);
    table_set(report_table, 3, 1, "x");
    table_set(report_table, 0, 2, "x");
    table_set(report_table, -1, 0, "x");
    table_set(report_table, 0, -1, "x");
    char buffer[REPORT_BUFFER_SIZE];
    write_table(report_table, "FLAG", buffer, sizeof(buffer));
    EXPECT_STREQ(buffer, "TYPE\tFLAG\nNUM\t\nNAME\t\nHEALTH\t\n\n");
}
