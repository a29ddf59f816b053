#include "order_cache/order_cache.h"

#include "base/files.h"
#include "kernels/glyph_pattern.h"
#include "kernels/hash.h"
#include "kernels/ink_measure.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

namespace {

// An entry holds its key and a line a character: far less than this.
constexpr int64_t kMaxEntryBytes = 1 << 20;

// The end of a key whose fonts could not be fingerprinted: no entry is read or written for it.
constexpr std::string_view kUnknownFonts = "|fonts unknown";

bool fontsKnown(const std::string& key) {
    return !key.ends_with(kUnknownFonts);
}

std::string hexBytes(const std::string& s) {
    std::string out;
    char b[3];
    for (unsigned char c : s) {
        std::snprintf(b, sizeof b, "%02x", c);
        out += b;
    }
    return out;
}

// The identity of the files a measurement runs through: a new Qt, FreeType or fontconfig, or a rebuilt
// module, may draw glyphs differently.
std::string identity(const std::vector<std::string>& files) {
    std::string out;
    for (const std::string& path : files) {
        struct stat st {};
        out += path;
        if (::stat(path.c_str(), &st) == 0) {
            char stamp[80];
            std::snprintf(stamp, sizeof stamp, ":%lld:%lld.%09ld", static_cast<long long>(st.st_size),
                          static_cast<long long>(st.st_mtim.tv_sec), st.st_mtim.tv_nsec);
            out += stamp;
        }
        out += ";";
    }
    return out;
}

// An entry's patterns are some hundred thousand hex digits: read a digit at a time, not through scanf.
bool fromHex(const std::string& hex, std::string& out) {
    out.clear();
    if (hex.size() % 2 != 0)
        return false;
    const auto nibble = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
    };
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = nibble(hex[i]), low = nibble(hex[i + 1]);
        if (high < 0 || low < 0)
            return false;
        out.push_back(char(high * 16 + low));
    }
    return true;
}

// A folder this user may trust: a real folder (no symbolic link), owned by the user, that no one else may
// write. The folder above it may be shared when its sticky bit keeps others from renaming what is in it.
bool trusted(const std::string& path, bool mine) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if (mine)
        return st.st_uid == ::geteuid() && (st.st_mode & 022) == 0;
    return (st.st_uid == ::geteuid() || st.st_uid == 0) &&
           ((st.st_mode & 022) == 0 || (st.st_mode & S_ISVTX));
}

// Makes a folder for this user alone when it is missing, and up to `above` folders above it that are
// missing too; a folder further up that is missing is not made (a home that does not exist, as system
// accounts' /nonexistent, stays so).
bool makeFolder(const std::string& path, int above) {
    if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST)
        return true;
    if (errno != ENOENT || above == 0)
        return false;
    const size_t slash = path.rfind('/');
    return slash != std::string::npos && slash > 0 && makeFolder(path.substr(0, slash), above - 1) &&
           (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST);
}

// The characters are exactly the table's, the counts within the glyph surface, the aspect usable.
bool fits(const Measurement& m, const std::u32string& table, double size) {
    std::u32string chars(m.chars.begin(), m.chars.end()), wanted = table;
    std::sort(chars.begin(), chars.end());
    std::sort(wanted.begin(), wanted.end());
    const int64_t side = glyphs::surfaceSide(size);
    const bool counts = std::all_of(m.levels.begin(), m.levels.end(),
                                    [&](int32_t level) { return level >= 0 && level <= side * side; });
    return chars == wanted && counts && m.printable.size() == m.chars.size() && std::isfinite(m.cellAspect) &&
           m.cellAspect >= 0.1 && m.cellAspect <= 20;
}

std::string number(double v) {
    char out[40];
    std::snprintf(out, sizeof out, "%.17g", v);
    return out;
}

} // namespace

OrderCache::OrderCache(std::string folder, std::vector<std::string> measuringFiles,
                       FontConfigurationSource fonts)
    : folder_(std::move(folder)), measuringFiles_(std::move(measuringFiles)), fonts_(std::move(fonts)) {
    for (const char* path : {TESSARINE_MEASURING_LIBRARIES})
        measuringFiles_.emplace_back(path);
}

std::optional<std::string> OrderCache::userFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && *cache == '/')
        return std::string(cache) + "/tessarine";
    const char* home = std::getenv("HOME");
    if (home && *home == '/')
        return std::string(home) + "/.cache/tessarine";
    return std::nullopt;
}

