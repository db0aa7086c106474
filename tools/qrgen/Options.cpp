#include "Options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <set>

#include "AsciiCase.h"
#include "OptionScan.h"
#include "RmqrTables.h"
#include "qrgen_kinds.h"

namespace {

const char* const kUsage =
    "usage: qrgen [options] [TEXT]     (standard input when no TEXT is given)\n"
    "       qrgen encode [options] [TEXT | --text TEXT | --hex HEXBYTES | --file PATH]\n"
    "       qrgen KIND --FIELD VALUE ... [--payload] [options]\n"
    "             text --text | card --name --tel [--qq --email --org --title --url --addr]\n"
    "             url --url | sms, mms --phone --body | wifi --ssid --password [--security WPA|WEP|none]\n"
    "             phone --number | email --address | app --package | wechat --account\n"
    "       qrgen batch [--kind KIND] [--csv] [--name-column COLUMN] [--force] [--sync] [-j N] -O FOLDER\n"
    "             [options] [INPUT]\n"
    "options: -o FILE, -r FILE, -t PNG|PNG32|SVG|EPS|PDF|BMP|XPM|UTF8[i]|ANSI|ANSI256|ANSIUTF8[i]|ANSI256UTF8|\n"
    "         ASCII[i]|TXT|CODEWORDS, -s PIXELS, -m MODULES, -l L|M|Q|H, -v 0..40, --strict-version,\n"
    "         --mask 0..7|auto, -d DPI, --foreground/--background RRGGBB[AA], -8, -k, -c, -i, --eci,\n"
    "         --inline, --verbose, -M (Micro QR), -S (structured append); -V prints the version;\n"
    "         -h after any subcommand explains it\n";

// --rmqr-size and --rmqr-height need --rmqr: it is built whenever either is.
void AddRmqrOptions(const OptionAdder& add, Request& r)
{
    CLI::Option* rmqr = add("--rmqr,--rmqr-size,--rmqr-height", [&r](CLI::App* app, const std::string&) {
        return app->add_flag("--rmqr", r.encode.rmqr, "a rectangular Micro QR symbol (levels M, H; quiet zone 2)");
    });
    add("--rmqr-size", [&r, rmqr](CLI::App* app, const std::string& names) {
        return app->add_option(names, r.encode.rmqrSize, "the rMQR size, R7x43 ... R17x139 (default: the smallest)")
            ->check([](const std::string& v) { return RmqrSizeByName(v) ? std::string() : "takes R7x43 ... R17x139"; })
            ->needs(rmqr);
    });
    add("--rmqr-height", [&r, rmqr](CLI::App* app, const std::string& names) {
        return app->add_option(names, r.encode.rmqrHeight, "at most this many rows, 7 ... 17")
            ->check(CLI::Range(7, 17))
            ->needs(rmqr);
    });
}

void AddColourOptions(const OptionAdder& add, Request& r)
{
    const auto check = [](const std::string& v) { return ParseColour(v) ? std::string() : "takes RRGGBB or RRGGBBAA"; };
    add("--foreground", [&r, check](CLI::App* app, const std::string& names) {
        return app
            ->add_option_function<std::string>(
                names, [&r](const std::string& v) { r.picture.foreground = *ParseColour(v); },
                "dark module colour RRGGBB[AA]")
            ->check(check);
    });
    add("--background", [&r, check](CLI::App* app, const std::string& names) {
        return app
            ->add_option_function<std::string>(
                names, [&r](const std::string& v) { r.picture.background = *ParseColour(v); },
                "light module colour RRGGBB[AA]")
            ->check(check);
    });
}

void AddEncodeOptions(const OptionAdder& add, Request& r)
{
    add("-l,--level", [&r](CLI::App* app, const std::string& names) {
        return app
            ->add_option_function<std::string>(
                names,
                [&r](const std::string& v) {
                    r.encode.level = static_cast<int>(std::strchr("lmqh", AsciiLower(v)[0]) - "lmqh") + 1;
                    r.encode.levelGiven = true;
                },
                "error correction level L, M, Q (default) or H")
            ->check([](const std::string& v) {
                return v.size() == 1 && std::strchr("lmqh", AsciiLower(v)[0]) ? std::string() : "takes L, M, Q or H";
            });
    });
    add("-v,--symversion", [&r](CLI::App* app, const std::string& names) {
        return app
            ->add_option(names, r.encode.version,
                         "smallest symbol version 1..40 (0, the default: the smallest that fits)")
            ->check(CLI::Range(0, 40));
    });
    add("--mask", [&r](CLI::App* app, const std::string& names) {
        return app
            ->add_option_function<std::string>(
                names, [&r](const std::string& v) { r.encode.mask = v == "auto" ? -1 : std::stoi(v); },
                "mask pattern 0..7, or auto (the default: the lowest penalty)")
            ->check([](const std::string& v) {
                return v == "auto" || (v.size() == 1 && v[0] >= '0' && v[0] <= '7') ? std::string()
                                                                                    : "takes 0..7 or auto";
            });
    });
    add("-k,--kanji", [&r](CLI::App* app, const std::string& names) {
        return app->add_flag(names, r.encode.kanji, "read Shift JIS pairs in Kanji mode");
    });
    add("-8,--8bit", [&r](CLI::App* app, const std::string& names) {
        return app->add_flag(names, r.encode.eightBit, "every byte in byte mode (-k, -c and -i do not apply)");
    });
    // As in qrencode, the last of -c and -i counts.
    add("-c,--casesensitive", [&r](CLI::App* app, const std::string& names) {
        return app->add_flag_callback(
            names, [&r] { r.encode.ignoreCase = false; }, "lower-case letters as they are (the default)");
    });
    add("-i,--ignorecase", [&r](CLI::App* app, const std::string& names) {
        return app->add_flag_callback(
            names, [&r] { r.encode.ignoreCase = true; }, "upper-case ASCII letters before encoding");
    });
    add("--strict-version", [&r](CLI::App* app, const std::string& names) {
        return app->add_flag(names, r.encode.strictVersion, "-v is the version: data that does not fit it is refused");
    });
    add("-M,--micro", [&r](CLI::App* app, const std::string& names) {
        return app->add_flag(names, r.encode.micro, "a Micro QR symbol (-v 1..4 for M1..M4; quiet zone 2)");
    });
    AddRmqrOptions(add, r);
    add("--eci", [&r](CLI::App* app, const std::string& names) {
        return app->add_flag(names, r.encode.eci,
                             "begin with an ECI header: 26 (UTF-8), or 20 (Shift JIS) with --kanji");
    });
}

void AddPictureOptions(const OptionAdder& add, Request& r, bool withOutput)
{
    if (withOutput)
        add("-o,--output", [&r](CLI::App* app, const std::string& names) {
            return app->add_option(names, r.output, "output file (default or -: standard output)");
        });
    add("-t,--type,--format", [&r](CLI::App* app, const std::string& names) {
        return app
            ->add_option_function<std::string>(
                names,
                [&r](const std::string& v) {
                    r.picture.format = *ParseFormat(v);
                    r.formatGiven = true;
                },
                "PNG (default), PNG32, SVG, EPS, PDF, BMP, XPM, UTF8, UTF8i, ANSI, ANSI256, ANSIUTF8, ANSIUTF8i, "
                "ANSI256UTF8, ASCII, ASCIIi, TXT or CODEWORDS")
            ->check([](const std::string& v) { return ParseFormat(v) ? std::string() : "unknown type " + v; });
    });
    add("-s,--size,--scale", [&r](CLI::App* app, const std::string& names) {
        return app->add_option(names, r.picture.size, "pixels (points) per module, default 3")
            ->check(CLI::Range(1, 100));
    });
    add("-m,--margin", [&r](CLI::App* app, const std::string& names) {
        return app->add_option(names, r.picture.margin, "quiet zone in modules, default 4 (2 for Micro QR)")
            ->check(CLI::Range(0, 100));
    });
    add("-d,--dpi", [&r](CLI::App* app, const std::string& names) {
        return app->add_option(names, r.picture.dpi, "resolution written into PNG and BMP, default 72")
            ->check(CLI::Range(1, 1000000));
    });
    AddColourOptions(add, r);
    add("--inline", [&r](CLI::App* app, const std::string& names) {
        return app->add_flag(names, r.picture.svgInline, "SVG without the XML declaration");
    });
    add("--rle,--svg-path", [](CLI::App* app, const std::string& names) {
        return app->add_flag(names)->description("accepted as in qrencode: qrgen's SVG is always one path of runs");
    });
    add("--verbose", [&r](CLI::App* app, const std::string& names) {
        return app->add_flag(names, r.verbose, "print the file and the symbol version on standard error");
    });
}

void AddEncodeCommand(CLI::App& app, Request& r, const OptionScan& scan, const CLI::Validator& notOption)
{
    const OptionAdder add(app.add_subcommand("encode", "encode bytes as they are"), scan);
    AddEncodeOptions(add, r);
    AddPictureOptions(add, r, true);
    auto* text = add("--text", [&r](CLI::App* sub, const std::string& names) {
        return sub->add_option(names, r.text, "the text to encode");
    });
    auto* hex = add("--hex", [&r](CLI::App* sub, const std::string& names) {
        return sub->add_option(names, r.hex, "the bytes to encode, in hexadecimal");
    });
    auto* file = add("--file,-r,--read-from", [&r](CLI::App* sub, const std::string& names) {
        return sub->add_option(names, r.file, "a file to encode (- for standard input)");
    });
    auto* positional = add.app()->add_option("TEXT", r.text, "the text to encode")->check(notOption);
    // An option not built was not given: it excludes nothing.
    const auto exclude = [](CLI::Option* one, CLI::Option* other) {
        if (one && other) one->excludes(other);
    };
    exclude(text, hex), exclude(text, file), exclude(text, positional);
    exclude(hex, file), exclude(hex, positional);
    exclude(file, positional);
}

// What -h says of a kind's field: whether it must be given, the values it takes.
std::string FieldHelp(const KindInfo& kind, const std::string& field)
{
    if (field == "security") return "WPA (the default), WEP or none";
    if (kind.name == "wifi" && field == "password") return "password (required unless --security none)";
    const bool required = std::find(kind.required.begin(), kind.required.end(), field) != kind.required.end();
    return field + (required ? " (required)" : "");
}

void AddKindCommand(CLI::App& app, Request& r, const OptionScan& scan, const KindInfo& kind)
{
    const OptionAdder add(app.add_subcommand(kind.name, "the " + kind.name + " content kind"), scan);
    for (const std::string& field : kind.fields) {
        add("--" + field, [&](CLI::App* sub, const std::string& names) {
            CLI::Option* option = sub->add_option_function<std::string>(
                names, [&r, field](const std::string& v) { r.fields[field] = v; }, FieldHelp(kind, field));
            return field == "security" ? option->type_name("WPA|WEP|none") : option;
        });
    }
    add("--payload", [&r](CLI::App* sub, const std::string& names) {
        return sub->add_flag(names, r.printPayload, "print the payload text instead of a symbol");
    });
    AddEncodeOptions(add, r);
    AddPictureOptions(add, r, true);
}

void AddBatchOptions(const OptionAdder& add, BatchSettings& b)
{
    add("--kind", [&b](CLI::App* batch, const std::string& names) {
        return batch->add_option(names, b.kind, "content kind of the records (default text)")
            ->check([](const std::string& v) {
                const KindInfo* k = FindKind(v);
                return k && !k->lookup ? std::string() : "takes text, card, url, sms, mms, wifi, phone, email or app";
            });
    });
    add("--csv", [&b](CLI::App* batch, const std::string& names) {
        return batch->add_flag(names, b.csv, "the text kind reads CSV (column text) instead of lines");
    });
    // Always built: its absence is an error.
    add.app()->add_option("-O,--out-dir", b.folder, "folder for the files")->required();
    add("--name-column", [&b](CLI::App* batch, const std::string& names) {
        return batch->add_option(names, b.nameColumn, "CSV column naming each file (default: a counter)");
    });
    add("--force", [&b](CLI::App* batch, const std::string& names) {
        return batch->add_flag(names, b.force, "replace files that exist");
    });
    add("--sync", [&b](CLI::App* batch, const std::string& names) {
        return batch->add_flag(names, b.sync, "flush every file to disk before naming it");
    });
    add("-j,--jobs", [&b](CLI::App* batch, const std::string& names) {
        return batch->add_option(names, b.jobs, "threads (default: every core)")->check(CLI::Range(1, 1024));
    });
}

void AddBatchCommand(CLI::App& app, Request& r, const OptionScan& scan, const CLI::Validator& notOption)
{
    const OptionAdder add(app.add_subcommand("batch", "one symbol a line or CSV record, one file each"), scan);
    AddBatchOptions(add, r.batch);
    add.app()->add_option("INPUT", r.batch.input, "lines or CSV (default: standard input)")->check(notOption);
    AddEncodeOptions(add, r);
    AddPictureOptions(add, r, false);
}

// The subcommand the arguments name, if any: the first word that is neither an
// option nor an option's value. Building every subcommand's options costs more
// than encoding a small symbol, so only that one is built (all for --help).
std::string NamedCommand(int argc, char** argv)
{
    static const std::set<std::string> takesValue = {
        "-o", "--output",     "-t",     "--type", "--format",     "-s",           "--size", "--scale",
        "-m", "--margin",     "-d",     "--dpi",  "--foreground", "--background", "-l",     "--level",
        "-v", "--symversion", "--mask", "-r",     "--read-from",  "--file"};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") return "*";
        if (arg == "--") return {};
        if (arg.size() > 1 && arg[0] == '-') {
            if (takesValue.count(arg)) ++i;
            continue;
        }
        return arg;
    }
    return {};
}

