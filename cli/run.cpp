#include "run.h"

#include "kernels/errors.h"
#include "kernels/files.h"
#include "kernels/jpeg_decoder.h"
#include "kernels/text_art.h"
#include "kernels/text_encoding.h"
#include "kernels/text_mapping.h"
#include "qt_module_client.h"
#include "row_pipe.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <future>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <unistd.h>

namespace cli {

namespace {

constexpr int kUsage = 2;

class Progress {
  public:
    Progress(int total, bool enabled) : total_(total), enabled_(enabled) { draw(); }
    void step() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++done_;
        draw();
    }
    ~Progress() {
        if (enabled_)
            std::fprintf(stderr, "\n");
    }

  private:
    void draw() {
        if (!enabled_)
            return;
        const int width = 30, filled = total_ ? done_ * width / total_ : width;
        std::fprintf(stderr, "\r[%s%s] %d/%d", std::string(size_t(filled), '#').c_str(),
                     std::string(size_t(width - filled), '.').c_str(), done_, total_);
        std::fflush(stderr);
    }
    int total_, done_ = 0;
    bool enabled_;
    std::mutex mutex_;
};

// Qt starts on the main thread, when the measurement or a picture first needs it; workers that need it
// ask and wait.
class QtGate {
  public:
    explicit QtGate(QtServices& qt) : qt_(qt) {}

    // On a worker: returns once Qt has started; raises why it could not.
    void need() {
        std::unique_lock<std::mutex> lock(mutex_);
        requested_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return state_ != State::NotStarted; });
        if (state_ == State::Failed)
            throw err::Error(err::PathFileAccess, error_);
    }

    // On the main thread: starts Qt now (once).
    void start() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (state_ != State::NotStarted)
                return;
        }
        std::string error;
        try {
            qt_.startGui();
        } catch (const err::Error& e) {
            error = e.description();
        }
        std::lock_guard<std::mutex> lock(mutex_);
        state_ = error.empty() ? State::Started : State::Failed;
        error_ = error;
        changed_.notify_all();
    }

    // On the main thread: starts Qt whenever a worker asks, until every worker has finished.
    void serve(int workers) {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(
                lock, [&] { return finished_ == workers || (requested_ && state_ == State::NotStarted); });
            if (finished_ == workers)
                return;
            lock.unlock();
            start();
            lock.lock();
        }
    }

    void workerFinished() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++finished_;
        changed_.notify_all();
    }

  private:
    enum class State { NotStarted, Started, Failed };
    QtServices& qt_;
    std::mutex mutex_;
    std::condition_variable changed_;
    State state_ = State::NotStarted;
    bool requested_ = false;
    int finished_ = 0;
    std::string error_;
};

// The order of the plan's table as remembered, when it is; `key` gets the cache key when it was needed.
std::optional<Measurement> remembered(const Plan& plan, const OrderCache* cache, std::string& key) {
    if (!cache || !cache->mayHold(plan.table, plan.font, plan.size))
        return std::nullopt;
    key = cache->key(plan.table, plan.font, plan.size);
    return cache->load(key);
}

// Measures the plan's table now. Alongside Qt's loading, a helper makes the font system ready (Qt's first
// measurement would otherwise wait for it) and then works out the cache key, so that remembering the order
// afterwards costs nothing more.
Measurement measure(const Plan& plan, QtServices& qt, const OrderCache* cache, std::string& key,
                    QtGate* gate = nullptr) {
    std::promise<void> fontsReady;
    std::thread helper([&] {
        warmFontSystem();
        fontsReady.set_value();
        if (cache && key.empty())
            key = cache->key(plan.table, plan.font, plan.size);
    });
    struct Joiner {
        std::thread& t;
        ~Joiner() { t.join(); }
    } joiner{helper};
    if (gate)
        gate->start();
    else
        qt.startGui();
    fontsReady.get_future().wait(); // before Qt asks fontconfig for its fonts
    return qt.measure(plan.table, plan.font, plan.size);
}

// Remembers a measured order for later runs.
void remember(const Plan& plan, const OrderCache* cache, std::string& key, const Measurement& m) {
    if (!cache)
        return;
    if (key.empty())
        key = cache->key(plan.table, plan.font, plan.size);
    cache->store(key, m);
}

// A file is written beside its place and then moved there, so a failed write never leaves a half file.
bool writeOutput(const Job& job, const std::string& bytes) {
    if (job.output.empty()) {
        return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
    }
    if (const int error = files::writeFileWhole(job.output, bytes)) {
        printError(job.picture, "cannot write " + job.output + ": " + std::strerror(error));
        return false;
    }
    return true;
}

