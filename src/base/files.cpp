#include "base/files.h"

#include "kernels/errors.h"

#include <atomic>
#include <cerrno>
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

} // namespace

bool folderExists(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return true;
    const std::string folder = slash == 0 ? std::string("/") : path.substr(0, slash);
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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

bool readFile(const std::string& path, std::string& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    out.clear();
    char chunk[1 << 16];
    ssize_t got;
    while ((got = ::read(fd, chunk, sizeof chunk)) > 0)
        out.append(chunk, size_t(got));
    ::close(fd);
    return got == 0;
}

std::string read(const std::string& path) {
    requireRegularFile(path);
    std::string bytes;
    if (!readFile(path, bytes))
        cannotRead();
    return bytes;
}

int writeFileWhole(const std::string& path, std::string_view bytes) {
    static std::atomic<unsigned> counter{0};
    // Unique among processes by the process number, among threads by the count.
    const std::string temporary =
        path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0) {
            const int error = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            return error;
        }
        done += size_t(put);
    }
    if (::close(fd) != 0 || std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return error;
    }
    return 0;
}

} // namespace files
