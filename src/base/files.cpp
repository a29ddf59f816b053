#include "base/files.h"

#include "kernels/errors.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <mutex>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace files {

namespace {

[[noreturn]] void cannotRead() {
    err::raise(err::PathFileAccess,
               err::description(err::PathFileAccess) + " (" + std::strerror(errno) + ")");
}

[[noreturn]] void tooLarge(const char* what, int64_t limit) {
    err::raise(err::OutOfMemory,
               err::description(err::OutOfMemory) + " (" + what + " " + std::to_string(limit) + " bytes)",
               err::Kind::TooLarge);
}

// Writes everything, going on after partial writes; false with errno set on failure.
bool writeAll(int fd, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += size_t(put);
    }
    return true;
}

// The mask new files get, read without changing it (umask() would, for every thread at once).
mode_t processUmask() {
    static const mode_t mask = [] {
        mode_t found = 022;
        if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
            char line[128];
            unsigned value = 0;
            while (std::fgets(line, sizeof line, status))
                if (std::sscanf(line, "Umask: %o", &value) == 1)
                    found = mode_t(value);
            std::fclose(status);
        }
        return found;
    }();
    return mask;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Whether a symbolic link may be followed, by the rule the kernel's protected_symlinks applies to a shell's
// redirection, whatever the machine's setting: in a sticky folder that everybody may write (/tmp), only a
// link of the user's own or of the folder's owner, so that nobody can plant one where another user writes.
bool mayFollow(const std::string& link, const struct stat& linkStat) {
    struct stat folder {};
    if (::stat(folderOf(link).c_str(), &folder) != 0)
        return true;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || linkStat.st_uid == ::geteuid() || linkStat.st_uid == folder.st_uid;
}

// The name a chain of symbolic links ends at (which may not exist yet); errno ELOOP for a loop, and
// kSharedLink for a link that may not be followed.
bool followLinks(std::string& path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        if (!mayFollow(path, st)) {
            errno = kSharedLink;
            return false;
        }
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n < 0)
            return false;
        const std::string next(target, size_t(n));
        path = next[0] == '/' ? next : folderOf(path) + "/" + next;
    }
    errno = ELOOP;
    return false;
}

int writeInPlace(const std::string& path, std::string_view bytes, int flags) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | flags);
    if (fd < 0)
        return errno;
    const bool written = writeAll(fd, bytes);
    const int error = written ? 0 : errno;
    if (::close(fd) != 0 && written)
        return errno;
    return error;
}

// The writes under way that an ending process must finish or undo: a write in place holds the lock until
// it is done, a temporary file is listed from its making until it is moved into place or removed.
struct Writes {
    std::mutex lock;
    std::set<std::string> temporaries;
};

Writes& writes() {
    static Writes* w = new Writes; // never destroyed: a thread may still write while the process ends
    return *w;
}