// The buffer of a picture: JPEG files through the kernels, anything else through Qt. With a spare core,
// a large JPEG's rows are averaged on it while the next ones decode.
px::Image loadBuffer(const std::string& path, const buffer::Factors& factors, QtServices& qt, QtGate& gate,
                     bool spareCore) {
    if (jpeg::looksLikeJpeg(path)) {
        try {
            buffer::Builder builder(factors);
            px::Image out;
            std::optional<RowPipe> pipe;
            jpeg::decodeInto(
                path,
                [&](const jpeg::Info& info) {
                    const px::Size area = buffer::drawingArea(info.width, info.height, factors);
                    return int64_t(area.width) * area.height * 4;
                },
                [&](const jpeg::Info& info) {
                    const px::Size area = builder.start(info.width, info.height);
                    out = px::Image(area.width, area.height, buffer::kBackground);
                    builder.attach(out.view());
                    // For small pictures averaging costs less than handing rows to another thread.
                    if (spareCore && !builder.copies() &&
                        int64_t(info.width) * info.height >= (int64_t(1) << 21))
                        pipe.emplace(builder, info.width, info.height);
                },
                [&](int y) { return pipe ? pipe->rowTarget(y) : builder.rowTarget(y); },
                [&](int y) { pipe ? pipe->rowReady(y) : builder.rowReady(y); });
            if (pipe)
                pipe->finish();
            return out;
        } catch (const err::Error& e) {
            // Colour spaces the kernels do not turn into RGB are left to Qt's reader.
            if (e.kind() != err::Kind::UnsupportedColourSpace)
                throw;
        }
    }
    gate.need();
    return qt.loadBuffer(path, factors);
}

px::Size pictureSize(const std::string& path, QtServices& qt, QtGate& gate) {
    if (jpeg::looksLikeJpeg(path)) {
        const jpeg::Info info = jpeg::readInfo(path);
        return {info.width, info.height};
    }
    gate.need();
    return qt.pictureSize(path);
}

std::string textOf(const px::Image& buffer, const std::vector<char32_t>& sorted, bool crlf) {
    if (buffer.width <= 0 || buffer.height <= 0)
        return {};
    if (crlf) {
        // With CR LF the bytes are those of the desktop program's saved result file.
        const mapping::TextMapper<char32_t> mapper(sorted, U"\r\n");
        return textcode::encode(mapper.transform(buffer.view()));
    }
    const mapping::TextMapper<char> mapper(sorted, "\n");
    return mapper.transform(buffer.view());
}

// The glyphs of a run's pictures, drawn once for all of them on the main thread, where Qt lives.
using GlyphsFuture = std::shared_future<art::Glyphs>;

// What a picture's conversion writes, in the plan's form. A picture is compressed in `threads` parts.
std::string outputOf(const px::Image& buffer, std::vector<char32_t> sorted, const Plan& plan, const Job& job,
                     const GlyphsFuture& glyphs, int threads) {
    if (plan.invert)
        std::reverse(sorted.begin(), sorted.end());
    if (plan.format == Plan::Format::Text && !plan.colours)
        return textOf(buffer, sorted, plan.crlf);
    art::Lines lines = art::fromBuffer(buffer.view(), sorted);
    if (!plan.colours)
        lines.colours.clear();
    switch (plan.format) {
    case Plan::Format::Text: {
        // Encoded as the plain text is: stripped of its sequences, the same bytes.
        if (plan.crlf)
            return textcode::encode(art::ansi(lines, *plan.colours, U"\r\n"));
        return art::ansiUtf8(lines, *plan.colours, U"\n");
    }
    case Plan::Format::Html: {
        art::Page page;
        page.title = job.picture == kStandardInput ? "standard input"
                                                   : std::filesystem::path(job.picture).filename().string();
        page.fontFamily = plan.font;
        page.points = plan.size;
        page.dark = plan.invert && plan.colours;
        return art::html(lines, page);
    }
    case Plan::Format::Png:
        return art::png(lines, glyphs.get(), plan.invert && plan.colours, threads);
    }
    return {};
}

std::string describe(char32_t c, bool printable) {
    if (printable)
        return textcode::utf8(std::u32string(1, c));
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", unsigned(c));
    return name;
}

// Standard input copied to a file of its own that nobody else can see (it is gone when the converter
// ends), so that it reads like any picture file; returns its path.
std::string spoolStandardInput() {
    FILE* spool = std::tmpfile();
    if (!spool)
        throw err::Error(err::PathFileAccess,
                         std::string("cannot keep standard input: ") + std::strerror(errno));
    char chunk[1 << 16];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, stdin)) > 0)
        if (std::fwrite(chunk, 1, got, spool) != got)
            throw err::Error(err::PathFileAccess,
                             std::string("cannot keep standard input: ") + std::strerror(errno));
    if (std::ferror(stdin) || std::fflush(spool) != 0)
        throw err::Error(err::PathFileAccess,
                         std::string("cannot read standard input: ") + std::strerror(errno));
    return "/proc/self/fd/" + std::to_string(fileno(spool)); // kept open for the rest of the run
}

} // namespace

