#include "BatchInput.h"

#include <csv.h>

#include <algorithm>

namespace {

struct Row {
    std::vector<std::string> cells;
    long line = 0;
    std::string error;
};

struct CsvState {
    std::vector<std::string> cells;
    std::vector<Row> rows;
    long recordLine = 1; // where the record being read starts
};

void OnField(void* s, size_t length, void* data)
{
    static_cast<CsvState*>(data)->cells.emplace_back(static_cast<const char*>(s), length);
}

void OnRecord(int, void* data)
{
    auto* state = static_cast<CsvState*>(data);
    state->rows.push_back({std::move(state->cells), state->recordLine, {}});
    state->cells.clear();
}

int NoSpaces(unsigned char)
{
    return 0; // RFC 4180: spaces belong to the field
}

// A parser that reads RFC 4180 strictly; spaces are kept.
void StartParser(csv_parser& parser)
{
    csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI);
    csv_set_space_func(&parser, NoSpaces);
}

std::vector<Row> CsvRows(const std::string& text)
{
    CsvState state;
    csv_parser parser;
    StartParser(parser);
    size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    long line = 1;
    size_t recordAt = at; // where the record being read starts
    // A broken record is reported at the line it starts on, and reading starts
    // again on the next line: a quote left open swallows no other record.
    const auto broken = [&](const char* why) {
        state.rows.push_back({{}, state.recordLine, std::string("bad CSV row: ") + why});
        state.cells.clear();
        csv_free(&parser);
        StartParser(parser);
        at = std::min(text.find('\n', recordAt), text.size() - 1) + 1;
        line = state.recordLine + 1;
    };
    for (;;) {
        while (at < text.size()) {
            if (parser.pstate == 0) { // no record begun: one may start on this line
                state.recordLine = line;
                recordAt = at;
            }
            const size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
            if (csv_parse(&parser, text.data() + at, end - at, OnField, OnRecord, &state) != end - at) {
                // Strict parsing stops only at a quote: inside a field that began
                // on this line it is stray; after lines in quotes, one was left open.
                broken(line > state.recordLine ? "unclosed quote" : "malformed CSV (a stray quote)");
                continue;
            }
            at = end;
            ++line;
        }
        if (csv_fini(&parser, OnField, OnRecord, &state) == 0) break;
        broken("unclosed quote");
    }
    csv_free(&parser);
    return std::move(state.rows);
}

std::string HeaderName(const std::string& cell)
{
    const size_t first = cell.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    std::string name = cell.substr(first, cell.find_last_not_of(" \t") - first + 1);
    for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return name;
}

} // namespace

BatchInput SplitLines(const std::string& text)
{
    BatchInput input;
    long line = 1;
    for (size_t at = 0; at < text.size(); ++line) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string payload = text.substr(at, end - at);
        if (!payload.empty() && payload.back() == '\r') payload.pop_back();
        input.records.push_back({line, {{"text", std::move(payload)}}, {}, {}});
        at = end + 1;
    }
    return input;
}

BatchInput ParseCsv(const std::string& text, const std::vector<std::string>& fields, const std::string& nameColumn)
{
    BatchInput input;
    std::vector<Row> rows = CsvRows(text);
    if (rows.empty() || !rows[0].error.empty()) {
        input.fatal = "the CSV input has no readable header row";
        return input;
    }
    // Header names are matched without surrounding spaces and in any case
    // ("Name, Tel" as a spreadsheet writes it); the values are kept as they are.
    std::vector<std::string> header;
    for (const std::string& column : rows[0].cells) header.push_back(HeaderName(column));
    const std::string nameKey = HeaderName(nameColumn);
    for (size_t c = 0; c < header.size(); ++c)
        if (header[c] != nameKey && std::find(fields.begin(), fields.end(), header[c]) == fields.end()) {
            input.fatal = "unknown CSV column '" + rows[0].cells[c] + "' (this kind has: ";
            for (const std::string& f : fields) input.fatal += f + (&f == &fields.back() ? ")" : ",");
            return input;
        }
    if (!nameColumn.empty() && std::find(header.begin(), header.end(), nameKey) == header.end()) {
        input.fatal = "the CSV header has no column '" + nameColumn + "'";
        return input;
    }
    for (size_t r = 1; r < rows.size(); ++r) {
        BatchRecord record{rows[r].line, {}, {}, rows[r].error};
        if (record.error.empty() && rows[r].cells.size() != header.size())
            record.error = "bad CSV row: " + std::to_string(rows[r].cells.size()) + " fields, the header has " +
                           std::to_string(header.size());
        for (size_t c = 0; record.error.empty() && c < header.size(); ++c) {
            if (header[c] == nameKey) record.name = rows[r].cells[c];
            if (std::find(fields.begin(), fields.end(), header[c]) != fields.end() && !rows[r].cells[c].empty())
                record.fields[header[c]] = rows[r].cells[c];
        }
        input.records.push_back(std::move(record));
    }
    return input;
}
