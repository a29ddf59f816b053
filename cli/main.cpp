// tessarine-convert: the desktop program's conversion from the command line, for scripts and batches.
#include "options.h"
#include "plan.h"
#include "qt_services_impl.h"
#include "run.h"

#include "core/app_info.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    constexpr int kUsage = 2;
    int status = 0;
    try {
        const cli::Options options = cli::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (options.help) {
            std::fputs(cli::helpText().c_str(), stdout);
            return 0;
        }
        if (options.version) {
            std::printf("tessarine-convert %s\n", app::versionText().toStdString().c_str());
            return 0;
        }
        const auto qt = cli::makeQtServices(argc, argv);
        const cli::Plan plan = cli::makePlan(options, *qt);
        status = plan.order ? cli::printOrder(plan, *qt) : cli::run(plan, *qt);
    } catch (const cli::UsageError& e) {
        cli::printError({}, e.what());
        return kUsage;
    }
    // Everything is written; tearing down the font machinery and unloading libraries would only add
    // to a script's wait.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