int printOrder(const Plan& plan, QtServices& qt, const OrderCache* cache) {
    std::string key;
    std::optional<Measurement> m = remembered(plan, cache, key);
    try {
        if (!m) {
            m = measure(plan, qt, cache, key);
            remember(plan, cache, key, *m);
        }
    } catch (const err::Error& e) {
        printError({}, e.description());
        return kUsage;
    }
    for (size_t i = 0; i < m->chars.size(); ++i)
        std::printf("%s\t%d\n", describe(m->chars[i], m->printable[i]).c_str(), m->levels[i]);
    return 0;
}

int run(const Plan& plan, QtServices& qt, const OrderCache* cache) {
    std::string standardInput; // where a picture named "-" was kept
    std::string standardInputError;
    for (const Job& job : plan.jobs) {
        if (job.picture == kStandardInput && !job.refused) {
            try {
                standardInput = spoolStandardInput();
            } catch (const err::Error& e) {
                standardInputError = e.description();
            }
        }
    }
    const auto sourceOf = [&](const Job& job) {
        return job.picture == kStandardInput ? standardInput : job.picture;
    };

    std::promise<Measurement> measuredPromise;
    std::shared_future<Measurement> measured = measuredPromise.get_future().share();
    std::promise<art::Glyphs> glyphsPromise;
    const GlyphsFuture glyphs = glyphsPromise.get_future().share();
    QtGate gate(qt);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const bool spareCore = plan.jobs.size() < cores;
    std::atomic<int> next{0}, failed{0};
    Progress progress(int(plan.jobs.size()), plan.jobs.size() > 1 && isatty(STDERR_FILENO));
    const int workers = int(std::max<size_t>(1, std::min<size_t>(cores, plan.jobs.size())));
    const int threads = std::max(1, int(cores) / workers); // to compress a picture with
    auto work = [&] {
        for (int i = next++; i < int(plan.jobs.size()); i = next++) {
            const Job& job = plan.jobs[size_t(i)];
            bool ok = !job.refused;
            if (ok) {
                try {
                    if (job.picture == kStandardInput && !standardInputError.empty())
                        throw err::Error(err::PathFileAccess, standardInputError);
                    const std::string source = sourceOf(job);
                    buffer::Factors factors = plan.factors;
                    if (plan.columns > 0)
                        factors = factorsForColumns(pictureSize(source, qt, gate), plan.columns,
                                                    measured.get().cellAspect);
                    const px::Image buffer = loadBuffer(source, factors, qt, gate, spareCore);
                    ok = writeOutput(job, outputOf(buffer, measured.get().chars, plan, job, glyphs, threads));
                } catch (const err::Error& e) {
                    // A measurement that could not be made has been reported once for all pictures.
                    if (e.kind() != err::Kind::Reported)
                        printError(job.picture, e.description());
                    ok = false;
                } catch (const std::bad_alloc&) {
                    printError(job.picture, err::description(err::OutOfMemory));
                    ok = false;
                }
            }
            if (!ok)
                ++failed;
            progress.step();
        }
        gate.workerFinished();
    };

    std::vector<std::thread> pool;
    for (int i = 0; i < workers; ++i)
        pool.emplace_back(work);

    // The order, if remembered, is found while the first pictures decode; otherwise Qt starts at once
    // to measure it. Qt starts at once too when a picture that is no JPEG needs it.
    std::string key;
    const std::optional<Measurement> known = remembered(plan, cache, key);
    if (known)
        measuredPromise.set_value(*known);
    bool pictureNeedsQt = plan.format == Plan::Format::Png;
    for (const Job& job : plan.jobs)
        pictureNeedsQt = pictureNeedsQt || (!job.refused && !jpeg::looksLikeJpeg(sourceOf(job)));
    if (known && pictureNeedsQt)
        gate.start();
    if (!known) {
        try {
            const Measurement m = measure(plan, qt, cache, key, &gate);
            measuredPromise.set_value(m); // the pictures need not wait for the order to be remembered
            remember(plan, cache, key, m);
        } catch (const err::Error& e) {
            printError({}, e.description());
            measuredPromise.set_exception(
                std::make_exception_ptr(err::Error(e.number(), {}, err::Kind::Reported)));
        }
    }
    // A picture's glyphs are drawn while the pictures decode.
    if (plan.format == Plan::Format::Png) {
        try {
            gate.start();
            glyphsPromise.set_value(qt.drawGlyphs(plan.table, plan.font, plan.size));
        } catch (const err::Error&) {
            glyphsPromise.set_exception(std::current_exception());
        }
    }
    gate.serve(workers);
    for (auto& t : pool)
        t.join();
    return failed == 0 ? 0 : failed == int(plan.jobs.size()) ? kUsage : 1;
}

} // namespace cli
