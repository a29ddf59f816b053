#include "kernels/files.h"

#include "kernels/errors.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace files {

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

std::string programDataFile(const std::string& programFolder, const std::string& name) {
    const std::string beside = programFolder + "/" + name;
    struct stat st {};
    if (::stat(beside.c_str(), &st) == 0)
        return beside;
    const std::string installed = programFolder + "/" TESSARINE_DATA_FROM_BINDIR "/" + name;
    return ::stat(installed.c_str(), &st) == 0 ? installed : beside;
}

} // namespace files
