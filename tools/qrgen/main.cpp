// qrgen: the headless generator. Exit 0 on success, 1 when the content is
// refused, empty or does not fit, or a file cannot be read or written, 2 on bad usage.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "AsciiCase.h"
#include "Batch.h"
#include "Companion.h"
#include "Encode.h"
#include "Files.h"
#include "Options.h"
#include "StructuredAppend.h"
#include "Terminal.h"
#include "TextHelpers.h"
#include "qrgen_kinds.h"

namespace {

int Usage(const std::string& why)
{
    std::cerr << "qrgen: " << why << "\n" << UsageText();
    return 2;
}

int Refuse(const std::string& why)
{
    std::cerr << why << "\n";
    return 1;
}

std::optional<std::string> ParseHex(const std::string& hex)
{
    std::string out;
    int high = -1;
    for (char c : hex) {
        if (c == ' ' || c == ':' || c == '\n' || c == '\t') continue;
        const auto v = textutil::HexValue(c);
        if (!v) return std::nullopt;
        if (high < 0) high = *v;
        else {
            out.push_back(static_cast<char>(high * 16 + *v));
            high = -1;
        }
    }
    if (high >= 0) return std::nullopt;
    return out;
}

// Without -t: the type the output name says (in any case), or half blocks for a terminal.
void ResolveFormat(Request& r)
{
    if (r.formatGiven) return;
    const bool toStdout = r.output.empty() || r.output == "-";
    if (toStdout && ::isatty(STDOUT_FILENO)) r.picture.format = Format::Utf8;
    if (toStdout || r.output.size() <= 4) return;
    const std::string ext = AsciiLower(r.output.substr(r.output.size() - 4));
    if (ext == ".svg" || ext == ".eps" || ext == ".bmp" || ext == ".pdf" || ext == ".xpm")
        r.picture.format = *ParseFormat(ext.substr(1));
}

// What a run encodes, or the exit status that ends it first (refused, printed).
using Payload = Result<std::string, int>;

Payload KindPayload(const Request& r)
{
    const KindResult built = BuildKindPayload(r.command, r.fields);
    if (built.status == KindStatus::Usage) return Fail(Usage(built.message));
    if (built.status == KindStatus::Refused) return Fail(Refuse(built.message));
    std::string payload = built.payload;
    if (FindKind(r.command)->lookup) {
        const LookupOutcome found = RunAccountLookup(r.fields.at("account"));
        if (found.kind == LookupOutcome::NotRun) return Fail(Refuse("qrgen: " + EscapeControls(found.text)));
        if (found.kind == LookupOutcome::Message) return Fail(Refuse(EscapeControls(found.text)));
        payload = found.text;
    }
    if (!r.printPayload) return payload;
    // A payload from the network is shown escaped wherever it goes: a pipe
    // often ends at a terminal too.
    const std::string shown = FindKind(r.command)->lookup ? EscapeControls(payload) : payload;
    return Fail(WriteStdout(shown + "\n") ? 0 : Refuse("qrgen: cannot write standard output"));
}

// The bytes to encode: the text, the hex bytes, a file or standard input, or a kind's payload.
Payload ReadPayload(const Request& r)
{
    if (!r.command.empty() && r.command != "encode") return KindPayload(r);
    std::string payload;
    if (r.hex) {
        const auto bytes = ParseHex(*r.hex);
        if (!bytes) return Fail(Usage("--hex takes pairs of hexadecimal digits"));
        payload = *bytes;
    } else if (r.text) {
        payload = *r.text;
    } else {
        InputRead read = ReadBounded(r.file.value_or("-"));
        if (read.status == InputRead::Unreadable) return Fail(Refuse("qrgen: " + read.error));
        if (read.status == InputRead::TooLong) return Fail(Refuse("qrgen: " + DoesNotFit(r.encode)));
        payload = std::move(read.bytes);
    }
    // An empty symbol is never what was meant, as in qrencode.
    if (payload.empty()) return Fail(Refuse("qrgen: no input data"));
    return payload;
}

// -S: the set, NAME-01.png ... for -o NAME.png (the extension comes back after the number), as qrencode names them.
int WriteSet(const Request& r, const std::string& payload)
{
    if (r.output.empty() || r.output == "-") return Usage("-S writes files: name them with -o NAME.png");
    clsQRCode encoder;
    encoder.SetKanjiMode(r.encode.kanji);
    AppendOptions options;
    if (r.encode.version > 0) options.version = r.encode.version;
    options.level = static_cast<EcLevel>(r.encode.level - 1);
    encoder.SetAutoMask(true);
    const std::span bytes(reinterpret_cast<const uint8_t*>(payload.data()), payload.size());
    const auto set = EncodeStructuredAppend(encoder, bytes, options);
    if (!set) return Refuse(std::string("qrgen: ") + DescribeAppendError(set.error()));
    const size_t dot = r.output.rfind('.'), slash = r.output.rfind('/');
    const std::string stem =
        dot != std::string::npos && (slash == std::string::npos || dot > slash) ? r.output.substr(0, dot) : r.output;
    for (size_t i = 0; i < set->size(); ++i) {
        const std::string number = std::to_string(i + 1);
        const std::string name = stem + (i < 9 ? "-0" : "-") + number + Extension(r.picture.format);
        const auto written =
            WriteFile(name, WriteOptions{}, [&](const Sink& sink) { return Render((*set)[i], r.picture, sink); });
        if (!written) return Refuse("qrgen: " + written.error());
        if (r.verbose) std::cerr << "File: " << name << ", Version: " << (*set)[i].version << "\n";
    }
    return 0;
}

int EncodeAndWrite(const Request& r, const std::string& payload)
{
    if (r.encode.structured) return WriteSet(r, payload);
    clsQRCode encoder;
    const auto symbol = EncodePayload(encoder, payload, r.encode);
    if (!symbol) return Refuse("qrgen: " + DoesNotFit(r.encode));
    if (r.verbose) // as qrencode says it
        std::cerr << "File: " << (r.output.empty() || r.output == "-" ? "(stdout)" : r.output)
                  << ", Version: " << symbol->version << "\n";
    const Producer picture = [&](const Sink& sink) { return Render(*symbol, r.picture, sink); };
    if (r.output.empty() || r.output == "-")
        return picture([](std::string_view bytes) { return WriteStdout(bytes); })
                   ? 0
                   : Refuse("qrgen: cannot write standard output");
    // A device or FIFO is written into as it is; only a file can be replaced whole.
    // The links to it are held to the same rule as any other.
    if (IsSpecialNode(r.output)) {
        if (const auto links = CheckLinks(r.output); !links) return Refuse("qrgen: " + links.error());
        const auto written = WriteIntoNode(r.output, picture);
        return written ? 0 : Refuse("qrgen: " + written.error());
    }
    // The file is renamed into place whole; an interruption meanwhile waits until it is.
    sigset_t stop, previous;
    sigemptyset(&stop);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&stop, s);
    sigprocmask(SIG_BLOCK, &stop, &previous);
    const auto written = WriteFile(r.output, WriteOptions{}, picture);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    return written ? 0 : Refuse("qrgen: " + written.error());
}

} // namespace

int main(int argc, char** argv)
{
    Request request;
    const ParseOutcome parsed = ParseCommandLine(argc, argv, request);
    if (!parsed.run) return parsed.status;
    ::signal(SIGXFSZ, SIG_IGN); // a file size limit is a write error, not a crash mid-file
    if (request.command == "batch") return RunBatch(request);
    ResolveFormat(request);
    const Payload payload = ReadPayload(request);
    return payload ? EncodeAndWrite(request, *payload) : payload.error();
}
