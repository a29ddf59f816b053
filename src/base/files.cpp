#include "base/files.h"

#include "kernels/errors.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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

// The name a chain of symbolic links ends at (which may not exist yet); errno ELOOP for a loop.
bool followLinks(std::string& path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
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

int writeTarget(const std::string& path, std::string_view bytes) {
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        return EISDIR;
    // A pipe, a device, a terminal, /dev/stdout or /proc/self/fd/N: written as it is.
    if (exists && !S_ISREG(st.st_mode))
        return writeInPlace(path, bytes, 0);
    std::string target = path;
    if (!followLinks(target))
        return errno;
    struct stat resolved {};
    if (exists && (::stat(target.c_str(), &resolved) != 0 || resolved.st_ino != st.st_ino ||
                   resolved.st_dev != st.st_dev))
        return writeInPlace(path, bytes, O_TRUNC); // a link the kernel resolves that has no name to move to
    if (exists && st.st_nlink > 1)
        return writeInPlace(target, bytes, O_TRUNC);
    std::string temporary = folderOf(target) + "/.tessarine-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    const auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return error;
    };
    if (!writeAll(fd, bytes))
        return fail(errno);
    if (::fchmod(fd, exists ? (st.st_mode & 07777) : (0666 & ~processUmask())) != 0)
        return fail(errno);
    if (exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()))
        (void)!::fchown(fd, st.st_uid, st.st_gid); // kept where the user may; else the file becomes theirs
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return error;
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return error;
    }
    return 0;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

} // namespace files
