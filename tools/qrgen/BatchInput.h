#pragma once
// Batch input: one text payload a line, or CSV (RFC 4180) whose header row
// names the kind's fields.
#include <map>
#include <string>
#include <vector>

struct BatchRecord {
    long line = 0; // where the record starts, from 1
    std::map<std::string, std::string> fields;
    std::string name;  // from the name column, when one is chosen
    std::string error; // a row that cannot be read
};

struct BatchInput {
    std::vector<BatchRecord> records;
    std::string fatal; // a header that cannot be used: nothing is made
};

BatchInput SplitLines(const std::string& text);
// fields: the names the kind knows; nameColumn may be another column.
BatchInput ParseCsv(const std::string& text, const std::vector<std::string>& fields, const std::string& nameColumn);
