#pragma once

#include "qt_services.h"

#include <memory>
#include <string>

// The Qt services carried out by the Qt module (qt_module_api.h), opened with dlopen when first needed.
namespace cli {

// Where the module is looked for: $TESSARINE_QT_MODULE when set, beside the executable (a build folder),
// then in the library folder of the installation the executable belongs to.
std::string qtModulePath();

std::unique_ptr<QtServices> makeModuleQtServices(const std::string& programName);

// Loads the font configuration and its caches (fontconfig), which Qt's first measurement would otherwise
// wait for: run on a thread of its own while the module loads. Does nothing when fontconfig is missing.
void warmFontSystem();

} // namespace cli
