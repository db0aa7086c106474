// Micro QR: EncodeMicro against libqrencode's QRcode_encodeStringMQR on the same inputs, in
// one run. Both pick the smallest version for the level and keep no state between symbols
// (EncodeMicro has no encoder object; its version layouts are made once per process, as
// libqrencode's tables are). Run it with
//   build/bin/micro_bench --benchmark_enable_random_interleaving=true --benchmark_repetitions=5
#include <benchmark/benchmark.h>
#include <qrencode.h>

#include <span>
#include <string>
#include <vector>

#include "MicroQR.h"

namespace {

struct Case {
    const char* name;
    std::string data;
    EcLevel level;
    QRecLevel peerLevel;
};

const std::vector<Case>& Cases()
{
    static const std::vector<Case> cases = {
        {"digits5_M1", "12345", EcLevel::L, QR_ECLEVEL_L},
        {"alnum6_M2L", "HELLO1", EcLevel::L, QR_ECLEVEL_L},
        {"mixed11_M3M", "Ab-12345678", EcLevel::M, QR_ECLEVEL_M},
        {"lower13_M4M", "micro qr code", EcLevel::M, QR_ECLEVEL_M},
        {"digits21_M4Q", "314159265358979323846", EcLevel::Q, QR_ECLEVEL_Q},
    };
    return cases;
}

void Ours(benchmark::State& state)
{
    const Case& c = Cases()[static_cast<size_t>(state.range(0))];
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(c.data.data()), c.data.size());
    for (auto _ : state) {
        auto symbol = EncodeMicro(bytes, {std::nullopt, c.level, MaskChoice::Automatic, false});
        if (!symbol) state.SkipWithError("no symbol");
        benchmark::DoNotOptimize(symbol);
    }
    state.SetLabel(c.name);
}

void Libqrencode(benchmark::State& state)
{
    const Case& c = Cases()[static_cast<size_t>(state.range(0))];
    for (auto _ : state) {
        QRcode* code = QRcode_encodeStringMQR(c.data.c_str(), 0, c.peerLevel, QR_MODE_8, 1);
        if (!code) state.SkipWithError("no symbol");
        benchmark::DoNotOptimize(code);
        QRcode_free(code);
    }
    state.SetLabel(c.name);
}

BENCHMARK(Ours)->DenseRange(0, 4);
BENCHMARK(Libqrencode)->DenseRange(0, 4);

} // namespace

BENCHMARK_MAIN();
