#include "kernels/files.h"

#include "kernels/errors.h"

#include <sys/stat.h>

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
        raiseKernelError(folderExists(path) ? err::FileNotFound : err::PathNotFound);
    if (S_ISDIR(st.st_mode))
        raiseKernelError(err::PathFileAccess, "Path/File access error (a folder)");
    if (!S_ISREG(st.st_mode))
        raiseKernelError(err::PathFileAccess, "Path/File access error (not a regular file)");
}

} // namespace files
