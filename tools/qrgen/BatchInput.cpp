#include "BatchInput.h"

#include <algorithm>
#include <tuple>

#include "AsciiCase.h"

namespace {

class TextRecords : public RecordReader {
public:
    TextRecords(int fd, int stopFd) : lines_(fd, stopFd) {}
    bool Next(BatchRecord& record) override
    {
        std::string payload;
        status_ = lines_.Next(payload);
        if (status_ != LineReader::Line && status_ != LineReader::TooLong) return false;
        if (!payload.empty() && payload.back() == '\r') payload.pop_back();
        record = {lines_.line(), ++count_, {}, {}, {}};
        if (status_ == LineReader::TooLong) record.error = RecordTooLong();
        else record.fields["text"] = std::move(payload);
        return true;
    }
    int error() const override { return lines_.error(); }
    bool Ready() const override { return lines_.Ready(); }

private:
    LineReader lines_;
};

int NoSpaces(unsigned char)
{
    return 0; // RFC 4180: spaces belong to the field
}

// Rows from the libcsv push parser, a line at a time. A broken row is reported
// at the line it starts on and reading starts again on the next line, so a
// quote left open swallows no other record: the lines of a row are kept (at
// most kMaxRecordBytes) to be read again.
class CsvRows {
public:
    struct Row {
        std::vector<std::string> cells;
        long line = 0;
        std::string error;
    };
    CsvRows(int fd, int stopFd) : lines_(fd, stopFd) { Start(); }
    ~CsvRows() { csv_free(&parser_); }
    CsvRows(const CsvRows&) = delete;
    CsvRows& operator=(const CsvRows&) = delete;

    // The next row; false at the end (or stopped, or failed: status()).
    bool Next(Row& row);
    LineReader::Status status() const { return status_; }
    int error() const { return lines_.error(); }
    bool Ready() const { return lines_.Ready(); }

private:
    void Start()
    {
        csv_init(&parser_, CSV_STRICT | CSV_STRICT_FINI);
        csv_set_space_func(&parser_, NoSpaces);
    }
    void Broken(std::string why);
    bool NextLine(std::string& line, long& number);
    void Feed(const std::string& line, long number);
    static void OnField(void* s, size_t length, void* data)
    {
        static_cast<CsvRows*>(data)->cells_.emplace_back(static_cast<const char*>(s), length);
    }
    static void OnRecord(int, void* data)
    {
        auto* self = static_cast<CsvRows*>(data);
        self->ready_.push_back({std::move(self->cells_), self->rowLine_, {}});
        self->cells_.clear();
    }