// Rewrites a regular file where it is, for names that must keep sharing it (hard links) or a folder that
// allows no file beside it. A text beyond the process's file size limit is refused before anything is
// touched, and room for the whole of it is made first: when it cannot be, the file is left as it was and
// the reason returned. Then the old bytes are overwritten, kept in memory first (they are no more than the
// new text), and the rest cut off; when a write fails after all, the old bytes are put back and the file
// cut to its old length. `damaged` says when even that failed.
int rewriteInPlace(const std::string& path, std::string_view bytes, bool& damaged) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        bytes.size() > limit.rlim_cur)
        return EFBIG;
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0)
        return errno;
    const std::lock_guard<std::mutex> hold(writes().lock);
    struct stat st {};
    int error = ::fstat(fd, &st) != 0 ? errno : 0;
    std::string old(size_t(std::min<off_t>(st.st_size, off_t(bytes.size()))), '\0');
    for (size_t got = 0; error == 0 && got < old.size();) {
        const ssize_t n = ::pread(fd, old.data() + got, old.size() - got, off_t(got));
        if (n < 0 && errno != EINTR)
            error = errno;
        else if (n == 0)
            old.resize(got); // it shrank meanwhile
        else if (n > 0)
            got += size_t(n);
    }
    if (error != 0) {
        ::close(fd);
        return error;
    }
    if (!bytes.empty()) {
        error = ::posix_fallocate(fd, 0, off_t(bytes.size()));
        if (error != 0) {
            (void)!::ftruncate(fd, st.st_size); // a failed reservation may have grown the file
            ::close(fd);
            return error;
        }
    }
    const auto writeAt = [fd](std::string_view part) {
        for (size_t done = 0; done < part.size();) {
            const ssize_t put = ::pwrite(fd, part.data() + done, part.size() - done, off_t(done));
            if (put < 0 && errno != EINTR)
                return errno;
            if (put > 0)
                done += size_t(put);
        }
        return 0;
    };
    error = writeAt(bytes);
    if (error == 0 && ::ftruncate(fd, off_t(bytes.size())) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd) != 0 && errno != EINVAL) // a delayed write fails here, not after
        error = errno;
    if (error != 0)
        damaged = writeAt(old) != 0 || ::ftruncate(fd, st.st_size) != 0;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

// Writes the bytes to a new temporary file beside `target` and moves it into place, keeping `existing`'s
// mode and owner when there is one, else with `mode`; -1 when no file can be made in the folder.
int replaceWhole(const std::string& target, std::string_view bytes, const struct stat* existing,
                 mode_t mode) {
    std::string temporary = folderOf(target) + "/.tessarine-XXXXXX";
    int fd;
    {
        const std::lock_guard<std::mutex> hold(writes().lock);
        fd = ::mkostemp(temporary.data(), O_CLOEXEC);
        if (fd < 0)
            return errno == EACCES || errno == EPERM || errno == EROFS ? -1 : errno;
        writes().temporaries.insert(temporary);
    }
    const auto finish = [&](int error) {
        const std::lock_guard<std::mutex> hold(writes().lock);
        if (error != 0 || std::rename(temporary.c_str(), target.c_str()) != 0) {
            error = error != 0 ? error : errno;
            ::unlink(temporary.c_str());
        }
        writes().temporaries.erase(temporary);
        return error;
    };
    int error = writeAll(fd, bytes) ? 0 : errno;
    if (error == 0 && ::fchmod(fd, existing ? (existing->st_mode & 07777) : mode) != 0)
        error = errno;
    if (error == 0 && existing && (existing->st_uid != ::geteuid() || existing->st_gid != ::getegid()))
        (void)!::fchown(fd, existing->st_uid, existing->st_gid); // kept where the user may
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return finish(error);
}

} // namespace

bool folderExists(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return true;
    struct stat st {};
    return ::stat(folderOf(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void requireRegularFile(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        err::raise(folderExists(path) ? err::FileNotFound : err::PathNotFound);
    if (S_ISDIR(st.st_mode))
        err::raise(err::PathFileAccess, "Path/File access error (a folder)");
    if (!S_ISREG(st.st_mode))
        err::raise(err::PathFileAccess, "Path/File access error (not a regular file)");
}

File openForReading(const std::string& path) {
    requireRegularFile(path);
    std::FILE* f = std::fopen(path.c_str(), "rbe");
    if (!f)
        cannotRead();
    return File(f);
}

std::string head(const std::string& path, size_t count) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    File f(std::fopen(path.c_str(), "rbe"));
    if (!f)
        return {};
    std::string bytes(count, '\0');
    bytes.resize(std::fread(bytes.data(), 1, count, f.get()));
    return bytes;
}

bool readFile(const std::string& path, std::string& out, int64_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > limit) {
        ::close(fd);
        errno = S_ISREG(st.st_mode) ? EFBIG : EINVAL;
        return false;
    }
    out.clear();
    out.reserve(size_t(st.st_size));
    char chunk[1 << 16];
    ssize_t got;
    while ((got = ::read(fd, chunk, sizeof chunk)) > 0) {
        if (int64_t(out.size()) + got > limit) { // it grew past the limit while being read
            ::close(fd);
            errno = EFBIG;
            return false;
        }
        out.append(chunk, size_t(got));
    }
    const int error = errno;
    ::close(fd);
    errno = error;
    return got == 0;
}

std::string read(const std::string& path, int64_t limit) {
    requireRegularFile(path);
    std::string bytes;
    if (!readFile(path, bytes, limit)) {
        if (errno == EFBIG)
            tooLarge("the file is larger than", limit);
        cannotRead();
    }
    return bytes;
}

std::string readFirstLineBytes(const std::string& path, int64_t limit) {
    const File f = openForReading(path);
    std::string line;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) {
        const std::string_view part(chunk, got);
        const size_t end = part.find_first_of("\r\n");
        line.append(part.substr(0, end));
        if (end != std::string_view::npos)
            break;
        if (int64_t(line.size()) > limit)
            tooLarge("the first line goes on past", limit);
    }
    if (std::ferror(f.get()))
        cannotRead();
    if (int64_t(line.size()) > limit)
        tooLarge("the first line goes on past", limit);
    return line;
}

