#pragma once
// The command line: qrencode's option habits plus one subcommand per content kind.
#include <map>
#include <optional>
#include <string>

#include "Output.h"

struct EncodeSettings {
    int level = 3;   // 1..4 = L, M, Q, H
    int version = 0; // 0: the smallest that fits
    int mask = -1;   // -1: automatic selection
    bool kanji = false;
    bool eci = false;           // ECI header: 26 (UTF-8), or 20 (Shift JIS) with kanji
    bool eightBit = false;      // -8: all bytes in byte mode; kanji and ignoreCase do not apply
    bool ignoreCase = false;    // -i: ASCII letters upper-cased, so they can go in alphanumeric mode
    bool strictVersion = false; // -v is the version, not the smallest
    bool micro = false;         // -M: a Micro QR symbol, M1 to M4 (-v 1..4)
    bool structured = false;    // -S: a structured-append set of up to 16 symbols
    bool rmqr = false;          // --rmqr: a rectangular Micro QR symbol
    std::string rmqrSize;       // --rmqr-size R11x43; empty: the smallest that holds the data
    int rmqrHeight = 0;         // --rmqr-height: at most this many rows (0: any)
    bool levelGiven = false;    // -l was given (rMQR has M and H only: M unless -l says H)
};

struct BatchSettings {
    std::string kind = "text";
    std::string input = "-";
    std::string folder;
    std::string nameColumn;
    bool csv = false;   // the text kind reads CSV instead of lines
    bool force = false; // replace existing files
    bool sync = false;  // fsync every file
    int jobs = 0;       // 0: every core
};

struct Request {
    std::string command; // "" (text from the arguments or standard input), "encode", "batch" or a kind
    EncodeSettings encode;
    PictureOptions picture;
    bool formatGiven = false;
    std::string output; // "" or "-": standard output
    std::optional<std::string> text, hex, file;
    std::map<std::string, std::string> fields;
    bool printPayload = false;
    bool verbose = false; // --verbose: the file and the version on standard error
    BatchSettings batch;
};

struct ParseOutcome {
    bool run = false; // false: exit with status
    int status = 0;
};

ParseOutcome ParseCommandLine(int argc, char** argv, Request& request);

// The short usage text shown after a usage error.
const char* UsageText();