void AddCommands(CLI::App& app, Request& r, const OptionScan& scan, const std::string& named,
                 const CLI::Validator& notOption)
{
    const bool all = named == "*";
    if (all || named == "encode") AddEncodeCommand(app, r, scan, notOption);
    for (const KindInfo& kind : KindList())
        if (all || named == kind.name) AddKindCommand(app, r, scan, kind);
    if (all || named == "batch") AddBatchCommand(app, r, scan, notOption);
}

// The value of a whole-number option that is not one ("-s 1.5"), as
// "-s: 1.5 is not a whole number"; CLI11 would call it out of range.
std::string NotWholeNumber(int argc, char** argv)
{
    static const std::set<std::string> whole = {"-s",    "--size", "--scale",      "-m", "--margin", "-d",
                                                "--dpi", "-v",     "--symversion", "-j", "--jobs"};
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i], value;
        if (arg == "--") break;
        const size_t equals = arg.find('=');
        if (whole.count(arg) && i + 1 < argc) value = argv[++i];
        else if (arg.rfind("--", 0) == 0 && equals != std::string::npos && whole.count(arg.substr(0, equals)))
            value = arg.substr(equals + 1), arg.resize(equals);
        else if (arg.size() > 2 && arg[0] == '-' && arg[1] != '-' && whole.count(arg.substr(0, 2)))
            value = arg.substr(2), arg.resize(2);
        else continue;
        const size_t digits = value.find_first_not_of("0123456789", value[0] == '-' || value[0] == '+');
        if (value.empty() || digits != std::string::npos) return arg + ": " + value + " is not a whole number";
    }
    return {};
}

} // namespace