namespace {

// The kernel's own filesystems, whose files are the kernel's interfaces: no text goes there.
bool ofKernel(const std::string& path) {
    struct statfs fs {};
    if (::statfs(path.c_str(), &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case SECURITYFS_MAGIC:
    case TRACEFS_MAGIC:
    case BPF_FS_MAGIC:
        return true;
    default:
        return false;
    }
}

int writeTargetOnce(const std::string& path, std::string_view bytes, bool& damaged) {
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        return EISDIR;
    if (exists && S_ISREG(st.st_mode) && ofKernel(path))
        return kSpecialFilesystem;
    // A pipe, a device, a terminal, /dev/stdout or /proc/self/fd/N: written as it is.
    if (exists && !S_ISREG(st.st_mode))
        return writeInPlace(path, bytes, 0);
    std::string target = path;
    if (!followLinks(target))
        return errno;
    // A file the user may not write is refused, as the shell's redirection refuses it, although its
    // folder would let it be replaced.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return errno;
    struct stat resolved {};
    if (exists && (::stat(target.c_str(), &resolved) != 0 || resolved.st_ino != st.st_ino ||
                   resolved.st_dev != st.st_dev))
        return writeInPlace(path, bytes, O_TRUNC); // a link the kernel resolves that has no name to move to
    if (exists && st.st_nlink > 1)
        return rewriteInPlace(target, bytes, damaged);
    const int error = replaceWhole(target, bytes, exists ? &st : nullptr, 0666 & ~processUmask());
    if (error == -1) // the folder allows no new file: a file the user may write is rewritten where it is
        return exists ? rewriteInPlace(target, bytes, damaged) : EACCES;
    return error;
}

} // namespace

int writeTarget(const std::string& path, std::string_view bytes, bool* damaged) {
    bool mixed = false;
    const int error = writeTargetOnce(path, bytes, mixed);
    if (damaged)
        *damaged = error != 0 && mixed;
    return error;
}

int writePrivate(const std::string& path, std::string_view bytes) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()))
        return EPERM;
    const int error = replaceWhole(path, bytes, nullptr, 0600);
    return error == -1 ? EACCES : error;
}

std::string describeWriteError(int error) {
    switch (error) {
    case kSharedLink:
        return "a symbolic link of another user's in a shared folder, which is not followed (as the system "
               "does "
               "not follow it for a shell)";
    case kSpecialFilesystem:
        return "a file of the kernel's (/proc, /sys), which takes no text";
    default:
        return std::strerror(error);
    }
}

void endWrites() {
    writes().lock.lock(); // held for good: the process is ending, and nothing more is written
    for (const std::string& temporary : writes().temporaries)
        ::unlink(temporary.c_str());
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

} // namespace files
