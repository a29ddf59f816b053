#include "qt_module_loader.h"

#include "base/install_layout.h"
#include "kernels/errors.h"

#include <cstdlib>
#include <dlfcn.h>

namespace cli {

std::string qtModulePath() {
    if (const char* chosen = std::getenv("TESSARINE_QT_MODULE"); chosen && *chosen)
        return chosen;
    return layout::moduleFile(layout::programFolder(), TESSARINE_QT_MODULE_NAME);
}

QtServices& QtModule::started() {
    std::call_once(once_, [this] {
        const std::string path = qtModulePath();
        void* handle = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
        if (!handle) {
            const char* why = ::dlerror();
            error_ = "cannot load the Qt module " + path + ": " + (why ? why : "unknown reason");
            return;
        }
        const auto factory = reinterpret_cast<QtServicesFactory>(::dlsym(handle, kQtServicesFactory));
        services_.reset(factory ? factory(kQtServicesVersion) : nullptr);
        if (!services_) {
            error_ = "the Qt module " + path + " does not belong to this tessarine-convert";
            return;
        }
        try {
            services_->start(programName_);
        } catch (const err::Error& e) {
            error_ = e.description();
        } catch (const std::exception& e) {
            error_ = std::string("Qt cannot start: ") + e.what();
        }
    });
    if (!error_.empty())
        throw err::Error(err::PathFileAccess, error_);
    return *services_;
}

void warmFontSystem() {
    // Kept loaded: Qt uses the same library, already set up.
    if (void* fontconfig = ::dlopen("libfontconfig.so.1", RTLD_LAZY | RTLD_LOCAL))
        if (auto init = reinterpret_cast<int (*)()>(::dlsym(fontconfig, "FcInit")))
            init();
}

} // namespace cli
