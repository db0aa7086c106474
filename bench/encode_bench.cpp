// EncodeSymbol against libqrencode and qrcodegen on the same inputs, in one run.
// After the timings, a table gives our time per case and the ratio to each peer
// (peer time / our time: above 1 means we are faster). Run it as
//   build/bin/encode_bench --benchmark_repetitions=3 --benchmark_min_time=0.2
#include <benchmark/benchmark.h>
#include <qrencode.h>

#include <cstdio>
#include <map>
#include <qrcodegen/qrcodegen.hpp>
#include <string>
#include <vector>

#include "clsQRCode.h"
#include "mdlFakeBarCode.h"

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
    return {
        {"abc_v1", "abc"},
        {"url60_v5", "https://www.example.com/products/qr-code/generator?id=123456"},
        {"lower1663_v40", std::string(1663, 'k')},
        {"digits2000_v28", [] {
             std::string s;
             for (int i = 0; i < 2000; ++i) s += static_cast<char>('0' + (i * 7) % 10);
             return s;
         }()},
        {"chinese300_v29", chinese},
    };
}

const std::vector<Case>& AllCases()
{
    static const std::vector<Case> cases = Cases();
    return cases;
}

void Ours(benchmark::State& state, int mask, bool picture)
{
    const Case& c = AllCases()[static_cast<size_t>(state.range(0))];
    clsQRCode encoder;
    encoder.SetAutoMask(mask < 0);
    for (auto _ : state) {
        auto symbol = encoder.EncodeSymbol(reinterpret_cast<const uint8_t*>(c.data.data()),
                                           static_cast<int32_t>(c.data.size()), 0, EcQ, mask);
        if (picture) {
            QImage image = SymbolToPicture(*symbol);
            benchmark::DoNotOptimize(image);
        }
        benchmark::DoNotOptimize(symbol);
    }
    state.SetLabel(c.name);
}

void QrencodeAuto(benchmark::State& state)
{
    const Case& c = AllCases()[static_cast<size_t>(state.range(0))];
    for (auto _ : state) {
        QRcode* code = QRcode_encodeString(c.data.c_str(), 0, QR_ECLEVEL_Q, QR_MODE_8, 1);
        benchmark::DoNotOptimize(code);
        QRcode_free(code);
    }
    state.SetLabel(c.name);
}

void QrencodeMask0(benchmark::State& state)
{
    const Case& c = AllCases()[static_cast<size_t>(state.range(0))];
    for (auto _ : state) {
        QRinput* input = QRinput_new2(0, QR_ECLEVEL_Q);
        Split_splitStringToQRinput(c.data.c_str(), input, QR_MODE_8, 1);
        QRcode* code = QRcode_encodeMask(input, 0);
        benchmark::DoNotOptimize(code);
        QRcode_free(code);
        QRinput_free(input);
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
    add("ours/mask0", [](benchmark::State& s) { Ours(s, 0, false); });
    add("ours/mask0+picture", [](benchmark::State& s) { Ours(s, 0, true); });
    add("ours/auto", [](benchmark::State& s) { Ours(s, -1, false); });
    add("qrencode/mask0", QrencodeMask0);
    add("qrencode/auto", QrencodeAuto);
    add("qrcodegen/mask0", [](benchmark::State& s) { Qrcodegen(s, 0); });
    add("qrcodegen/auto", [](benchmark::State& s) { Qrcodegen(s, -1); });
}

// Keeps every run's time per iteration for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration || r.iterations == 0) continue;
            // With --benchmark_repetitions the fastest repetition counts: the least disturbed one.
            double& t = times[r.run_name.function_name][r.report_label];
            const double now = r.GetAdjustedRealTime();
            if (t == 0 || now < t) t = now;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Table()
    {
        std::printf("\n%-16s %12s %12s %12s %14s %14s %12s %12s\n", "case", "ours us", "x qrencode0", "x qrcodegen0",
                    "ours auto us", "x qrencodeA", "x qrcodegenA", "+picture us");
        for (const Case& c : AllCases()) {
            const double ours = times["ours/mask0"][c.name];
            const double oursAuto = times["ours/auto"][c.name];
            std::printf("%-16s %12.2f %12.2f %12.2f %14.2f %14.2f %12.2f %12.2f\n", c.name, ours / 1000,
                        times["qrencode/mask0"][c.name] / ours, times["qrcodegen/mask0"][c.name] / ours,
                        oursAuto / 1000, times["qrencode/auto"][c.name] / oursAuto,
                        times["qrcodegen/auto"][c.name] / oursAuto, times["ours/mask0+picture"][c.name] / 1000);
        }
    }
    std::map<std::string, std::map<std::string, double>> times; // ns per iteration
};

} // namespace

int main(int argc, char** argv)
{
    Register();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.Table();
    benchmark::Shutdown();
    return 0;
}
