#include "font_fingerprint.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/stat.h>
#include <vector>

namespace cli {

namespace {

// FNV-1a, 64 bits: fast, and a fingerprint only needs to change when its input does.
class Hash {
  public:
    void add(const std::string& s) {
        for (unsigned char c : s)
            step(c);
        step(0);
    }
    void add(int64_t v) {
        for (int i = 0; i < 8; ++i)
            step(uint8_t(v >> (8 * i)));
    }
    std::string hex() const {
        char out[17];
        std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(h_));
        return out;
    }

  private:
    void step(uint8_t c) {
        h_ ^= c;
        h_ *= 0x100000001b3ull;
    }
    uint64_t h_ = 0xcbf29ce484222325ull;
};

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string home() {
    return env("HOME");
}

std::string xdgConfigHome() {
    const std::string v = env("XDG_CONFIG_HOME");
    return v.empty() ? home() + "/.config" : v;
}

std::string xdgDataHome() {
    const std::string v = env("XDG_DATA_HOME");
    return v.empty() ? home() + "/.local/share" : v;
}

std::string configDir() {
    const std::string path = env("FONTCONFIG_PATH");
    if (!path.empty())
        return path.substr(0, path.find(':'));
    return "/etc/fonts";
}

// Adds a file or folder's identity: its size and time of change, or that it is missing.
void addStat(Hash& hash, const std::string& path, struct stat* out = nullptr) {
    struct stat st {};
    hash.add(path);
    if (::stat(path.c_str(), &st) != 0) {
        hash.add(int64_t(-1));
        if (out)
            *out = st;
        return;
    }
    hash.add(int64_t(st.st_size));
    hash.add(int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec);
    hash.add(int64_t(st.st_ino));
    if (out)
        *out = st;
}

std::string expand(const std::string& path, const std::string& prefix, const std::string& base) {
    if (prefix == "xdg")
        return base + "/" + path;
    if (!path.empty() && path[0] == '~')
        return home() + path.substr(1);
    if (!path.empty() && path[0] == '/')
        return path;
    return base + "/" + path;
}

struct Element {
    std::string name, prefix, value;
};

// The <include> and <dir> elements of a configuration file: all a fingerprint needs to follow.
std::vector<Element> elements(const std::string& text) {
    std::vector<Element> out;
    size_t at = 0;
    while ((at = text.find('<', at)) != std::string::npos) {
        const size_t close = text.find('>', at);
        if (close == std::string::npos)
            break;
        const std::string tag = text.substr(at + 1, close - at - 1);
        at = close + 1;
        std::string name = tag.substr(0, tag.find_first_of(" \t\r\n/"));
        if (name != "include" && name != "dir")
            continue;
        if (!tag.empty() && tag.back() == '/')
            continue;
        Element e;
        e.name = name;
        const size_t p = tag.find("prefix=\"");
        if (p != std::string::npos)
            e.prefix = tag.substr(p + 8, tag.find('"', p + 8) - p - 8);
        const size_t end = text.find("</" + name, at);
        if (end == std::string::npos)
            break;
        e.value = text.substr(at, end - at);
        e.value.erase(0, e.value.find_first_not_of(" \t\r\n"));
        e.value.erase(e.value.find_last_not_of(" \t\r\n") + 1);
        at = end;
        out.push_back(e);
    }
    return out;
}

class Fingerprint {
  public:
    std::string run() {
        for (const char* name : {"FONTCONFIG_FILE", "FONTCONFIG_PATH", "FONTCONFIG_SYSROOT", "HOME",
                                 "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS", "QT_QPA_PLATFORM",
                                 "QT_QPA_FONTDIR", "QT_ENABLE_GLYPH_CACHE_WORKAROUND"}) {
            hash_.add(name);
            hash_.add(env(name));
        }
        std::string main = env("FONTCONFIG_FILE");
        if (main.empty())
            main = configDir() + "/fonts.conf";
        else if (main[0] != '/')
            main = configDir() + "/" + main;
        config(main);
        for (const std::string& dir : fontDirs_) {
            struct stat st {};
            addStat(hash_, dir, &st);
            if (S_ISDIR(st.st_mode))
                walk(dir, 0);
        }
        return hash_.hex();
    }

  private:
    void config(const std::string& path) {
        if (!seen_.insert(path).second || seen_.size() > 2000)
            return;
        struct stat st {};
        addStat(hash_, path, &st);
        if (S_ISDIR(st.st_mode)) {
            std::vector<std::string> names;
            if (DIR* d = ::opendir(path.c_str())) {
                while (dirent* e = ::readdir(d)) {
                    const std::string n = e->d_name;
                    if (n.size() > 5 && n.compare(n.size() - 5, 5, ".conf") == 0)
                        names.push_back(n);
                }
                ::closedir(d);
            }
            std::sort(names.begin(), names.end());
            for (const std::string& n : names)
                config(path + "/" + n);
            return;
        }
        if (!S_ISREG(st.st_mode))
            return;
        std::ifstream in(path, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string folder = path.substr(0, path.rfind('/'));
        for (const Element& e : elements(text)) {
            if (e.name == "include")
                config(expand(e.value, e.prefix, e.prefix == "xdg" ? xdgConfigHome() : configDir()));
            else
                fontDirs_.insert(expand(e.value, e.prefix, e.prefix == "xdg" ? xdgDataHome() : folder));
        }
    }

    // Every folder and file under a font folder, by name, size and time of change.
    void walk(const std::string& dir, int depth) {
        if (depth > 32)
            return;
        std::vector<std::string> names;
        if (DIR* d = ::opendir(dir.c_str())) {
            while (dirent* e = ::readdir(d)) {
                const std::string n = e->d_name;
                if (n != "." && n != "..")
                    names.push_back(n);
            }
            ::closedir(d);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& n : names) {
            const std::string path = dir + "/" + n;
            struct stat entry {};
            addStat(hash_, path, &entry);
            if (S_ISDIR(entry.st_mode) && !S_ISLNK(entry.st_mode))
                walk(path, depth + 1);
        }
    }

    Hash hash_;
    std::set<std::string> seen_;
    std::set<std::string> fontDirs_;
};

} // namespace

std::string fontFingerprint() {
    return Fingerprint().run();
}

} // namespace cli