bool OrderCache::ownFolder() const {
    const size_t slash = folder_.rfind('/');
    const std::string above = slash == std::string::npos || slash == 0 ? "/" : folder_.substr(0, slash);
    return trusted(above, false) && trusted(folder_, true);
}

bool OrderCache::ordersFolder(bool create) const {
    const std::string orders = folder_ + "/orders";
    // The orders, the cache's own folder and the user's cache folder ($XDG_CACHE_HOME, ~/.cache), under a
    // home (or a folder for $XDG_CACHE_HOME) that exists.
    if (create && !makeFolder(orders, 2))
        return false;
    return ownFolder() && trusted(orders, true);
}

namespace {

// What a key says about the table, font and size alone: the first part of an entry's file name.
std::string subject(const std::u32string& table, const std::string& font, double size) {
    std::string codes;
    char b[12];
    for (char32_t c : table) {
        std::snprintf(b, sizeof b, "%x,", unsigned(c));
        codes += b;
    }
    return "font " + hexBytes(font) + "|size " + number(size) + "|table " + codes;
}

} // namespace

std::string OrderCache::key(const std::u32string& table, const std::string& font, double size) const {
    const bool own = ownFolder();
    const std::optional<std::string> fonts =
        fontFingerprint(fonts_, own ? memoPath() : std::string(), own ? nullptr : &unkeptMemo_);
    return subject(table, font, size) +
           "|tessarine-order 5|program " TESSARINE_VERSION "|qt " TESSARINE_QT_VERSION "|libraries " +
           hashing::fnv64Hex(identity(measuringFiles_)) +
           (fonts ? "|fonts " + *fonts : std::string(kUnknownFonts));
}

std::string OrderCache::entryPath(const std::string& key) const {
    // The subject's part of the key ends where the versions begin.
    const std::string part = key.substr(0, key.find("|tessarine-order"));
    return folder_ + "/orders/" + hashing::fnv64Hex(part) + "-" + hashing::fnv64Hex(key) + ".order";
}

bool OrderCache::mayHold(const std::u32string& table, const std::string& font, double size) const {
    const std::string prefix = hashing::fnv64Hex(subject(table, font, size)) + "-";
    if (!ordersFolder(false))
        return false;
    DIR* d = ::opendir((folder_ + "/orders").c_str());
    if (!d)
        return false;
    bool found = false;
    while (dirent* e = ::readdir(d))
        found = found || std::strncmp(e->d_name, prefix.c_str(), prefix.size()) == 0;
    ::closedir(d);
    return found;
}

std::optional<Measurement> OrderCache::load(const std::string& key, const std::u32string& table,
                                            double size) const {
    std::string text;
    if (!fontsKnown(key) || !ordersFolder(false) || !files::readFile(entryPath(key), text, kMaxEntryBytes))
        return std::nullopt;
    // The checksum covers everything before its own line.
    const size_t sumAt = text.rfind("sum ");
    if (sumAt == std::string::npos || sumAt == 0 || text[sumAt - 1] != '\n')
        return std::nullopt;
    if (text.compare(sumAt, std::string::npos, "sum " + hashing::fnv64Hex(text.substr(0, sumAt)) + "\n") != 0)
        return std::nullopt;
    const std::string body = text.substr(0, sumAt);
    size_t at = 0;
    const auto getline = [&](std::string& line) {
        if (at >= body.size())
            return false;
        const size_t end = body.find('\n', at);
        line = body.substr(at, end - at);
        at = end + 1; // the body ends with a line end: the checksum line follows one
        return true;
    };
    std::string line;
    if (!getline(line) || line != key)
        return std::nullopt;
    Measurement m;
    size_t count = 0;
    if (!getline(line) || std::sscanf(line.c_str(), "count %zu", &count) != 1 || count > 256)
        return std::nullopt;
    if (!getline(line) || std::sscanf(line.c_str(), "aspect %lf", &m.cellAspect) != 1)
        return std::nullopt;
    int installed = 0;
    char family[512] = {0};
    if (!getline(line) || std::sscanf(line.c_str(), "family %d %511s", &installed, family) < 1 ||
        !fromHex(family, m.family))
        return std::nullopt;
    m.fontInstalled = installed != 0;
    int width = 0, height = 0;
    if (!getline(line) || std::sscanf(line.c_str(), "pattern %d %d", &width, &height) != 2 || width < 0 ||
        height < 0 || width > glyphs::kMaxPatternWidth || height > glyphs::kMaxPatternHeight)
        return std::nullopt;
    for (size_t i = 0; i < count; ++i) {
        unsigned c = 0;
        int level = 0, printable = 0, used = 0;
        if (!getline(line) || std::sscanf(line.c_str(), "%x %d %d %n", &c, &level, &printable, &used) != 3)
            return std::nullopt;
        std::string ink;
        if (!fromHex(line.substr(size_t(used)), ink) || ink.size() != size_t(width) * size_t(height))
            return std::nullopt;
        m.chars.push_back(char32_t(c));
        m.levels.push_back(level);
        m.printable.push_back(printable != 0);
        m.patterns.push_back({width, height, std::vector<uint8_t>(ink.begin(), ink.end())});
    }
    // The font files the measurement drew with, each still as it was: a font rewritten or removed is seen.
    size_t fontFiles = 0;
    if (!getline(line) || std::sscanf(line.c_str(), "files %zu", &fontFiles) != 1 || fontFiles > 4096)
        return std::nullopt;
    for (size_t i = 0; i < fontFiles; ++i) {
        if (!getline(line) || line.rfind("f ", 0) != 0 || line.find('\t') == std::string::npos)
            return std::nullopt;
        const size_t tab = line.find('\t');
        const std::string path = line.substr(tab + 1);
        if (line.substr(2, tab - 2) != identityOf(path))
            return std::nullopt;
        m.fontFiles.push_back(path);
    }
    if (getline(line) || !fits(m, table, size))
        return std::nullopt; // more than it said, or not the table's
    return m;
}

