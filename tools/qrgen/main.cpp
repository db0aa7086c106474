// qrgen: the headless generator. Exit 0 on success, 1 when the content is
// refused or does not fit, 2 on bad usage.
#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "clsQRCode.h"
#include "mdlFakeBarCode.h"
#include "qrgen_kinds.h"

namespace {

const char* const kUsage =
    "usage: qrgen encode [--level L|M|Q|H] [--version 0..40] [--mask 0..7|auto] [--kanji]\n"
    "                    [--format png|bmp|svg|txt|codewords] [--scale N] [-o FILE]\n"
    "                    [--text TEXT | --hex HEXBYTES | --file PATH]\n"
    "       qrgen text --text T\n"
    "       qrgen card --name N --tel T [--qq Q --email E --org O --title T --url U --addr A]\n"
    "       qrgen url --url U\n"
    "       qrgen sms|mms --phone P --body B\n"
    "       qrgen wifi --ssid S [--password P] [--security WPA|WEP|none]\n"
    "       qrgen phone --number N\n"
    "       qrgen email --address A\n"
    "       qrgen app --package P\n"
    "       qrgen wechat --account A\n"
    "  every kind also takes --payload (print the payload text) and the encode options\n";

int Usage(const std::string& why)
{
    std::cerr << "qrgen: " << why << "\n" << kUsage;
    return 2;
}

bool ParseInt(const std::string& s, int lo, int hi, int& out)
{
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    out = std::stoi(s);
    return out >= lo && out <= hi;
}

std::optional<std::string> ParseHex(const std::string& hex)
{
    std::string out;
    int high = -1;
    for (char c : hex) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else if (c == ' ' || c == ':' || c == '\n' || c == '\t') continue;
        else return std::nullopt;
        if (high < 0) high = v;
        else {
            out.push_back(static_cast<char>(high * 16 + v));
            high = -1;
        }
    }
    if (high >= 0) return std::nullopt;
    return out;
}

bool WriteOutput(const std::string& path, const QByteArray& bytes)
{
    if (path.empty() || path == "-") {
        const size_t n = std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
        return std::fflush(stdout) == 0 && n == static_cast<size_t>(bytes.size());
    }
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(bytes) == bytes.size() && file.flush();
}

