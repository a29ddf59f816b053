#pragma once

#include "qt_services.h"

#include <memory>

namespace cli {

// The services, carried out by the core library in this process.
std::unique_ptr<QtServices> makeQtServices(int argc, char** argv);

} // namespace cli
