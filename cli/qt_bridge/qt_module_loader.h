#pragma once

#include "qt_bridge/qt_services.h"

#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// The Qt services of the module tessarine-convert-qt.so, opened when first needed.
namespace cli {

// Where the module is looked for: $TESSARINE_QT_MODULE when set, beside the executable (a build folder),
// then in the library folder of the installation the executable belongs to.
std::string qtModulePath();

class QtModule {
  public:
    explicit QtModule(std::string programName) : programName_(std::move(programName)) {}

    // The services of the module, loaded on the first call, Qt not started: for what needs no application
    // (fontconfig's configuration), from any thread. Raises 75 naming the module and the reason when it
    // cannot be loaded, on every call.
    QtServices& loaded();
    // The services with Qt started on the first call: on the main thread. Raises as loaded() does, and when
    // Qt cannot start.
    QtServices& started();

  private:
    std::string programName_;
    std::once_flag loadOnce_, startOnce_;
    std::unique_ptr<QtServices> services_;
    std::string loadError_, startError_;
};

// Loads the font configuration and its caches (fontconfig), which Qt's first measurement would otherwise
// wait for: run on a thread of its own while the module loads. Does nothing when fontconfig is missing.
void warmFontSystem();

// Qt started on this thread, the font system made ready alongside on a helper (Qt's first measurement would
// otherwise wait for it), which then runs `alongside` (the order's cache key, worked out while the table is
// measured), so that what comes after costs nothing more.
class QtStart {
  public:
    // Raises as QtModule::started does.
    QtStart(QtModule& qt, std::function<void()> alongside);
    ~QtStart() { finish(); }
    QtStart(const QtStart&) = delete;
    QtStart& operator=(const QtStart&) = delete;
    QtServices& services() const { return *services_; }
    // The helper done, `alongside` with it.
    void finish() {
        if (helper_.joinable())
            helper_.join();
    }

  private:
    std::promise<void> fontsReady_;
    std::thread helper_;
    QtServices* services_ = nullptr;
};

} // namespace cli
