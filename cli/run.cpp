#include "run.h"

#include "animation.h"
#include "kernels/errors.h"
#include "kernels/text_encoding.h"
#include "output.h"
#include "picture_job.h"
#include "terminal/progress.h"
#include "worker_pool.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <optional>
#include <thread>
#include <unistd.h>

namespace cli {

namespace {

constexpr int kUsage = 2;

// A word when the font asked for is not installed: the font system measured in another.
void reportFont(const Plan& plan, const Measurement& m) {
    if (!m.fontInstalled)
        printError({}, "font \"" + plan.font + "\" is not installed; measured in \"" + m.family + "\"");
}

std::string describe(char32_t c, bool printable) {
    if (printable)
        return textcode::utf8(std::u32string(1, c));
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", unsigned(c));
    return name;
}

} // namespace

int printOrder(const Plan& plan, QtModule& qt, const OrderCache* cache) {
    RememberedOrder orders(cache, plan.table, plan.font, plan.size);
    std::optional<Measurement> m = orders.find();
    try {
        if (!m) {
            QtStart start(qt, [&orders] { orders.workOutKey(); });
            m = start.services().measure(plan.table, plan.font, plan.size);
            start.finish();
            orders.keep(*m);
        }
    } catch (const err::Error& e) {
        printError({}, e.description());
        return kUsage;
    }
    reportFont(plan, *m);
    // The order holds for this font and size only: said apart from the order itself, which scripts read.
    char size[32];
    std::snprintf(size, sizeof size, "%g", plan.size);
    printError({}, "measured in \"" + m->family + "\" at " + size + " points");
    std::string text;
    for (size_t i = 0; i < m->chars.size(); ++i)
        text += describe(m->chars[i], m->printable[i]) + "\t" + std::to_string(m->levels[i]) + "\n";
    return writeStandardOutput(text) ? 0 : kUsage;
}

namespace {

// What the main thread owes the workers: the order, Qt started, the glyphs.
struct Promises {
    std::promise<Measurement> measured;
    std::promise<QtServices*> started;
    std::promise<art::Glyphs> glyphs;
};

// On the main thread while the workers convert: starts Qt, measures the table unless its order is known,
// and draws the glyphs when the form needs them, each promise kept (or broken with the reason) in turn.
void serveWorkers(const Plan& plan, QtModule& qt, RememberedOrder& orders, bool known, Promises& p) {
    QtServices* services = nullptr;
    std::optional<QtStart> start;
    std::exception_ptr notStarted;
    try {
        services = &start
                        .emplace(
                            qt, known ? std::function<void()>() : [&orders] { orders.workOutKey(); })
                        .services();
        p.started.set_value(services);
    } catch (const err::Error&) {
        notStarted = std::current_exception();
        p.started.set_exception(notStarted);
    }
    if (!known) {
        try {
            if (notStarted)
                std::rethrow_exception(notStarted);
            const Measurement m = services->measure(plan.table, plan.font, plan.size);
            p.measured.set_value(m); // the pictures need not wait for the order to be remembered
            reportFont(plan, m);
            start->finish();
            orders.keep(m);
        } catch (const err::Error& e) {
            printError({}, e.description());
            p.measured.set_exception(
                std::make_exception_ptr(err::Error(e.number(), {}, err::Kind::Reported)));
        }
    }
    if (plan.form->needsGlyphs) {
        try {
            if (notStarted)
                std::rethrow_exception(notStarted);
            p.glyphs.set_value(services->drawGlyphs(plan.table, plan.font, plan.size));
        } catch (const err::Error&) {
            p.glyphs.set_exception(std::current_exception());
        }
    }
}

} // namespace

int play(const Plan& plan, QtModule& qt, const OrderCache* cache) {
    RememberedOrder orders(cache, plan.table, plan.font, plan.size);
    std::optional<Measurement> m = orders.find();
    Promises promises;
    Provided provided{promises.measured.get_future().share(), promises.started.get_future().share(),
                      promises.glyphs.get_future().share()};
    try {
        QtStart start(
            qt, m ? std::function<void()>() : [&orders] { orders.workOutKey(); });
        QtServices& services = start.services();
        if (!m) {
            m = services.measure(plan.table, plan.font, plan.size);
            start.finish();
            orders.keep(*m);
        }
        reportFont(plan, *m);
        promises.measured.set_value(*m);
        return animate(plan, services, provided);
    } catch (const err::Error& e) {
        printError({}, e.description());
        return kUsage;
    }
}

int run(const Plan& plan, QtModule& qt, const OrderCache* cache) {
    if (plan.animate)
        return play(plan, qt, cache);
    Promises promises;
    Provided provided{promises.measured.get_future().share(), promises.started.get_future().share(),
                      promises.glyphs.get_future().share()};
    const int jobs = int(plan.jobs.size());
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const int workers = std::max(1, std::min(int(cores), jobs));
    provided.threads = std::max(1, int(cores) / workers);
    provided.spareCore = plan.jobs.size() < cores;

    // Pictures refused while planning (a name clash, standard input that holds none) need nothing more.
    const bool anything = std::any_of(plan.jobs.begin(), plan.jobs.end(),
                                      [](const Job& j) { return !j.refused && j.inputError.empty(); });
    std::atomic<int> failed{0};
    InOrder standardOutput(jobs);
    const bool toFiles =
        std::all_of(plan.jobs.begin(), plan.jobs.end(), [](const Job& j) { return !j.output.empty(); });
    progress::Bar progress(jobs, toFiles && jobs > 1 && isatty(STDERR_FILENO));
    WorkerPool pool(jobs, workers, [&](int i) {
        const Job& job = plan.jobs[size_t(i)];
        std::optional<std::string> output = convertPicture(plan, job, provided);
        if (!output)
            ++failed;
        if (job.output.empty())
            standardOutput.done(i, std::move(output));
        else if (output && !writeOutput(job.picture, job.output, *output))
            ++failed;
        progress.step();
    });
    // The order, if remembered, is found while the first pictures decode.
    RememberedOrder orders(cache, plan.table, plan.font, plan.size);
    const std::optional<Measurement> known = anything ? orders.find() : std::nullopt;
    if (known) {
        promises.measured.set_value(*known);
        reportFont(plan, *known);
    }
    if (anything && (!known || plan.needsQt()))
        serveWorkers(plan, qt, orders, known.has_value(), promises);
    pool.wait();
    const int lost = failed + standardOutput.unwritten();
    return lost == 0 ? 0 : lost == jobs ? kUsage : 1;
}

} // namespace cli
