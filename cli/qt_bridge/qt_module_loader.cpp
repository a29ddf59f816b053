#include "qt_bridge/qt_module_loader.h"

#include "base/install_layout.h"
#include "kernels/errors.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

std::string qtModulePath() {
    if (const char* chosen = std::getenv("TESSARINE_QT_MODULE"); chosen && *chosen)
        return chosen;
    return layout::moduleFile(layout::programFolder(), TESSARINE_QT_MODULE_NAME);
}

namespace {

// Whether a shared object is whole: every part its headers name lies inside the file. The loader maps a
// file cut short (an interrupted install) and the program dies of SIGBUS on the first missing page.
bool wholeSharedObject(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return true; // the loader says why it cannot open it
    struct stat st {};
    Elf64_Ehdr header{};
    bool whole = ::fstat(fd, &st) == 0 && ::pread(fd, &header, sizeof header, 0) == ssize_t(sizeof header) &&
                 std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 && header.e_ident[EI_CLASS] == ELFCLASS64;
    const uint64_t size = uint64_t(st.st_size);
    const auto inside = [&](uint64_t offset, uint64_t length) {
        return offset <= size && length <= size - offset;
    };
    whole = whole && header.e_phentsize == sizeof(Elf64_Phdr) &&
            inside(header.e_phoff, uint64_t(header.e_phnum) * sizeof(Elf64_Phdr)) &&
            inside(header.e_shoff, uint64_t(header.e_shnum) * header.e_shentsize);
    for (int i = 0; whole && i < header.e_phnum; ++i) {
        Elf64_Phdr segment{};
        whole = ::pread(fd, &segment, sizeof segment, off_t(header.e_phoff + i * sizeof segment)) ==
                    ssize_t(sizeof segment) &&
                (segment.p_type != PT_LOAD || inside(segment.p_offset, segment.p_filesz));
    }
    ::close(fd);
    return whole;
}

} // namespace

QtServices& QtModule::loaded() {
    std::call_once(loadOnce_, [this] {
        const std::string path = qtModulePath();
        if (!wholeSharedObject(path)) {
            loadError_ = "cannot load the Qt module " + path + ": the file is damaged or cut short";
            return;
        }
        void* handle = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
        if (!handle) {
            const char* why = ::dlerror();
            loadError_ = "cannot load the Qt module " + path + ": " + (why ? why : "unknown reason");
            return;
        }
        const auto factory = reinterpret_cast<QtServicesFactory>(::dlsym(handle, kQtServicesFactory));
        services_.reset(factory ? factory(kQtServicesVersion) : nullptr);
        if (!services_)
            loadError_ = "the Qt module " + path + " does not belong to this tessarine-convert";
    });
    if (!loadError_.empty())
        throw err::Error(err::PathFileAccess, loadError_);
    return *services_;
}

QtServices& QtModule::started() {
    QtServices& services = loaded();
    std::call_once(startOnce_, [&] {
        try {
            services.start(programName_);
        } catch (const err::Error& e) {
            startError_ = e.description();
        } catch (const std::exception& e) {
            startError_ = std::string("Qt cannot start: ") + e.what();
        }
    });
    if (!startError_.empty())
        throw err::Error(err::PathFileAccess, startError_);
    return services;
}

void warmFontSystem() {
    // Kept loaded: Qt uses the same library, already set up.
    if (void* fontconfig = ::dlopen("libfontconfig.so.1", RTLD_LAZY | RTLD_LOCAL))
        if (auto init = reinterpret_cast<int (*)()>(::dlsym(fontconfig, "FcInit")))
            init();
}

QtStart::QtStart(QtModule& qt, std::function<void()> alongside) {
    helper_ = std::thread([this, alongside = std::move(alongside)] {
        warmFontSystem();
        fontsReady_.set_value();
        if (alongside)
            alongside();
    });
    try {
        services_ = &qt.started();
    } catch (...) {
        helper_.join();
        throw;
    }
    fontsReady_.get_future().wait(); // before Qt asks fontconfig for its fonts
}

} // namespace cli