QByteArray Svg(const QRSymbol& s, int scale)
{
    const int side = (s.size + 8) * scale;
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      std::to_string(side) + "\" height=\"" + std::to_string(side) + "\" viewBox=\"0 0 " +
                      std::to_string(s.size + 8) + " " + std::to_string(s.size + 8) +
                      "\" shape-rendering=\"crispEdges\">\n<rect width=\"100%\" height=\"100%\" fill=\"#FFFFFF\"/>\n"
                      "<path fill=\"#000000\" d=\"";
    for (int y = 0; y < s.size; ++y)
        for (int x = 0; x < s.size; ++x)
            if (s.Dark(x, y)) out += "M" + std::to_string(x + 4) + " " + std::to_string(y + 4) + "h1v1h-1z";
    out += "\"/>\n</svg>\n";
    return QByteArray::fromStdString(out);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // the look-up waits for its reply in an event loop
    if (argc < 2) return Usage("missing subcommand");
    const std::string command = argv[1];
    if (command == "-h" || command == "--help") {
        std::cout << kUsage;
        return 0;
    }

    // Options common to every subcommand.
    int level = EcQ, version = 0, mask = 0, scale = 8;
    bool kanji = false, printPayload = false;
    std::string format = "png", outPath;
    std::optional<std::string> input;
    std::map<std::string, std::string> fields;

    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--kanji") kanji = true;
        else if (arg == "--payload") printPayload = true;
        else if (arg == "--level") {
            if (!value(v) || v.size() != 1 || std::strchr("LMQH", v[0]) == nullptr) return Usage("--level takes L, M, Q or H");
            level = static_cast<int>(std::strchr("LMQH", v[0]) - "LMQH") + 1;
        } else if (arg == "--version") {
            if (!value(v) || !ParseInt(v, 0, 40, version)) return Usage("--version takes 0..40");
        } else if (arg == "--mask") {
            if (!value(v)) return Usage("--mask takes 0..7 or auto");
            if (v == "auto") mask = -1; // only "auto" leaves 0..7
            else if (!ParseInt(v, 0, 7, mask)) return Usage("--mask takes 0..7 or auto");
        } else if (arg == "--format") {
            if (!value(format) || (format != "png" && format != "bmp" && format != "svg" && format != "txt" &&
                                   format != "codewords"))
                return Usage("--format takes png, bmp, svg, txt or codewords");
        } else if (arg == "--scale") {
            if (!value(v) || !ParseInt(v, 1, 100, scale)) return Usage("--scale takes 1..100");
        } else if (arg == "-o" || arg == "--output") {
            if (!value(outPath)) return Usage("-o takes a file name");
        } else if (command == "encode" && (arg == "--text" || arg == "--hex" || arg == "--file")) {
            if (input) return Usage("give only one of --text, --hex and --file");
            if (!value(v)) return Usage(arg + " takes a value");
            if (arg == "--text") input = v;
            else if (arg == "--hex") {
                input = ParseHex(v);
                if (!input) return Usage("--hex takes pairs of hexadecimal digits");
            } else {
                QFile file(QString::fromStdString(v));
                if (!file.open(QIODevice::ReadOnly)) {
                    std::cerr << "qrgen: cannot read " << v << "\n";
                    return 2;
                }
                input = file.readAll().toStdString();
            }
        } else if (command != "encode" && arg.rfind("--", 0) == 0) {
            if (!value(v)) return Usage(arg + " takes a value");
            fields[arg.substr(2)] = v;
        } else {
            return Usage("unknown argument " + arg);
        }
    }

    std::string payload;
    if (command == "encode") {
        if (input) payload = *input;
        else payload.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        const KindResult built = BuildKindPayload(command, fields);
        if (built.status == KindStatus::Usage) return Usage(built.message);
        if (built.status == KindStatus::Refused) {
            std::cerr << built.message << "\n";
            return 1;
        }
        payload = built.payload;
        if (printPayload) {
            std::fwrite(payload.data(), 1, payload.size(), stdout);
            std::fputc('\n', stdout);
            return 0;
        }
    }

    clsQRCode encoder;
    encoder.SetKanjiMode(kanji);
    encoder.SetAutoMask(mask < 0);
    const auto symbol = encoder.EncodeSymbol(reinterpret_cast<const uint8_t*>(payload.data()),
                                             static_cast<int32_t>(payload.size()), version, level, mask);
    if (!symbol) {
        std::cerr << "qrgen: the data does not fit " << (version ? "version " + std::to_string(version) : "version 40")
                  << " at level " << "LMQH"[level - 1] << "\n";
        return 1;
    }

    QByteArray bytes;
    if (format == "txt") {
        std::string text;
        for (int y = 0; y < symbol->size; ++y) {
            for (int x = 0; x < symbol->size; ++x) text += symbol->Dark(x, y) ? '1' : '0';
            text += '\n';
        }
        bytes = QByteArray::fromStdString(text);
    } else if (format == "codewords") {
        std::string text;
        char hex[4];
        for (size_t i = 0; i < symbol->codewords.size(); ++i) {
            std::snprintf(hex, sizeof hex, "%02X", symbol->codewords[i]);
            if (i) text += ' ';
            text += hex;
        }
        bytes = QByteArray::fromStdString(text + "\n");
    } else if (format == "svg") {
        bytes = Svg(*symbol, scale);
    } else {
        QImage picture = SymbolToPicture(*symbol);
        if (scale != 1)
            picture = picture.scaled(picture.width() * scale, picture.height() * scale, Qt::IgnoreAspectRatio,
                                     Qt::FastTransformation);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!picture.save(&buffer, format == "png" ? "PNG" : "BMP")) {
            std::cerr << "qrgen: cannot make the picture\n";
            return 1;
        }
    }
    if (!WriteOutput(outPath, bytes)) {
        std::cerr << "qrgen: cannot write " << (outPath.empty() ? "standard output" : outPath) << "\n";
        return 1;
    }
    return 0;
}
