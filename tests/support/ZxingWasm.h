#pragma once
// Decoding pictures with zxing-cpp 2.x compiled to WebAssembly (npm zxing-wasm, run by node), a reader nobody here
// wrote and the only one at hand that reads rMQR. Plain C++: the reader's JSON lines are flat, so a field is found
// by its key. Tests skip when the package is not installed (test.sh installs it).
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace testsupport {

struct WasmSymbol {
    std::string format;     // QRCode, MicroQRCode, RMQRCode
    std::string bytesHex;   // lower-case hex of the decoded bytes
    std::string version;    // "7", "M3", "R11x43"
    std::string ecLevel;    // "L", "M", "Q", "H"
    int sequenceIndex = -1; // structured append: position, -1 when the symbol is not part of a set
    int sequenceSize = -1;
};

inline std::filesystem::path ZxingWasmFolder() { return std::filesystem::path(__FILE__).parent_path() / "zxing-wasm"; }

inline bool ZxingWasmAvailable()
{
    return std::filesystem::exists(ZxingWasmFolder() / "node_modules" / "zxing-wasm") &&
           Shell("command -v node >/dev/null && echo yes") == "yes\n";
}

namespace wasmdetail {
// The value after "key": in one JSON object: a string's raw text (no escapes are expected in these fields) or a number.
inline std::string Field(const std::string& object, const std::string& key)
{
    const std::string tag = "\"" + key + "\":";
    const size_t at = object.find(tag);
    if (at == std::string::npos) return {};
    size_t begin = at + tag.size();
    if (object[begin] == '"') return object.substr(begin + 1, object.find('"', begin + 1) - begin - 1);
    const size_t end = object.find_first_of(",}", begin);
    return object.substr(begin, end - begin);
}
} // namespace wasmdetail

// Every symbol the reader finds in each file, in the order of files.
inline std::vector<std::vector<WasmSymbol>> ZxingWasmFiles(const std::vector<std::string>& files)
{
    std::string command = "node '" + (ZxingWasmFolder() / "decode.mjs").string() + "'";
    for (const auto& file : files) command += " '" + file + "'";
    const std::string out = Shell(command + " 2>/dev/null");
    std::vector<std::vector<WasmSymbol>> all;
    size_t line = 0;
    while (line < out.size()) {
        const size_t end = out.find('\n', line);
        const std::string text = out.substr(line, end == std::string::npos ? std::string::npos : end - line);
        line = end == std::string::npos ? out.size() : end + 1;
        std::vector<WasmSymbol> symbols;
        // Each symbol object starts with its format.
        for (size_t at = text.find("{\"format\""); at != std::string::npos; at = text.find("{\"format\"", at + 1)) {
            // The decoded text comes last, so the fields before it hold no stray quotes or braces.
            const std::string object = text.substr(at, text.find(",\"text\":", at) - at);
            WasmSymbol s;
            s.format = wasmdetail::Field(object, "format");
            s.bytesHex = wasmdetail::Field(object, "bytesHex");
            s.version = wasmdetail::Field(object, "version");
            s.ecLevel = wasmdetail::Field(object, "ecLevel");
            s.sequenceIndex = std::atoi(wasmdetail::Field(object, "sequenceIndex").c_str());
            s.sequenceSize = std::atoi(wasmdetail::Field(object, "sequenceSize").c_str());
            symbols.push_back(std::move(s));
        }
        all.push_back(std::move(symbols));
    }
    return all;
}

inline std::vector<WasmSymbol> ZxingWasm(const std::string& file)
{
    auto all = ZxingWasmFiles({file});
    return all.empty() ? std::vector<WasmSymbol>{} : std::move(all.front());
}

} // namespace testsupport