bool OrderCache::store(const std::string& key, const Measurement& m) const {
    std::error_code ec;
    if (!fontsKnown(key) || !ordersFolder(true))
        return false;
    std::string text = key + "\n" + "count " + std::to_string(m.chars.size()) + "\n" + "aspect " +
                       number(m.cellAspect) + "\n" + "family " + (m.fontInstalled ? "1 " : "0 ") +
                       hexBytes(m.family.substr(0, 255)) + "\n";
    // Every pattern has the ink box's size; an entry without patterns (or with others) is not written.
    const glyphs::Pattern none;
    const glyphs::Pattern& first = m.patterns.empty() ? none : m.patterns.front();
    if (m.patterns.size() != m.chars.size() ||
        std::any_of(m.patterns.begin(), m.patterns.end(), [&](const glyphs::Pattern& p) {
            return p.width != first.width || p.height != first.height ||
                   p.ink.size() != size_t(p.width * p.height);
        }))
        return false;
    text += "pattern " + std::to_string(first.width) + " " + std::to_string(first.height) + "\n";
    char row[48];
    for (size_t i = 0; i < m.chars.size(); ++i) {
        std::snprintf(row, sizeof row, "%x %d %d ", unsigned(m.chars[i]), m.levels[i],
                      m.printable[i] ? 1 : 0);
        text += row + hexBytes(std::string(m.patterns[i].ink.begin(), m.patterns[i].ink.end())) + "\n";
    }
    text += "files " + std::to_string(m.fontFiles.size()) + "\n";
    for (const std::string& path : m.fontFiles)
        text += "f " + identityOf(path) + "\t" + path + "\n";
    text += "sum " + hashing::fnv64Hex(text) + "\n";
    const std::string target = entryPath(key);
    if (files::writePrivate(target, text) != 0)
        return false;
    if (!unkeptMemo_.empty() && ownFolder())
        files::writePrivate(memoPath(), unkeptMemo_);
    unkeptMemo_.clear();
    // Entries for the same subject made for other fonts or programs will not be used again.
    const std::string name = std::filesystem::path(target).filename().string();
    const std::string prefix = name.substr(0, name.find('-') + 1);
    for (const auto& entry : std::filesystem::directory_iterator(folder_ + "/orders", ec)) {
        const std::string other = entry.path().filename().string();
        if (other != name && other.compare(0, prefix.size(), prefix) == 0 &&
            other.find(".tmp-") == std::string::npos)
            std::filesystem::remove(entry.path(), ec);
    }
    return true;
}

RememberedOrder::RememberedOrder(const OrderCache* cache, std::u32string table, std::string font, double size)
    : cache_(cache), table_(std::move(table)), font_(std::move(font)), size_(size) {}

std::optional<Measurement> RememberedOrder::find() {
    if (!cache_ || !cache_->mayHold(table_, font_, size_))
        return std::nullopt;
    workOutKey();
    return cache_->load(key_, table_, size_);
}

void RememberedOrder::workOutKey() {
    if (cache_ && key_.empty())
        key_ = cache_->key(table_, font_, size_);
}

void RememberedOrder::keep(const Measurement& m) {
    workOutKey();
    if (cache_)
        cache_->store(key_, m);
}

} // namespace cli
