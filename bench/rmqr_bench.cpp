// EncodeRmqr against zint's library (ZBarcode_Encode into memory) on the same inputs, sizes and levels, in one run.
// Both start fresh for every symbol: EncodeRmqr keeps nothing between calls but the layout of each size and level,
// made once and shared by the process as QR's are (the first symbol of a size pays about 8 us more); zint gets a new
// symbol structure each time. Run it three times with
//   build/bin/rmqr_bench --benchmark_enable_random_interleaving=true --benchmark_repetitions=5
// and compare the medians.
#include <benchmark/benchmark.h>
#include <zint.h>

#include <span>
#include <string>
#include <vector>

#include "RmqrEncoder.h"
#include "RmqrTables.h"

namespace {

struct Case {
    const char* name;
    std::string data;
    std::optional<int32_t> size; // none: automatic
    EcLevel level;
};

std::vector<Case> Cases()
{
    std::string digits, bytes;
    for (int i = 0; i < 300; ++i) digits += static_cast<char>('0' + (i * 7) % 10);
    for (int i = 0; i < 148; ++i) bytes += static_cast<char>(0x80 + (i * 37) % 128);
    return {
        {"hello_auto", "HELLO rMQR", std::nullopt, EcLevel::M},
        {"url_auto", "https://example.com/p?id=12345", std::nullopt, EcLevel::M},
        {"digits150_auto_H", digits.substr(0, 150), std::nullopt, EcLevel::H},
        {"bytes148_R17x139", bytes, RmqrSizeByName("R17x139"), EcLevel::M},
    };
}

const std::vector<Case>& AllCases()
{
    static const std::vector<Case> cases = Cases();
    return cases;
}

std::span<const uint8_t> Bytes(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

void Ours(benchmark::State& state)
{
    const Case& c = AllCases()[static_cast<size_t>(state.range(0))];
    RmqrOptions options;
    options.size.size = c.size;
    options.level = c.level;
    for (auto _ : state) {
        auto symbol = EncodeRmqr(Bytes(c.data), options);
        if (!symbol) state.SkipWithError("not encoded");
        benchmark::DoNotOptimize(symbol);
    }
    state.SetLabel(c.name);
}

void Zint(benchmark::State& state)
{
    const Case& c = AllCases()[static_cast<size_t>(state.range(0))];
    for (auto _ : state) {
        zint_symbol* z = ZBarcode_Create();
        z->symbology = BARCODE_RMQR;
        z->option_1 = c.level == EcLevel::H ? 4 : 2;
        z->option_2 = c.size ? *c.size + 1 : 0;
        z->input_mode = DATA_MODE;
        if (ZBarcode_Encode(z, Bytes(c.data).data(), static_cast<int>(c.data.size())) >= ZINT_ERROR)
            state.SkipWithError(z->errtxt);
        benchmark::DoNotOptimize(z->encoded_data);
        ZBarcode_Delete(z);
    }
    state.SetLabel(c.name);
}

} // namespace

int main(int argc, char** argv)
{
    const int n = static_cast<int>(AllCases().size());
    benchmark::RegisterBenchmark("ours", Ours)->DenseRange(0, n - 1);
    benchmark::RegisterBenchmark("zint", Zint)->DenseRange(0, n - 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
