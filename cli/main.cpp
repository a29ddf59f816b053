// tessarine-convert: the desktop program's conversion from the command line, for scripts and batches.
// main reads the options, makes the plan and carries it out (run.h); the plan decides beforehand what
// needs Qt, which is loaded from a module only then.
#include "base/signals.h"
#include "options.h"
#include "order_cache/order_cache.h"
#include "output.h"
#include "plan.h"
#include "qt_bridge/qt_module_loader.h"
#include "run.h"
#include "surroundings.h"

#include "kernels/version.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

int main(int argc, char* argv[]) {
    constexpr int kUsage = 2;
    cli::endCleanlyOnSignals();
    int status = 0;
    try {
        const cli::Options options = cli::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (options.help)
            return cli::writeStandardOutput(cli::helpText()) ? 0 : kUsage;
        if (options.version)
            return cli::writeStandardOutput("tessarine-convert " + version::text() + "\n") ? 0 : kUsage;
        surroundings::Process world;
        const cli::Plan plan = cli::makePlan(options, world);
        cli::QtModule qt("tessarine-convert");
        std::optional<cli::OrderCache> cache;
        const std::optional<std::string> folder = cli::OrderCache::userFolder();
        if (plan.useCache && folder)
            cache.emplace(*folder, std::vector<std::string>{cli::qtModulePath()},
                          [&qt] { return qt.loaded().fontConfiguration(); });
        const cli::OrderCache* orders = cache ? &*cache : nullptr;
        status = plan.order ? cli::printOrder(plan, qt, orders) : cli::run(plan, qt, orders);
    } catch (const err::Error& e) {
        cli::printError({}, e.description());
        return kUsage;
    }
    // Everything is written; tearing down the font machinery and unloading libraries would only add
    // to a script's wait.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
