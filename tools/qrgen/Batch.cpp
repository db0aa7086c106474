#include "Batch.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <thread>
#include <vector>

#include "BatchInput.h"
#include "Encode.h"
#include "Files.h"
#include "Terminal.h"
#include "Write.h"
#include "qrgen_kinds.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Job {
    const Request& request;
    std::vector<BatchRecord> records;
    // One a record, set by the worker that made it: empty when written, the
    // reason when refused, none when an interruption came first.
    std::vector<std::optional<std::string>> errors;
    int counterWidth = 1;
    std::atomic<size_t> next{0};
    std::atomic<size_t> done{0};
    std::atomic<int> stopSignal{0};
    int folder = -1; // the -O folder, open
};

std::string FileName(const Job& job, size_t index)
{
    const BatchRecord& record = job.records[index];
    if (job.request.batch.nameColumn.empty()) {
        std::string counter = std::to_string(index + 1);
        return std::string(static_cast<size_t>(job.counterWidth) - std::min(counter.size(), size_t(job.counterWidth)),
                           '0') +
               counter;
    }
    return record.name;
}

bool UsableName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}

// Makes one record's file; the reason when it is refused.
std::string MakeRecord(clsQRCode& encoder, const Job& job, size_t index)
{
    const BatchRecord& record = job.records[index];
    if (!record.error.empty()) return record.error;
    const Request& r = job.request;
    const std::string name = FileName(job, index);
    if (!UsableName(name)) return "cannot name a file '" + EscapeControls(name) + "'";
    const KindResult built = BuildKindPayload(r.batch.kind, record.fields);
    if (built.status != KindStatus::Ok) return built.message;
    const auto symbol = EncodePayload(encoder, built.payload, r.encode);
    if (!symbol) return DoesNotFit(r.encode);
    const std::string file = name + Extension(r.picture.format);
    const auto written =
        WriteFileAt(job.folder, file, r.batch.folder + "/" + file, WriteOptions{r.batch.force, r.batch.sync, false},
                    [&](const Sink& sink) { return Render(*symbol, r.picture, sink); });
    return written ? std::string() : written.error();
}

void Work(Job& job)
{
    clsQRCode encoder;
    for (;;) {
        if (job.stopSignal.load()) return;
        const size_t i = job.next.fetch_add(1);
        if (i >= job.records.size()) return;
        job.errors[i] = MakeRecord(encoder, job, i);
        job.done.fetch_add(1);
    }
}

