#include "Batch.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "BatchQueue.h"
#include "Encode.h"
#include "Terminal.h"
#include "Write.h"
#include "qrgen_kinds.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Job {
    Job(const Request& r, size_t threads, int folderFd, int stop)
        : request(r), workers(threads), queue(std::min<size_t>(threads + 2, 16)), folder(folderFd), stopFd(stop)
    {
    }
    const Request& request;
    size_t workers = 1;
    RecordQueue queue;
    int folder = -1;      // the -O folder, open
    int stopFd = -1;      // readable once interrupted: wakes the reader
    int counterWidth = 1; // counter names are zero-padded to this
    size_t expected = 0;  // records in the input when it is a file (0: not known)
    std::atomic<size_t> written{0}, refused{0};
    std::atomic<int> stopSignal{0};
    std::mutex say;
};

std::string FileName(const Job& job, const BatchRecord& record)
{
    if (!job.request.batch.nameColumn.empty()) return record.name;
    const std::string counter = std::to_string(record.number);
    return std::string(static_cast<size_t>(job.counterWidth) - std::min(counter.size(), size_t(job.counterWidth)),
                       '0') +
           counter;
}

bool UsableName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}

// Makes one record's file; the reason when it is refused.
std::string MakeRecord(clsQRCode& encoder, const Job& job, const BatchRecord& record)
{
    if (!record.error.empty()) return record.error;
    const Request& r = job.request;
    const std::string name = FileName(job, record);
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

size_t RecordBytes(const BatchRecord& record)
{
    size_t bytes = record.name.size() + record.error.size();
    for (const auto& [key, value] : record.fields) bytes += key.size() + value.size();
    return bytes;
}

// A refusal as it happens; names from the input are shown with controls escaped.
void Say(Job& job, long line, const std::string& why)
{
    const std::string text = "qrgen: line " + std::to_string(line) + ": " + EscapeControls(why) + "\n";
    std::lock_guard lock(job.say);
    std::fputs(::isatty(STDERR_FILENO) ? ("\r\x1b[K" + text).c_str() : text.c_str(), stderr);
}

void Work(Job& job)
{
    clsQRCode encoder;
    RecordChunk chunk;
    while (job.queue.Pop(chunk)) {
        for (const BatchRecord& record : chunk) {
            // An interruption drops the rest of the chunk too: only the record in hand is finished.
            if (job.stopSignal.load()) return;
            const std::string why = MakeRecord(encoder, job, record);
            if (why.empty()) {
                job.written.fetch_add(1);
                continue;
            }
            job.refused.fetch_add(1);
            Say(job, record.line, why);
        }
    }
}

std::string Duration(double seconds)
{
    char buf[32];
    const long s = static_cast<long>(seconds + 0.5);
    std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

void ShowProgress(Job& job, Clock::time_point start)
{
    const size_t done = job.written.load() + job.refused.load(), total = std::max(job.expected, done);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0;
    std::string line = "\r" + std::to_string(done) + "  " + std::to_string(static_cast<long>(rate)) + "/s ";
    if (job.expected) {
        const int filled = static_cast<int>(30 * done / total);
        line = "\r[" + std::string(static_cast<size_t>(filled), '#') +
               std::string(static_cast<size_t>(30 - filled), '.') + "] " + std::to_string(done) + "/" +
               std::to_string(total) + "  " + std::to_string(static_cast<long>(rate)) + "/s  " +
               (rate > 0 ? Duration(static_cast<double>(total - done) / rate) : std::string("-:--")) + " left ";
    }
    std::lock_guard lock(job.say);
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

// Waits for SIGINT, SIGTERM or SIGHUP (blocked in every thread), drops the
// records not yet taken and wakes the reader; the workers finish the record
// in hand, so no file is left half-written. SIGUSR1 ends the watch.
void WatchSignals(Job& job, const sigset_t& set)
{
    int signal = 0;
    if (sigwait(&set, &signal) != 0 || signal == SIGUSR1) return;
    job.stopSignal.store(signal);
    job.queue.Stop();
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t woken = ::write(job.stopFd, &one, sizeof one);
}

// Progress on a terminal until done is set.
void Progress(Job& job, const std::atomic<bool>& done)
{
    const Clock::time_point start = Clock::now();
    while (!done.load()) {
        ShowProgress(job, start);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    std::lock_guard lock(job.say);
    std::fputs("\r\x1b[K", stderr);
}

// Reads records into the queue as the workers take them. Names are claimed in
// input order, so a record whose name an earlier one took is refused instead of
// replacing that record's file, whatever the threads' timing.
void Feed(Job& job, RecordReader& reader)
{
    std::unordered_map<std::string, long> claimed;
    const bool named = !job.request.batch.nameColumn.empty();
    RecordChunk chunk;
    size_t bytes = 0;
    for (bool more = true; more && !job.stopSignal.load();) {
        BatchRecord record;
        more = reader.Next(record);
        if (more) {
            if (named && record.error.empty() && UsableName(record.name)) {
                const auto [it, fresh] = claimed.emplace(record.name, record.line);
                if (!fresh) record.error = "name already used by line " + std::to_string(it->second);
            }
            bytes += RecordBytes(record);
            chunk.push_back(std::move(record));
        }
        // A record typed on a terminal goes at once, not when 63 more follow.
        const bool full = chunk.size() >= kChunkRecords || bytes >= kChunkBytes;
        if (chunk.empty() || (more && !full && reader.Ready())) continue;
        if (!job.queue.Push(std::move(chunk))) break;
        chunk = RecordChunk();
        bytes = 0;
    }
    job.queue.Close();
}

void RunWorkers(Job& job, RecordReader& reader)
{
    sigset_t set, previous;
    sigemptyset(&set);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) sigaddset(&set, s);
    pthread_sigmask(SIG_BLOCK, &set, &previous);
    std::thread watcher(WatchSignals, std::ref(job), std::cref(set));
    std::atomic<bool> done{false};
    std::thread progress;
    if (::isatty(STDERR_FILENO)) progress = std::thread(Progress, std::ref(job), std::cref(done));
    std::vector<std::thread> workers;
    for (size_t i = 0; i < job.workers; ++i) workers.emplace_back(Work, std::ref(job));
    Feed(job, reader);
    for (std::thread& t : workers) t.join();
    done.store(true);
    if (progress.joinable()) progress.join();
    if (!job.stopSignal.load()) pthread_kill(watcher.native_handle(), SIGUSR1);
    watcher.join();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

int Report(const Job& job, double seconds)
{
    const size_t written = job.written.load(), refused = job.refused.load();
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

// Lines in a regular file, for the counter's width and the progress bar;
// 0 for a pipe or terminal, which cannot be read twice.
size_t CountLines(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    std::vector<char> buffer(1 << 16);
    size_t lines = 0;
    char last = '\n';
    off_t at = ::lseek(fd, 0, SEEK_CUR);
    for (ssize_t n; (n = ::pread(fd, buffer.data(), buffer.size(), at)) > 0; at += n) {
        lines += static_cast<size_t>(std::count(buffer.data(), buffer.data() + n, '\n'));
        last = buffer[static_cast<size_t>(n - 1)];
    }
    return lines + (last != '\n');
}

// The -O folder, made when missing; its descriptor, or the failure.
Result<int> OpenFolder(const std::string& folder)
{
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        return ::Fail("cannot write into " + folder + ": " + std::strerror(errno));
    const int fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) return fd;
    struct stat st {};
    if (errno == ENOTDIR || (::stat(folder.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)))
        return ::Fail("cannot write into " + folder + ": it is not a folder");
    return ::Fail("cannot write into " + folder + ": " + std::strerror(errno));
}

struct Descriptor {
    int fd = -1;
    ~Descriptor()
    {
        if (fd > 2) ::close(fd);
    }
};

} // namespace

int RunBatch(const Request& r)
{
    const KindInfo* kind = FindKind(r.batch.kind);
    const bool csv = r.batch.kind != "text" || r.batch.csv;
    if (!csv && !r.batch.nameColumn.empty()) return Fail("--name-column needs CSV input (--csv)", 2);
    if (!r.output.empty()) return Fail("batch writes into the -O folder, not -o", 2);
    Descriptor input{r.batch.input == "-" ? STDIN_FILENO : ::open(r.batch.input.c_str(), O_RDONLY | O_CLOEXEC)};
    if (input.fd < 0) return Fail("cannot read " + r.batch.input + ": " + std::strerror(errno), 1);
    const size_t lines = CountLines(input.fd);
    const Descriptor stop{::eventfd(0, EFD_CLOEXEC)};
    std::unique_ptr<RecordReader> reader = ReadLines(input.fd, stop.fd);
    if (csv) {
        auto opened = ReadCsv(input.fd, stop.fd, kind->fields, r.batch.nameColumn);
        if (!opened) return Fail(opened.error(), 2);
        reader = std::move(*opened);
    }
    const auto folder = OpenFolder(r.batch.folder);
    if (!folder) return Fail(folder.error(), 1);
    const Descriptor folderFd{*folder};
    RemoveAbandonedTemporaries(folderFd.fd);

    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t workers = r.batch.jobs > 0 ? static_cast<size_t>(r.batch.jobs) : cores;
    Job job(r, workers, folderFd.fd, stop.fd);
    job.expected = lines > 0 && csv ? lines - 1 : lines;
    job.counterWidth = static_cast<int>(std::to_string(std::max<size_t>(job.expected, 1)).size());
    const Clock::time_point start = Clock::now();
    RunWorkers(job, *reader);
    const int status = Report(job, std::chrono::duration<double>(Clock::now() - start).count());
    if (reader->status() == LineReader::Failed)
        return Fail("cannot read " + r.batch.input + ": " + std::strerror(reader->error()), 1);
    return status;
}
