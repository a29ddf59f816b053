#include "order_cache/font_fingerprint.h"

#include "base/files.h"
#include "kernels/errors.h"
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
using Identities = std::vector<std::pair<std::string, std::string>>; // path, identity

// The memo names some hundred files and folders.
constexpr int64_t kMaxMemoBytes = 4 << 20;
constexpr const char* kMemoVersion = "tessarine-fonts-memo 3";

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string environment() {
    std::string out;
    for (const char* name : {"FONTCONFIG_FILE", "FONTCONFIG_PATH", "FONTCONFIG_SYSROOT", "HOME",
                             "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS", "QT_QPA_PLATFORM",
                             "QT_QPA_FONTDIR", "QT_ENABLE_GLYPH_CACHE_WORKAROUND"})
        out += std::string(name) + "=" + env(name) + "\n";
    return out;
}

std::string currentFolder() {
    char here[4096];
    return ::getcwd(here, sizeof here) ? std::string(here) : std::string(".");
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Where new configuration may appear that fontconfig's answer cannot name, because it is not there yet:
// beside every file it read (an include that was missing, such as /etc/fonts/local.conf), and the places a
// user's own configuration goes, which the usual rules include when they exist.
std::vector<std::string> placesOf(const std::vector<std::string>& files) {
    std::set<std::string> places;
    for (const std::string& file : files)
        places.insert(folderOf(file));
    const std::string home = env("HOME"), configHome = env("XDG_CONFIG_HOME");
    places.insert((configHome.empty() ? home + "/.config" : configHome) + "/fontconfig");
    places.insert(home + "/.fonts.conf");
    places.insert(home + "/.fonts.conf.d");
    for (const std::string& file : files)
        places.erase(file);
    return {places.begin(), places.end()};
}

// fontconfig names a font folder given relative to the folder the program runs in as it finds it there: an
// answer naming a folder by a relative name, or inside the current folder, holds only where it was given.
bool namesCurrentFolder(const std::set<std::string>& folders, const std::string& here) {
    return std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) {
        return folder.empty() || folder[0] != '/' || folder == here || folder.rfind(here + "/", 0) == 0;
    });
}

// Asking fontconfig means loading the Qt bridge's module and reading fontconfig's files (some fifty), and
// reading the font folders costs more than the rest together. The answer, the files and places it stands on
// and every folder below the font folders are kept in a memo; while every one of them is as it was, they are
// taken from there, each at the cost of one stat. Either way the fingerprint is worked out from the same
// identities in the same order. The font files themselves are not looked at: a file added, removed or renamed
// changes its folder, and the files a measurement used are checked with its entry (order_cache).
class Fingerprint {
  public:
    Fingerprint(const FontConfigurationSource& fonts, std::string memo, std::string* unkept)
        : fonts_(fonts), memo_(std::move(memo)), unkept_(unkept) {}

    std::optional<std::string> run() {
        const std::string env = environment();
        const Recalled recalled = recall(env);
        if (!recalled.configuration && !ask())
            return std::nullopt;
        if (!recalled.folders) {
            folders_.clear();
            for (const std::string& name : fontDirs_)
                walk(name, 0);
        }
        if (!recalled.configuration || !recalled.folders)
            remember(env);
        Hash hash;
        hash.addField(env);
        for (const Identities* part : {&read_, &folders_})
            for (const auto& [path, identity] : *part) {
                hash.addField(path);
                hash.addField(identity);
            }
        return hash.hex();
    }

  private:
    struct Recalled {
        bool configuration = false, folders = false;
    };

    // fontconfig's answer, and the identities of what it stands on.
    bool ask() {
        if (!fonts_)
            return false;
        FontConfiguration answer;
        try {
            answer = fonts_();
        } catch (const err::Error&) {
            return false;
        }
        read_.clear();
        for (const std::string& file : answer.files)
            read_.emplace_back(file, identityOf(file));
        places_.clear();
        for (const std::string& place : placesOf(answer.files))
            places_.emplace_back(place, identityOf(place));
        fontDirs_ = std::set<std::string>(answer.folders.begin(), answer.folders.end());
        here_ = namesCurrentFolder(fontDirs_, currentFolder()) ? currentFolder() : std::string();
        return true;
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
        if (!getline(line) || line != kMemoVersion)
            return out;
        std::string recorded;
        while (getline(line) && line != "--")
            recorded += line + "\n";
        if (recorded != env)
            return out;
        Identities read, places, folders;
        std::set<std::string> fontDirs;
        std::string here;
        bool foldersHold = true;
        while (getline(line)) {
            if (line.size() < 3)
                return out;
            const char kind = line[0];
            if (kind == 'c' || kind == 'p' || kind == 'w') {
                // "c <identity>\t<path>", a file read, "p ...", a place, or "w ...", a font folder: a file or
                // place that is no longer as it was means asking again, a folder walking again.
                const size_t tab = line.find('\t');
                if (tab == std::string::npos)
                    return out;
                const std::string path = line.substr(tab + 1), identity = identityOf(path);
                const bool same = identity == line.substr(2, tab - 2);
                if (kind != 'w' && !same)
                    return out;
                foldersHold = foldersHold && same;
                (kind == 'c' ? read : kind == 'p' ? places : folders).emplace_back(path, identity);
            } else if (kind == 'd') {
                fontDirs.insert(line.substr(2));
            } else if (kind == 'h') {
                here = line.substr(2);
            } else {
                return out;
            }
        }
        if (read.empty() || (!here.empty() && here != currentFolder()))
            return out;
        read_ = std::move(read);
        places_ = std::move(places);
        fontDirs_ = std::move(fontDirs);
        here_ = std::move(here);
        out.configuration = true;
        out.folders = foldersHold;
        if (out.folders)
            folders_ = std::move(folders);
        return out;
    }

    void remember(const std::string& env) const {
        if (memo_.empty() && !unkept_)
            return;
        std::string text = std::string(kMemoVersion) + "\n" + env + "--\n";
        if (!here_.empty())
            text += "h " + here_ + "\n";
        for (const auto& [path, identity] : read_)
            text += "c " + identity + "\t" + path + "\n";
        for (const auto& [path, identity] : places_)
            text += "p " + identity + "\t" + path + "\n";
        for (const std::string& dir : fontDirs_)
            text += "d " + dir + "\n";
        for (const auto& [path, identity] : folders_)
            text += "w " + identity + "\t" + path + "\n";
        if (memo_.empty())
            *unkept_ = std::move(text);
        else
            files::writePrivate(memo_, text); // a memo that cannot be kept is made again next time
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

    const FontConfigurationSource& fonts_;
    std::string memo_;
    std::string* unkept_;
    Identities read_;                // the configuration files and folders fontconfig read
    Identities places_;              // where configuration may appear that it could not name
    std::set<std::string> fontDirs_; // the font folders it names
    std::string here_;               // the folder the program ran in, when the answer holds only there
    Identities folders_;             // the font folders and every folder below them
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

std::optional<std::string> fontFingerprint(const FontConfigurationSource& fonts, const std::string& memo,
                                           std::string* unkept) {
    return Fingerprint(fonts, memo, unkept).run();
}

} // namespace cli
