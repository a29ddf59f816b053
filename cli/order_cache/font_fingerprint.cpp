#include "order_cache/font_fingerprint.h"

#include "base/files.h"
#include "kernels/hash.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace cli {

namespace {

using Hash = hashing::Fnv64;

// The memo names some hundred files and folders; a configuration file is a few kilobytes.
constexpr int64_t kMaxMemoBytes = 4 << 20;
constexpr int64_t kMaxConfigBytes = 1 << 20;

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

void addStat(Hash& hash, const std::string& path, struct stat* out = nullptr) {
    hash.addField(path);
    hash.addField(identityOf(path, out));
}

// "~" or "~/..." is the home folder, as fontconfig reads it.
std::string homeExpanded(const std::string& path) {
    if (path == "~" || path.rfind("~/", 0) == 0)
        return home() + path.substr(1);
    return path;
}

// An <include>'s file: under XDG_CONFIG_HOME for prefix "xdg", else the home folder for "~", an absolute
// name as it is, and anything else relative to the configuration folder.
std::string includeName(const std::string& path, const std::string& prefix) {
    if (prefix == "xdg")
        return xdgConfigHome() + "/" + path;
    const std::string expanded = homeExpanded(path);
    return expanded[0] == '/' ? expanded : configDir() + "/" + expanded;
}

// A <dir>'s folder: under XDG_DATA_HOME for prefix "xdg", beside the configuration file for "relative",
// the home folder for "~", an absolute name as it is; anything else (prefix "cwd", "default" or none) is
// relative to the folder the program runs in, kept as "./name" and resolved when the folder is read.
std::string dirName(const std::string& path, const std::string& prefix, const std::string& configFolder) {
    if (prefix == "xdg")
        return xdgDataHome() + "/" + path;
    if (prefix == "relative")
        return configFolder + "/" + path;
    const std::string expanded = homeExpanded(path);
    return expanded.empty() || expanded[0] == '/' ? expanded : "./" + expanded;
}

std::string currentFolder() {
    char here[4096];
    return ::getcwd(here, sizeof here) ? std::string(here) : std::string(".");
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

std::string environment() {
    std::string out;
    for (const char* name : {"FONTCONFIG_FILE", "FONTCONFIG_PATH", "FONTCONFIG_SYSROOT", "HOME",
                             "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS", "QT_QPA_PLATFORM",
                             "QT_QPA_FONTDIR", "QT_ENABLE_GLYPH_CACHE_WORKAROUND"})
        out += std::string(name) + "=" + env(name) + "\n";
    return out;
}

// Reading fontconfig's files (some fifty, ninety kilobytes) to find the font folders, and reading the
// folders, costs more than the rest together. The files and folders that were read, the font folders they
// named and every folder below those are kept in a memo; while every one of them is as it was, they are
// taken from there, each at the cost of one stat. Either way the fingerprint is worked out from the same
// identities in the same order. The font files themselves are not looked at: a file added, removed or
// renamed changes its folder, and the files a measurement used are checked with its entry (order_cache).
class Fingerprint {
  public:
    explicit Fingerprint(std::string memo) : memo_(std::move(memo)) {}

    std::string run() {
        const std::string env = environment();
        const Recalled recalled = recall(env);
        if (!recalled.configuration) {
            std::string main = cli::env("FONTCONFIG_FILE");
            if (main.empty())
                main = configDir() + "/fonts.conf";
            else if (main[0] != '/')
                main = configDir() + "/" + main;
            config(main);
        }
        if (!recalled.folders) {
            folders_.clear();
            for (const std::string& name : fontDirs_)
                walk(resolved(name), 0);
        }
        if (!recalled.configuration || !recalled.folders)
            remember(env);
        hash_.addField(env);
        for (const auto& [path, identity] : read_) {
            hash_.addField(path);
            hash_.addField(identity);
        }
        for (const auto& [path, identity] : folders_) {
            hash_.addField(path);
            hash_.addField(identity);
        }
        return hash_.hex();
    }

  private:
    struct Recalled {
        bool configuration = false, folders = false;
    };

    // A folder named relative to the folder the program runs in, resolved.
    static std::string resolved(const std::string& name) {
        return name.rfind("./", 0) == 0 ? currentFolder() + name.substr(1) : name;
    }

    Recalled recall(const std::string& env) {
        Recalled out;
        if (memo_.empty())
            return out;
        // Only a memo this user wrote: a link or another's file planted in its place is not read.
        struct stat st {};
        std::string text;
        if (::lstat(memo_.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
            !files::readFile(memo_, text, kMaxMemoBytes))
            return out;
        size_t at = 0;
        const auto getline = [&](std::string& line) {
            if (at >= text.size())
                return false;
            const size_t end = text.find('\n', at);
            line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
            at = end == std::string::npos ? text.size() : end + 1;
            return true;
        };
        std::string line;
        if (!getline(line) || line != "tessarine-fonts-memo 2")
            return out;
        std::string recorded;
        while (getline(line) && line != "--")
            recorded += line + "\n";
        if (recorded != env)
            return out;
        std::vector<std::pair<std::string, std::string>> read, folders;
        std::set<std::string> fontDirs;
        bool foldersHold = true;
        while (getline(line)) {
            if (line.size() < 3)
                return out;
            if (line[0] == 'c' || line[0] == 'w') {
                // "c <identity>\t<path>" or "w <identity>\t<path>": the identity must still be the same.
                const size_t tab = line.find('\t');
                if (tab == std::string::npos)
                    return out;
                const std::string path = line.substr(tab + 1), identity = identityOf(path);
                const bool same = identity == line.substr(2, tab - 2);
                if (line[0] == 'c' && !same)
                    return out;
                foldersHold = foldersHold && (line[0] == 'c' || same);
                (line[0] == 'c' ? read : folders).emplace_back(path, identity);
            } else if (line[0] == 'd') {
                fontDirs.insert(line.substr(2));
            } else {
                return out;
            }
        }
        if (read.empty())
            return out;
        read_ = std::move(read);
        fontDirs_ = std::move(fontDirs);
        out.configuration = true;
        // Folders named relative to where the program runs are walked anew wherever it runs.
        out.folders = foldersHold && std::none_of(fontDirs_.begin(), fontDirs_.end(),
                                                  [](const std::string& d) { return d.rfind("./", 0) == 0; });
        if (out.folders)
            folders_ = std::move(folders);
        return out;
    }

    void remember(const std::string& env) const {
        if (memo_.empty())
            return;
        std::string text = "tessarine-fonts-memo 2\n" + env + "--\n";
        for (const auto& [path, identity] : read_)
            text += "c " + identity + "\t" + path + "\n";
        for (const std::string& dir : fontDirs_)
            text += "d " + dir + "\n";
        for (const auto& [path, identity] : folders_)
            text += "w " + identity + "\t" + path + "\n";
        files::writePrivate(memo_, text); // a memo that cannot be kept is made again next time
    }

    void config(const std::string& path) {
        if (!seen_.insert(path).second || seen_.size() > 2000)
            return;
        struct stat st {};
        read_.emplace_back(path, identityOf(path, &st));
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
        std::string text;
        files::readFile(path, text, kMaxConfigBytes); // a configuration file too large is read as empty
        const std::string folder = path.substr(0, path.rfind('/'));
        for (const Element& e : elements(text)) {
            if (e.value.empty())
                continue;
            if (e.name == "include")
                config(includeName(e.value, e.prefix));
            else
                fontDirs_.insert(dirName(e.value, e.prefix, folder));
        }
    }

    // A font folder and every folder below it, by identity (its size, time of change and number, or that it
    // is missing): adding, removing, renaming or replacing a font changes the folder that holds it.
    void walk(const std::string& dir, int depth) {
        if (depth > 32)
            return;
        struct stat st {};
        folders_.emplace_back(dir, identityOf(dir, &st));
        if (!S_ISDIR(st.st_mode))
            return;
        DIR* d = ::opendir(dir.c_str());
        if (!d)
            return;
        std::vector<std::string> below;
        while (dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n == "." || n == "..")
                continue;
            struct stat entry {};
            const bool folder = e->d_type == DT_DIR ||
                                ((e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) &&
                                 ::fstatat(::dirfd(d), n.c_str(), &entry, 0) == 0 && S_ISDIR(entry.st_mode));
            if (folder)
                below.push_back(dir + "/" + n);
        }
        ::closedir(d);
        std::sort(below.begin(), below.end());
        for (const std::string& folder : below)
            walk(folder, depth + 1);
    }

    std::string memo_;
    Hash hash_;
    std::set<std::string> seen_;
    std::vector<std::pair<std::string, std::string>> read_;    // configuration files and folders, as read
    std::set<std::string> fontDirs_;                           // the font folders the configuration names
    std::vector<std::pair<std::string, std::string>> folders_; // those and every folder below them
};

} // namespace

// A file or folder's identity, as a memo line or an order entry keeps it.
std::string identityOf(const std::string& path, struct stat* out) {
    struct stat st {};
    char text[96] = "missing";
    if (::stat(path.c_str(), &st) == 0)
        std::snprintf(text, sizeof text, "%lld %lld.%09ld %llu", static_cast<long long>(st.st_size),
                      static_cast<long long>(st.st_mtim.tv_sec), st.st_mtim.tv_nsec,
                      static_cast<unsigned long long>(st.st_ino));
    if (out)
        *out = st;
    return text;
}

std::string fontFingerprint(const std::string& memo) {
    return Fingerprint(memo).run();
}

} // namespace cli
