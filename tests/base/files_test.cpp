#include "base/files.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class Files : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/tessarine-files-test-XXXXXX";
        dir_ = ::mkdtemp(name);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, ec);
        for (const auto& entry : fs::recursive_directory_iterator(dir_, ec))
            if (entry.is_directory(ec))
                fs::permissions(entry.path(), fs::perms::owner_all, ec);
        fs::remove_all(dir_, ec);
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
    static struct stat stat(const std::string& path) {
        struct stat st {};
        ::lstat(path.c_str(), &st);
        return st;
    }
    // No temporary file is left beside what was written.
    int entries() const { return int(std::distance(fs::directory_iterator(dir_), fs::directory_iterator())); }

    std::string dir_;
};

// Each kind of name is written as what it stands for, and nothing else is replaced or left behind.
TEST_F(Files, TargetsAreWrittenAsWhatTheyName) {
    const mode_t mask = ::umask(022);
    EXPECT_EQ(files::writeTarget(path("new.txt"), "text"), 0);
    EXPECT_EQ(read(path("new.txt")), "text");
    EXPECT_EQ(stat(path("new.txt")).st_mode & 07777, 0644u) << "a new file as the umask leaves it";
    // An existing file is replaced whole and keeps its mode.
    write(path("private.txt"), "old and longer");
    ::chmod(path("private.txt").c_str(), 0600);
    EXPECT_EQ(files::writeTarget(path("private.txt"), "new"), 0);
    EXPECT_EQ(read(path("private.txt")), "new");
    EXPECT_EQ(stat(path("private.txt")).st_mode & 07777, 0600u);
    // Through a link: the target is written, the link stays; a link to a file not made yet makes it where
    // the link points, beside the link.
    write(path("real.txt"), "old");
    fs::create_symlink("real.txt", path("link.txt"));
    fs::create_symlink("ahead.txt", path("dangling.txt"));
    EXPECT_EQ(files::writeTarget(path("link.txt"), "through"), 0);
    EXPECT_EQ(files::writeTarget(path("dangling.txt"), "ahead"), 0);
    EXPECT_TRUE(S_ISLNK(stat(path("link.txt")).st_mode));
    EXPECT_EQ(read(path("real.txt")), "through");
    EXPECT_EQ(read(path("ahead.txt")), "ahead");
    // A file of two names stays one file, rewritten where it is, its old tail gone.
    write(path("one.txt"), "a longer old text");
    ASSERT_EQ(::link(path("one.txt").c_str(), path("two.txt").c_str()), 0);
    const ino_t inode = stat(path("one.txt")).st_ino;
    EXPECT_EQ(files::writeTarget(path("one.txt"), "short"), 0);
    EXPECT_EQ(read(path("two.txt")), "short");
    EXPECT_EQ(stat(path("one.txt")).st_ino, inode);
    // A pipe is written into and stays a pipe; a folder is refused.
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    std::string piped;
    std::thread reader([&] { piped = read(path("pipe")); });
    EXPECT_EQ(files::writeTarget(path("pipe"), "into the pipe"), 0);
    reader.join();
    EXPECT_EQ(piped, "into the pipe");
    EXPECT_TRUE(S_ISFIFO(stat(path("pipe")).st_mode));
    EXPECT_EQ(files::writeTarget(dir_, "x"), EISDIR);
    EXPECT_EQ(entries(), 9) << "no temporary file is left";
    ::umask(mask);
}

// As an ordinary user (root writes everything): in a folder where no file can be made, a file the user may
// write is rewritten in place, a new one is refused, and so is a read-only file, as the shell's redirection
// refuses it.
TEST_F(Files, WhatTheUserMayNotWriteIsRefusedAndKept) {
    fs::permissions(dir_, fs::perms::all);
    fs::create_directory(path("shut"));
    write(path("shut/mine.txt"), "old text");
    write(path("shut/theirs.txt"), "kept");
    ::chmod(path("shut/mine.txt").c_str(), 0666);
    ::chmod(path("shut/theirs.txt").c_str(), 0444);
    ::chmod(path("shut").c_str(), 0555);
    const auto asUser = [&](auto check) { // the check's status, run as nobody when the test is root
        const pid_t child = ::fork();
        if (child == 0) {
            if (::geteuid() == 0 &&
                (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                std::_Exit(99);
            std::_Exit(check());
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    if (::geteuid() == 0)
        ::chown(path("shut/mine.txt").c_str(), 65534, 65534);
    EXPECT_EQ(asUser([&] { return files::writeTarget(path("shut/mine.txt"), "new"); }), 0);
    EXPECT_EQ(read(path("shut/mine.txt")), "new");
    EXPECT_EQ(asUser([&] { return files::writeTarget(path("shut/other.txt"), "new"); }), EACCES);
    EXPECT_EQ(asUser([&] { return files::writeTarget(path("shut/theirs.txt"), "new"); }), EACCES);
    EXPECT_EQ(read(path("shut/theirs.txt")), "kept");
    EXPECT_EQ(std::distance(fs::directory_iterator(path("shut")), fs::directory_iterator()), 2);
}

// A file of the user's own (a cache entry) is private, and never written through a link or over what is
// not a regular file of the user's.
TEST_F(Files, PrivateFilesRefuseLinksAndWhatIsNotTheUsers) {
    EXPECT_EQ(files::writePrivate(path("entry"), "entry"), 0);
    EXPECT_EQ(stat(path("entry")).st_mode & 07777, 0600u);
    EXPECT_EQ(files::writePrivate(path("entry"), "again"), 0);
    EXPECT_EQ(read(path("entry")), "again");
    write(path("victim"), "the victim's");
    fs::create_symlink(path("victim"), path("planted"));
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    for (const char* name : {"planted", "fifo"})
        EXPECT_EQ(files::writePrivate(path(name), "x"), EPERM) << name;
    EXPECT_EQ(read(path("victim")), "the victim's");
    EXPECT_TRUE(S_ISLNK(stat(path("planted")).st_mode));
    if (::geteuid() == 0) { // only root can give a file away
        write(path("theirs"), "theirs");
        ASSERT_EQ(::chown(path("theirs").c_str(), 65534, 65534), 0);
        EXPECT_EQ(files::writePrivate(path("theirs"), "x"), EPERM);
        EXPECT_EQ(read(path("theirs")), "theirs");
    }
}

} // namespace
