// EncodeSymbol against libqrencode and qrcodegen on the same inputs, in one run.
// Our encoder is timed twice: cold, a fresh clsQRCode for every symbol, and warm,
// one encoder reused (what the window pays from its second symbol on). Version
// layouts and check-codeword tables are the process's, made on first use, so the
// cold rows leave out what a command-line run pays once for its one version. The
// peers keep no state between calls. Run it with
//   build/bin/encode_bench --benchmark_enable_random_interleaving=true --benchmark_repetitions=5
// or bench/encode_table.sh, which runs it three times and prints the ratio table.
#include <benchmark/benchmark.h>
#include <qrencode.h>

#include <qrcodegen/qrcodegen.hpp>
#include <span>
#include <string>
#include <vector>

#include "clsQRCode.h"

extern "C" {
// Exported by libqrencode, not declared in its header.
QRcode* QRcode_encodeMask(QRinput* input, int mask);
int Split_splitStringToQRinput(const char* string, QRinput* input, QRencodeMode hint, int casesensitive);
}

namespace {

struct Case {
    const char* name;
    std::string data;
};

std::vector<Case> Cases()
{
    std::string chinese;
    const char* words = "二维码生成器中文内容测试";
    for (int i = 0; chinese.size() < 900; ++i) chinese += std::string(words + 3 * (i % 12), 3);
    std::string digits;
    for (int i = 0; i < 2000; ++i) digits += static_cast<char>('0' + (i * 7) % 10);
    return {
        {"abc_v1", "abc"},
        {"url60_v5", "https://www.example.com/products/qr-code/generator?id=123456"},
        {"lower1663_v40", std::string(1663, 'k')},
        {"digits2000_v28", digits},
        {"chinese300_v29", chinese},
    };
}

const std::vector<Case>& AllCases()
{
    static const std::vector<Case> cases = Cases();
    return cases;
}

std::span<const uint8_t> Bytes(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

constexpr int kAuto = -1;

void OursCold(benchmark::State& state, int mask)
{
    const Case& c = AllCases()[static_cast<size_t>(state.range(0))];
    for (auto _ : state) {
        clsQRCode encoder;
        encoder.SetAutoMask(mask == kAuto);
        auto symbol = encoder.EncodeSymbol(Bytes(c.data), 0, EcQ, mask);
        benchmark::DoNotOptimize(symbol);
    }
    state.SetLabel(c.name);
}

void OursWarm(benchmark::State& state, int mask)
{
    const Case& c = AllCases()[static_cast<size_t>(state.range(0))];
    clsQRCode encoder;
    encoder.SetAutoMask(mask == kAuto);
    for (auto _ : state) {
        auto symbol = encoder.EncodeSymbol(Bytes(c.data), 0, EcQ, mask);
        benchmark::DoNotOptimize(symbol);
    }
    state.SetLabel(c.name);
}

void Qrencode(benchmark::State& state, int mask)
{
    const Case& c = AllCases()[static_cast<size_t>(state.range(0))];
    for (auto _ : state) {
        if (mask == kAuto) {
            QRcode* code = QRcode_encodeString(c.data.c_str(), 0, QR_ECLEVEL_Q, QR_MODE_8, 1);
            benchmark::DoNotOptimize(code);
            QRcode_free(code);
        } else {
            QRinput* input = QRinput_new2(0, QR_ECLEVEL_Q);
            Split_splitStringToQRinput(c.data.c_str(), input, QR_MODE_8, 1);
            QRcode* code = QRcode_encodeMask(input, mask);
            benchmark::DoNotOptimize(code);
            QRcode_free(code);
            QRinput_free(input);
        }
    }
    state.SetLabel(c.name);
}

void Qrcodegen(benchmark::State& state, int mask)
{
    const Case& c = AllCases()[static_cast<size_t>(state.range(0))];
    for (auto _ : state) {
        const auto segments = qrcodegen::QrSegment::makeSegments(c.data.c_str());
        auto code = qrcodegen::QrCode::encodeSegments(segments, qrcodegen::QrCode::Ecc::QUARTILE, 1, 40, mask, false);
        benchmark::DoNotOptimize(code);
    }
    state.SetLabel(c.name);
}

void Register()
{
    const int n = static_cast<int>(AllCases().size());
    auto add = [n](const char* name, auto fn) { benchmark::RegisterBenchmark(name, fn)->DenseRange(0, n - 1); };
    add("ours/cold/mask0", [](benchmark::State& s) { OursCold(s, 0); });
    add("ours/cold/auto", [](benchmark::State& s) { OursCold(s, kAuto); });
    add("ours/warm/mask0", [](benchmark::State& s) { OursWarm(s, 0); });
    add("ours/warm/auto", [](benchmark::State& s) { OursWarm(s, kAuto); });
    add("qrencode/mask0", [](benchmark::State& s) { Qrencode(s, 0); });
    add("qrencode/auto", [](benchmark::State& s) { Qrencode(s, kAuto); });
    add("qrcodegen/mask0", [](benchmark::State& s) { Qrcodegen(s, 0); });
    add("qrcodegen/auto", [](benchmark::State& s) { Qrcodegen(s, kAuto); });
}

} // namespace

int main(int argc, char** argv)
{
    Register();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
