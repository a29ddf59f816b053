#include "qt_module_client.h"

#include "kernels/errors.h"
#include "kernels/text_encoding.h"
#include "plan.h"
#include "qt_module_api.h"

#include <algorithm>
#include <dlfcn.h>
#include <mutex>
#include <sys/stat.h>

namespace cli {

namespace {

[[noreturn]] void raise(const TessarineError& e) {
    throw err::Error(e.number, e.description, err::Kind(e.kind));
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

class ModuleQtServices : public QtServices {
  public:
    explicit ModuleQtServices(std::string programName) : programName_(std::move(programName)) {}

    void startGui() override {
        std::call_once(started_, [this] {
            try {
                TessarineError e{};
                if (module().start(programName_.c_str(), &e) != 0)
                    raise(e);
            } catch (const err::Error& e) {
                startError_ = e.description();
            }
        });
        if (!startError_.empty())
            throw err::Error(err::PathFileAccess, startError_);
    }

    Measurement measure(const std::u32string& table, const std::string& font, double size) override {
        startGui();
        const int n = int(table.size());
        std::vector<uint32_t> chars(table.size());
        std::vector<int32_t> levels(table.size());
        std::vector<uint8_t> printable(table.size());
        Measurement m;
        TessarineError e{};
        if (module().measure(reinterpret_cast<const uint32_t*>(table.data()), n, font.c_str(), size,
                             chars.data(), levels.data(), printable.data(), &m.cellAspect, &e) != 0)
            raise(e);
        m.chars.assign(chars.begin(), chars.end());
        m.levels = levels;
        m.printable.assign(printable.begin(), printable.end());
        return m;
    }

    px::Size pictureSize(const std::string& path) override {
        startGui();
        px::Size s;
        TessarineError e{};
        if (module().pictureSize(path.c_str(), &s.width, &s.height, &e) != 0)
            raise(e);
        return s;
    }

    px::Image loadBuffer(const std::string& path, const buffer::Factors& factors) override {
        startGui();
        px::Image out;
        const TessarineFactors f{factors.scaled ? 1 : 0, factors.h, factors.v};
        TessarineError e{};
        const auto storage = [](void* context, int width, int height) -> uint32_t* {
            auto* image = static_cast<px::Image*>(context);
            *image = px::Image(width, height, 0);
            return image->pixels.data();
        };
        if (module().loadBuffer(path.c_str(), &f, storage, &out, &e) != 0)
            raise(e);
        return out;
    }

    SettingsFile readSettings(const std::string& path) override {
        SettingsFile s;
        TessarineSettingsNumbers numbers{};
        TessarineError e{};
        const auto text = [](void* context, int field, const char* utf8, size_t length) {
            auto* settings = static_cast<SettingsFile*>(context);
            const std::string value(utf8, length);
            if (field == TessarineFieldTable) {
                std::u32string table;
                textcode::decodeUtf8(value, table);
                settings->table = table;
            } else if (field == TessarineFieldFont)
                settings->font = value;
        };
        if (module().readSettings(path.c_str(), text, &s, &numbers, &e) != 0)
            raise(e);
        if (numbers.hasSize)
            s.size = numbers.size;
        if (numbers.hasH)
            s.h = numbers.h;
        if (numbers.hasV)
            s.v = numbers.v;
        return s;
    }

    art::Glyphs drawGlyphs(const std::u32string& chars, const std::string& font, double size) override {
        startGui();
        struct Room {
            art::Glyphs glyphs;
            std::vector<uint8_t> masks;
            size_t maskSize = 0;
        } room;
        const auto storage = [](void* context, int cellWidth, int cellHeight, int margin,
                                int count) -> uint8_t* {
            auto* r = static_cast<Room*>(context);
            r->glyphs.cellWidth = cellWidth;
            r->glyphs.cellHeight = cellHeight;
            r->glyphs.margin = margin;
            r->maskSize = size_t(cellWidth + 2 * margin) * size_t(cellHeight + 2 * margin);
            r->masks.assign(r->maskSize * size_t(std::max(0, count)), 0);
            return r->masks.data();
        };
        std::vector<uint32_t> codes(chars.begin(), chars.end());
        TessarineError e{};
        if (module().drawGlyphs(codes.data(), int(codes.size()), font.c_str(), size, storage, &room, &e) != 0)
            raise(e);
        for (size_t i = 0; i < chars.size() && room.maskSize > 0; ++i) {
            const auto first = room.masks.begin() + std::ptrdiff_t(i * room.maskSize);
            if (std::any_of(first, first + std::ptrdiff_t(room.maskSize), [](uint8_t a) { return a != 0; }))
                room.glyphs.masks[chars[i]].assign(first, first + std::ptrdiff_t(room.maskSize));
        }
        return room.glyphs;
    }

  private:
    // Loads the module on first use; raises with the reason when it is missing or does not fit.
    const TessarineQtModule& module() {
        std::call_once(loaded_, [this] {
            const std::string path = qtModulePath();
            void* handle = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
            if (!handle) {
                const char* why = ::dlerror();
                loadError_ = "cannot load the Qt module " + path + ": " + (why ? why : "unknown reason");
                return;
            }
            using Entry = const TessarineQtModule* (*)();
            auto entry = reinterpret_cast<Entry>(::dlsym(handle, "tessarine_qt_module"));
            const TessarineQtModule* m = entry ? entry() : nullptr;
            if (!m || m->version != TESSARINE_QT_MODULE_VERSION) {
                loadError_ = "the Qt module " + path + " does not belong to this tessarine-convert";
                return;
            }
            module_ = m;
        });
        if (!module_)
            throw err::Error(err::PathFileAccess, loadError_);
        return *module_;
    }

    std::string programName_;
    std::once_flag loaded_, started_;
    const TessarineQtModule* module_ = nullptr;
    std::string loadError_, startError_;
};

} // namespace

std::string qtModulePath() {
    if (const char* chosen = std::getenv("TESSARINE_QT_MODULE"); chosen && *chosen)
        return chosen;
    const std::string folder = programFolder();
    const std::string beside = folder + "/" TESSARINE_QT_MODULE_NAME;
    if (exists(beside))
        return beside;
    return folder + "/" TESSARINE_QT_MODULE_FROM_BINDIR "/" TESSARINE_QT_MODULE_NAME;
}

void warmFontSystem() {
    // Kept loaded: Qt uses the same library, already set up.
    if (void* fontconfig = ::dlopen("libfontconfig.so.1", RTLD_LAZY | RTLD_LOCAL))
        if (auto init = reinterpret_cast<int (*)()>(::dlsym(fontconfig, "FcInit")))
            init();
}

std::unique_ptr<QtServices> makeModuleQtServices(const std::string& programName) {
    return std::make_unique<ModuleQtServices>(programName);
}

} // namespace cli