    LineReader lines_;
    LineReader::Status status_ = LineReader::Line;
    csv_parser parser_{};
    std::vector<std::string> cells_;
    std::deque<Row> ready_;
    std::deque<std::pair<std::string, long>> replay_; // lines to read again after a broken row
    std::vector<std::pair<std::string, long>> rowLines_;
    size_t rowBytes_ = 0;
    long rowLine_ = 0;
    long replayedUpTo_ = 0; // the last line read a second time
    bool first_ = true, finished_ = false;
};

// Refuses the row being read and starts again on the line after the one it
// began on. Lines are read again only once: a row that begins among them and
// breaks too goes on after its own lines, so no input costs more than twice.
void CsvRows::Broken(std::string why)
{
    ready_.push_back({{}, rowLine_, std::move(why)});
    cells_.clear();
    csv_free(&parser_);
    Start();
    if (rowLine_ > replayedUpTo_ && rowLines_.size() > 1) {
        replayedUpTo_ = rowLines_.back().second;
        for (auto it = rowLines_.rbegin(); it + 1 != rowLines_.rend(); ++it) replay_.push_front(std::move(*it));
    }
    rowLines_.clear();
    rowBytes_ = 0;
}

// The next line, newline included; an empty one when a line past the bound
// was dropped (its row is refused).
bool CsvRows::NextLine(std::string& line, long& number)
{
    if (!replay_.empty()) {
        std::tie(line, number) = std::move(replay_.front());
        replay_.pop_front();
        return true;
    }
    status_ = lines_.Next(line);
    number = lines_.line();
    if (status_ == LineReader::TooLong) {
        if (parser_.pstate == 0) {
            rowLine_ = number;
            rowLines_.clear();
        }
        Broken(RecordTooLong());
        line.clear();
        return true;
    }
    if (status_ != LineReader::Line) return false;
    if (first_ && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    first_ = false;
    line += '\n';
    return true;
}

void CsvRows::Feed(const std::string& line, long number)
{
    if (parser_.pstate == 0) { // no row begun: one may start on this line
        rowLine_ = number;
        rowLines_.clear();
        rowBytes_ = 0;
    }
    rowBytes_ += line.size();
    rowLines_.emplace_back(line, number);
    if (rowBytes_ > kMaxRecordBytes) return Broken(RecordTooLong());
    // Strict parsing stops only at a quote: inside a field that began on this
    // line it is stray; after lines in quotes, one was left open.
    if (csv_parse(&parser_, line.data(), line.size(), OnField, OnRecord, this) != line.size())
        Broken(std::string("bad CSV row: ") + (number > rowLine_ ? "unclosed quote" : "malformed CSV (a stray quote)"));
}

bool CsvRows::Next(Row& row)
{
    std::string line;
    long number = 0;
    while (ready_.empty() && !finished_) {
        if (NextLine(line, number)) {
            if (!line.empty()) Feed(line, number);
            continue;
        }
        if (status_ != LineReader::End) return false;
        if (csv_fini(&parser_, OnField, OnRecord, this) == 0) finished_ = replay_.empty();
        else Broken("bad CSV row: unclosed quote");
    }
    if (ready_.empty()) return false;
    row = std::move(ready_.front());
    ready_.pop_front();
    return true;
}

std::string HeaderName(const std::string& cell)
{
    const size_t first = cell.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return AsciiLower(cell.substr(first, cell.find_last_not_of(" \t") - first + 1));
}

class CsvRecords : public RecordReader {
public:
    CsvRecords(int fd, int stopFd) : rows_(fd, stopFd) {}

    // Header names are matched without surrounding spaces and in any case
    // ("Name, Tel" as a spreadsheet writes it); the values are kept as they are.
    Result<void> ReadHeader(const std::vector<std::string>& fields, const std::string& nameColumn)
    {
        CsvRows::Row row;
        if (!rows_.Next(row) || !row.error.empty()) return Fail("the CSV input has no readable header row");
        for (const std::string& column : row.cells) header_.push_back(HeaderName(column));
        nameKey_ = HeaderName(nameColumn);
        for (size_t c = 0; c < header_.size(); ++c) {
            known_.push_back(std::find(fields.begin(), fields.end(), header_[c]) != fields.end());
            if (header_[c] == nameKey_ || known_.back()) continue;
            std::string why = "unknown CSV column '" + row.cells[c] + "' (this kind has: ";
            for (const std::string& f : fields) why += f + (&f == &fields.back() ? ")" : ",");
            return Fail(why);
        }
        if (!nameColumn.empty() && std::find(header_.begin(), header_.end(), nameKey_) == header_.end())
            return Fail("the CSV header has no column '" + nameColumn + "'");
        return {};
    }

    bool Next(BatchRecord& record) override
    {
        CsvRows::Row row;
        const bool got = rows_.Next(row);
        status_ = rows_.status();
        if (!got) return false;
        record = {row.line, ++count_, {}, {}, std::move(row.error)};
        if (record.error.empty() && row.cells.size() != header_.size())
            record.error = "bad CSV row: " + std::to_string(row.cells.size()) + " fields, the header has " +
                           std::to_string(header_.size());
        for (size_t c = 0; record.error.empty() && c < header_.size(); ++c) {
            if (header_[c] == nameKey_) record.name = row.cells[c];
            if (known_[c] && !row.cells[c].empty()) record.fields[header_[c]] = std::move(row.cells[c]);
        }
        return true;
    }
    int error() const override { return rows_.error(); }
    bool Ready() const override { return rows_.Ready(); }

private:
    CsvRows rows_;
    std::vector<std::string> header_;
    std::vector<bool> known_;
    std::string nameKey_;
};

} // namespace

std::string RecordTooLong() { return "record too long (over 64 KiB)"; }

std::unique_ptr<RecordReader> ReadLines(int fd, int stopFd) { return std::make_unique<TextRecords>(fd, stopFd); }

Result<std::unique_ptr<RecordReader>> ReadCsv(int fd, int stopFd, const std::vector<std::string>& fields,
                                              const std::string& nameColumn)
{
    auto reader = std::make_unique<CsvRecords>(fd, stopFd);
    if (auto header = reader->ReadHeader(fields, nameColumn); !header) return Fail(header.error());
    return std::unique_ptr<RecordReader>(std::move(reader));
}
