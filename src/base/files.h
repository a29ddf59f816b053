#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

// Files as both programs read and write them, below any toolkit. Paths are in the system's file-name
// encoding. What fails is raised as the program's error with its number: 53 a missing file, 76 a missing
// folder, 75 a file that cannot be read or written, 7 one too large to read.
namespace files {

// True when the folder that would hold this file exists (a bare name lives in the current folder).
bool folderExists(const std::string& path);

// Raises 53 or 76 when the file is missing, and 75 when the name is a folder, a pipe or a device:
// reading such a thing would fail or wait for ever.
void requireRegularFile(const std::string& path);

struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, Closer>;

// A regular file opened for reading; raises requireRegularFile's errors, and 75 with the system's reason
// when it cannot be opened.
File openForReading(const std::string& path);

// Up to `count` first bytes of a regular file; nothing when it is no regular file or cannot be read.
std::string head(const std::string& path, size_t count);

// The whole file, when it is at most `limit` bytes; false when it cannot be read or is larger. The size
// is checked before anything is read.
bool readFile(const std::string& path, std::string& out, int64_t limit);
// The whole regular file; raises openForReading's errors, and 7 for a file larger than `limit` bytes.
std::string read(const std::string& path, int64_t limit);
// The bytes up to the file's first line end (CR or LF), reading no further than `limit` bytes: a
// character table. Raises openForReading's errors, and 7 when no line end comes within the limit and the
// file goes on.
std::string readFirstLineBytes(const std::string& path, int64_t limit);

// Writes the bytes where a path points, never replacing what the name does not stand for: a symbolic
// link is followed and its target written; a pipe, a device or a terminal (/dev/stdout too) is opened and
// written as it is; a regular file, or a new name, is written to a temporary file of a short name in the
// same folder and moved into place, so that readers see the old file or the whole new one, keeping an
// existing file's mode (and its owner, where the user may set it); a new file gets the mode the user's
// umask leaves. An existing file the user may not write is refused (EACCES), as the shell refuses it. A
// file of several hard links, or one in a folder where no file can be made, is rewritten in place, so that
// the links keep sharing it, after room for the whole new text has been made: when it cannot be, or the text
// is beyond the process's file size limit, the file stays as it was, and when a write fails after all, its
// old content is put back. Returns 0, or the error number (errno) of what failed; `damaged` (when given)
// says that even putting the old content back failed, so the file holds neither.
int writeTarget(const std::string& path, std::string_view bytes, bool* damaged = nullptr);

// What writeTarget returns beyond the system's error numbers: a symbolic link in a sticky folder that
// everybody may write, owned by neither the user nor the folder's owner, is not followed (the rule the
// kernel's protected_symlinks gives a shell's redirection, whatever the machine's setting); a file of the
// kernel's own filesystems (/proc, /sys) is not written.
constexpr int kSharedLink = -1001;
constexpr int kSpecialFilesystem = -1002;
// The reason writeTarget failed, in words: the system's, or the two above.
std::string describeWriteError(int error);

// Writes a file of the user's own (a cache entry) through a temporary file moved into place, never
// through a symbolic link or over what is not a regular file of the user's (EPERM then). New files are
// private to the user.
int writePrivate(const std::string& path, std::string_view bytes);

// For a process ending on a signal: waits for a write in place to finish, removes the temporary files
// being written, and keeps any further write from starting. Call from an ordinary thread, not from a
// signal handler.
void endWrites();

// True when the two names are the same file (the same device and file number), symbolic links followed.
bool sameFile(const std::string& a, const std::string& b);

} // namespace files