const char* UsageText() { return kUsage; }

ParseOutcome ParseCommandLine(int argc, char** argv, Request& r)
{
    CLI::App app{"qrgen: QR code symbols from the command line", "qrgen"};
    app.set_version_flag("-V,--version", std::string("qrgen ") + QRGEN_VERSION);
    app.require_subcommand(0, 1);
    const OptionScan scan(argc, argv);
    const OptionAdder add(&app, scan);
    AddEncodeOptions(add, r);
    AddPictureOptions(add, r, true);
    // CLI11 takes a word that looks like a negative number ("-8", qrencode's
    // -8 flag) as text; text that starts with '-' counts only after "--".
    std::set<std::string> afterDashes;
    for (int i = 1, seen = 0; i < argc; ++i) {
        if (seen) afterDashes.insert(argv[i]);
        seen = seen || std::strcmp(argv[i], "--") == 0;
    }
    std::string strayOption;
    const CLI::Validator notOption(
        [&](std::string& v) {
            if (v.size() > 1 && v[0] == '-' && !afterDashes.count(v) && strayOption.empty()) strayOption = v;
            return std::string();
        },
        "", "not an option");
    auto* text = app.add_option("TEXT", r.text, "the text to encode (default: standard input)")->check(notOption);
    add("-r,--read-from", [&r, text](CLI::App* top, const std::string& names) {
        return top->add_option(names, r.file, "read the text from a file")->excludes(text);
    });
    add("-S,--structured", [&r](CLI::App* top, const std::string& names) {
        return top->add_flag(names, r.encode.structured, "a structured-append set: -o NAME.png writes NAME-01.png ...");
    });
    AddCommands(app, r, scan, NamedCommand(argc, argv), notOption);
    if (const std::string why = NotWholeNumber(argc, argv); !why.empty()) {
        std::cerr << "qrgen: " << why << "\n" << kUsage;
        return {false, 2};
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return {false, app.exit(e)};
    } catch (const CLI::ParseError& e) {
        std::cerr << "qrgen: " << e.what() << "\n" << kUsage;
        return {false, 2};
    }
    if (!strayOption.empty()) {
        std::cerr << "qrgen: unknown option " << strayOption
                  << " (text that starts with '-' goes after --, as in qrgen -- " << strayOption << ")\n"
                  << kUsage;
        return {false, 2};
    }
    for (const CLI::App* sub : app.get_subcommands()) r.command = sub->get_name();
    return {true, 0};
}