std::string Duration(double seconds)
{
    char buf[32];
    const long s = static_cast<long>(seconds + 0.5);
    std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

void ShowProgress(const Job& job, Clock::time_point start)
{
    const size_t done = job.done.load(), total = job.records.size();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0;
    const int filled = total ? static_cast<int>(30 * done / total) : 30;
    std::string bar = "\r[" + std::string(static_cast<size_t>(filled), '#') +
                      std::string(static_cast<size_t>(30 - filled), '.') + "] " + std::to_string(done) + "/" +
                      std::to_string(total) + "  " + std::to_string(static_cast<long>(rate)) + "/s  " +
                      (rate > 0 ? Duration(static_cast<double>(total - done) / rate) : std::string("-:--")) + " left ";
    std::fputs(bar.c_str(), stderr);
    std::fflush(stderr);
}

// Waits for SIGINT, SIGTERM or SIGHUP (blocked in every thread) and asks the
// workers to stop after the record in hand, so no file is left half-written.
// SIGUSR1 ends the watch.
void WatchSignals(Job& job, const sigset_t& set)
{
    int signal = 0;
    while (sigwait(&set, &signal) == 0 && signal != SIGUSR1) {
        job.stopSignal.store(signal);
        return;
    }
}

void RunWorkers(Job& job)
{
    sigset_t set, previous;
    sigemptyset(&set);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) sigaddset(&set, s);
    pthread_sigmask(SIG_BLOCK, &set, &previous);
    std::thread watcher(WatchSignals, std::ref(job), std::cref(set));
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t count =
        std::min<size_t>(job.request.batch.jobs > 0 ? static_cast<size_t>(job.request.batch.jobs) : cores,
                         std::max<size_t>(job.records.size(), 1));
    std::vector<std::thread> workers;
    for (size_t i = 0; i < count; ++i) workers.emplace_back(Work, std::ref(job));
    const Clock::time_point start = Clock::now();
    if (::isatty(STDERR_FILENO)) {
        while (job.done.load() < job.records.size() && !job.stopSignal.load()) {
            ShowProgress(job, start);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        std::fputs("\r\x1b[K", stderr);
    }
    for (std::thread& t : workers) t.join();
    if (!job.stopSignal.load()) pthread_kill(watcher.native_handle(), SIGUSR1);
    watcher.join();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

int Report(const Job& job, double seconds)
{
    size_t refused = 0, written = 0;
    for (size_t i = 0; i < job.records.size(); ++i) {
        if (!job.errors[i]) continue;
        if (job.errors[i]->empty()) {
            ++written;
            continue;
        }
        ++refused;
        std::cerr << "qrgen: line " << job.records[i].line << ": " << *job.errors[i] << "\n";
    }
    char summary[160];
    std::snprintf(summary, sizeof summary, "qrgen: %zu written, %zu refused in %.2f s (%.0f a second)%s\n", written,
                  refused, seconds, seconds > 0 ? static_cast<double>(written + refused) / seconds : 0.0,
                  job.stopSignal.load() ? ", interrupted" : "");
    std::cerr << summary;
    if (job.stopSignal.load()) return 128 + job.stopSignal.load();
    return refused ? 1 : 0;
}

int Fail(const std::string& why, int status)
{
    std::cerr << "qrgen: " << why << "\n";
    return status;
}

// Names are claimed in input order before any thread starts, so a record whose
// name an earlier one took is refused instead of replacing that record's file,
// whatever the threads' timing.
void ClaimNames(Job& job)
{
    if (job.request.batch.nameColumn.empty()) return;
    std::map<std::string, long> claimed;
    for (BatchRecord& record : job.records) {
        if (!record.error.empty() || !UsableName(record.name)) continue;
        const auto [it, fresh] = claimed.emplace(record.name, record.line);
        if (!fresh) record.error = "name already used by line " + std::to_string(it->second);
    }
}

} // namespace

int RunBatch(const Request& r)
{
    const KindInfo* kind = FindKind(r.batch.kind);
    const bool csv = r.batch.kind != "text" || r.batch.csv;
    if (!csv && !r.batch.nameColumn.empty()) return Fail("--name-column needs CSV input (--csv)", 2);
    if (!r.output.empty()) return Fail("batch writes into the -O folder, not -o", 2);
    const auto text = ReadAll(r.batch.input);
    if (!text) return Fail(text.error(), 1);
    BatchInput input = csv ? ParseCsv(*text, kind->fields, r.batch.nameColumn) : SplitLines(*text);
    if (!input.fatal.empty()) return Fail(input.fatal, 2);
    struct stat st {};
    if (::mkdir(r.batch.folder.c_str(), 0777) != 0) {
        const int made = errno;
        if (made != EEXIST) return Fail("cannot write into " + r.batch.folder + ": " + std::strerror(made), 1);
        if (::stat(r.batch.folder.c_str(), &st) != 0)
            return Fail("cannot write into " + r.batch.folder + ": " + std::strerror(errno), 1);
        if (!S_ISDIR(st.st_mode)) return Fail("cannot write into " + r.batch.folder + ": it is not a folder", 1);
    }

    const int folder = ::open(r.batch.folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return Fail("cannot write into " + r.batch.folder + ": " + std::strerror(errno), 1);
    RemoveAbandonedTemporaries(folder);
    Job job{r, std::move(input.records), {}};
    job.folder = folder;
    job.errors.resize(job.records.size());
    ClaimNames(job);
    job.counterWidth = static_cast<int>(std::to_string(job.records.size()).size());
    const Clock::time_point start = Clock::now();
    RunWorkers(job);
    ::close(folder);
    return Report(job, std::chrono::duration<double>(Clock::now() - start).count());
}
