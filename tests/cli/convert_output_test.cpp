#include "converter_runs.h"
#include "support/pictures.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

// Where the converter's text goes: every kind of output name, failed writes, signals during a write, and
// standard input.
namespace converter_test {

namespace {

// Output names are written as what they name: the converter never replaces what was not asked for.
TEST_F(Converter, OutputTargetsAreWrittenAsTheyAre) {
    const QString pic = testpic::save(scene(40, 30), path("p.jpg"));
    const QStringList size = {"--columns", "10", "--chars", "#. "};
    const QByteArray text = convert(QStringList{pic} + size).out;
    const auto to = [&](const QString& target) { return convert(QStringList{pic, "-o", target} + size); };
    struct stat st {};
    // A symbolic link: its target is written, the link stays.
    writeFile("real.txt", "old");
    ASSERT_TRUE(QFile::link(path("real.txt"), path("link.txt")));
    EXPECT_EQ(to(path("link.txt")).status, 0);
    EXPECT_EQ(QFileInfo(path("link.txt")).symLinkTarget(), path("real.txt"));
    EXPECT_EQ(readFile("real.txt"), text);
    // In a sticky folder everybody may write, a link planted by another user is not followed, whatever the
    // kernel's own setting; the user's own is. A file of the kernel's takes no text.
    QDir(folder()).mkpath("shared");
    ::chmod(QFile::encodeName(path("shared")).constData(), 01777);
    writeFile("victim.txt", "precious");
    ASSERT_TRUE(QFile::link(path("victim.txt"), path("shared/planted")));
    ASSERT_TRUE(QFile::link(path("victim.txt"), path("shared/mine")));
    if (geteuid() == 0 &&
        ::lchown(QFile::encodeName(path("shared/planted")).constData(), 65534, 65534) == 0) {
        EXPECT_EQ(
            to(path("shared/planted")).err,
            ("tessarine-convert: " + pic + ": cannot write " + path("shared/planted") +
             ": a symbolic link of another user's in a shared folder, which is not followed (as the system "
             "does not follow it for a shell)\n")
                .toUtf8());
        EXPECT_EQ(readFile("victim.txt"), "precious");
    }
    EXPECT_EQ(to(path("shared/mine")).status, 0);
    EXPECT_EQ(readFile("victim.txt"), text);
    EXPECT_TRUE(to("/proc/self/status")
                    .err.endsWith(": a file of the kernel's (/proc, /sys), which takes no text\n"));
    // A private file keeps its mode; a file of two names stays one file.
    writeFile("private.txt", "old");
    ::chmod(QFile::encodeName(path("private.txt")).constData(), 0600);
    EXPECT_EQ(to(path("private.txt")).status, 0);
    ASSERT_EQ(::stat(QFile::encodeName(path("private.txt")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    writeFile("one.txt", QByteArray(200000, 'o')); // longer than the text: cut to its length
    ASSERT_EQ(::link(QFile::encodeName(path("one.txt")).constData(),
                     QFile::encodeName(path("two.txt")).constData()),
              0);
    EXPECT_EQ(to(path("one.txt")).status, 0);
    EXPECT_EQ(readFile("two.txt"), text);
    // A pipe is written into as it is, a device stays a device.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
    QProcess reader; // cat, not the converter
    reader.start("cat", {path("pipe")});
    ASSERT_TRUE(reader.waitForStarted());
    EXPECT_EQ(to(path("pipe")).status, 0);
    ASSERT_TRUE(reader.waitForFinished(60000));
    EXPECT_EQ(reader.readAllStandardOutput(), text);
    ASSERT_EQ(::stat(QFile::encodeName(path("pipe")).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    if (::mknod(QFile::encodeName(path("null")).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0) {
        EXPECT_EQ(to(path("null")).status, 0);
        ASSERT_EQ(::stat(QFile::encodeName(path("null")).constData(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the device node was replaced";
    }
    // A name of standard output itself, as jp2a users write /dev/stdout, is standard output.
    const ConverterRun named = to("/proc/self/fd/1");
    EXPECT_EQ(named.status, 0) << named.err.toStdString();
    EXPECT_EQ(named.out, text);
    // A long name that the file system takes, and the picture itself, which is not written over.
    const QString longName = path(QString(250, 'n'));
    EXPECT_EQ(to(longName).status, 0);
    EXPECT_EQ(QFile(longName).size(), text.size());
    const QByteArray picture = readFile("p.jpg");
    const ConverterRun self = to(pic);
    EXPECT_EQ(self.status, 2);
    EXPECT_EQ(
        self.err,
        ("tessarine-convert: -o " + pic + " is the picture " + pic + "; it is not written over\n").toUtf8());
    EXPECT_EQ(readFile("p.jpg"), picture);
    EXPECT_EQ(temporaries(folder()), QStringList()) << "no temporary file is left";
    // A new file gets the mode the user's umask leaves; a file of another user's that root rewrites stays
    // theirs.
    for (const auto& [mask, mode] : {std::pair<QString, unsigned>{"077", 0600u}, {"022", 0644u}}) {
        EXPECT_EQ(convertAfter("umask " + mask, QStringList{pic, "-o", path("new" + mask)} + size).status, 0);
        ASSERT_EQ(::stat(QFile::encodeName(path("new" + mask)).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode) << mask.toStdString();
    }
    if (geteuid() == 0) {
        writeFile("theirs.txt", "old");
        ASSERT_EQ(::chown(QFile::encodeName(path("theirs.txt")).constData(), 65534, 65534), 0);
        EXPECT_EQ(to(path("theirs.txt")).status, 0);
        ASSERT_EQ(::stat(QFile::encodeName(path("theirs.txt")).constData(), &st), 0);
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
    }
    // A relative link to a file not made yet: the file appears beside the link, where the link points.
    QDir(folder()).mkpath("sub");
    ASSERT_TRUE(QFile::link("made.txt", path("sub/ahead.txt")));
    EXPECT_EQ(to(path("sub/ahead.txt")).status, 0);
    EXPECT_EQ(readFile("sub/made.txt"), text);
    // A name ending in "/" is a folder, made for one picture as for several.
    EXPECT_EQ(to(path("texts/")).status, 0);
    EXPECT_EQ(readFile("texts/p.txt"), text);
    // A batch into a folder holding a link to another picture of the same run: that picture is not
    // written over.
    const QString other = testpic::save(scene(30, 30), path("q.jpg"));
    const QByteArray otherBytes = readFile("q.jpg");
    QDir(folder()).mkpath("batch");
    ASSERT_TRUE(QFile::link(other, path("batch/p.txt")));
    const ConverterRun batch = convert(QStringList{pic, other, "-o", path("batch")} + size);
    EXPECT_EQ(batch.status, 2);
    EXPECT_TRUE(batch.err.contains("it is not written over")) << batch.err.toStdString();
    EXPECT_EQ(readFile("q.jpg"), otherBytes);
}

TEST_F(Converter, FailedWritesAndEndlessInputAreReported) {
    const QString pic = testpic::save(scene(40, 30), path("p.jpg"));
    // Standard output to a full device: the reason on standard error and a failing status, whatever was
    // written there.
    for (const QStringList& args : {QStringList{pic}, QStringList{"--order"}, QStringList{"--help"}}) {
        QProcess p;
        p.setProcessEnvironment(converterEnvironment());
        p.setStandardOutputFile("/dev/full");
        p.start(QStringLiteral(TESSARINE_CONVERT), args);
        ASSERT_TRUE(p.waitForFinished(60000));
        const ConverterRun r = noticeApart({p.exitCode(), {}, p.readAllStandardError(), {}});
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.endsWith("tessarine-convert: standard output: No space left on device\n"))
            << args.join(' ').toStdString() << r.err.toStdString();
    }
    // A write over the file size limit fails and is reported like a full disk, the old content of a file of
    // one name or of several kept whole (also where it is longer than the limit already), and nothing left
    // behind.
    const QByteArray old = QByteArray("old\n").repeated(1500) + "end";
    writeFile("one.txt", old);
    writeFile("keep.txt", old);
    ASSERT_EQ(::link(QFile::encodeName(path("keep.txt")).constData(),
                     QFile::encodeName(path("keep.link")).constData()),
              0);
    for (const QString& target : {path("one.txt"), path("keep.link")}) {
        // (a text longer than the limit, shorter than the old file: no room needs making)
        const ConverterRun r = convertAfter("ulimit -f 1", {pic, "--columns", "60", "-o", target});
        EXPECT_EQ(r.status, 2) << target.toStdString();
        EXPECT_EQ(r.err,
                  ("tessarine-convert: " + pic + ": cannot write " + target + ": File too large\n").toUtf8());
    }
    EXPECT_EQ(readFile("one.txt"), old);
    EXPECT_EQ(readFile("keep.txt"), old);
    EXPECT_EQ(readFile("keep.link"), old);
    EXPECT_EQ(temporaries(folder()), QStringList());
    // Factors that leave no whole block are no text: a failure that names the picture, its size and the
    // factors, and no file.
    const ConverterRun none = convert({pic, "--scale", "70x8", "-o", path("none.txt")});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err, ("tessarine-convert: " + pic +
                         ": nothing to write: at 70 x 8 picture pixels a character, "
                         "this 40 x 30 picture leaves no whole block\n")
                            .toUtf8());
    EXPECT_FALSE(QFile::exists(path("none.txt")));
    const QString large = testpic::save(scene(400, 300), path("large.jpg"));
    EXPECT_EQ(convert({pic, large, "--scale", "70x8", "-o", path("nones")}).status, 1);
    EXPECT_EQ(QDir(path("nones")).entryList(QDir::Files), QStringList{"large.txt"});
    // Standard input that holds no picture is refused at its first bytes, however much more would come.
    QProcess endless;
    endless.setProcessEnvironment(converterEnvironment());
    endless.setStandardInputFile("/dev/zero");
    endless.start(QStringLiteral(TESSARINE_CONVERT), {"-"});
    ASSERT_TRUE(endless.waitForFinished(60000));
    EXPECT_EQ(endless.exitCode(), 2);
    EXPECT_EQ(endless.readAllStandardError(),
              "tessarine-convert: -: Invalid picture (standard input holds no picture)\n");
    // A JPEG that goes on without end is refused once it is longer than its announced 40 x 30 pixels can
    // be, long before the memory budget.
    QProcess endlessJpeg;
    endlessJpeg.setProcessEnvironment(converterEnvironment());
    endlessJpeg.start("bash",
                      {"-c", "cat \"$0\" /dev/zero | \"$1\" -", pic, QStringLiteral(TESSARINE_CONVERT)});
    ASSERT_TRUE(endlessJpeg.waitForFinished(60000));
    EXPECT_EQ(endlessJpeg.exitCode(), 2);
    EXPECT_EQ(noticeApart({2, {}, endlessJpeg.readAllStandardError(), {}}).err,
              "tessarine-convert: -: Invalid picture (standard input goes on past 64 MB, more than its "
              "picture can take)\n");
}

// Whether a process is stopped (its state in /proc), waited for as long as it takes to stop.
bool stopped(pid_t pid) {
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        QFile stat(QString("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray line = stat.readAll();
        if (line.mid(line.lastIndexOf(')') + 2, 1) == "T")
            return true;
        QThread::yieldCurrentThread();
    }
    return false;
}

// Starts a large conversion and, as soon as the file system reports `event` on a name starting with
// `prefix` in `folder`, stops it where it is; while `caught` then holds (the write is still under way), it is
// sent `signal` and continued, and how it ended is returned. -1 when it was never caught in the middle.
int signalledAt(const QString& folder, uint32_t event, const QString& prefix,
                const std::function<bool()>& caught, int signal, const QStringList& args) {
    const int watch = inotify_init1(IN_CLOEXEC);
    inotify_add_watch(watch, QFile::encodeName(folder).constData(), event);
    QProcess p;
    p.setProcessEnvironment(converterEnvironment());
    p.start(QStringLiteral(TESSARINE_CONVERT), args);
    p.waitForStarted();
    const pid_t pid = pid_t(p.processId());
    bool sent = false, seen = false;
    alignas(inotify_event) char events[4096];
    pollfd fd{watch, POLLIN, 0};
    while (!seen && p.state() == QProcess::Running && poll(&fd, 1, 20) >= 0) {
        const ssize_t got = fd.revents & POLLIN ? read(watch, events, sizeof events) : 0;
        for (ssize_t at = 0; at < got && !seen;) {
            const auto* e = reinterpret_cast<const inotify_event*>(events + at);
            seen = e->len > 0 && QString::fromUtf8(e->name).startsWith(prefix) && ::kill(pid, SIGSTOP) == 0;
            at += ssize_t(sizeof(inotify_event) + e->len);
        }
        p.waitForFinished(0);
    }
    ::close(watch);
    if (seen && stopped(pid)) {
        sent = caught() && ::kill(pid, signal) == 0;
        ::kill(pid, SIGCONT);
    }
    p.waitForFinished(60000);
    if (!sent || p.exitStatus() == QProcess::NormalExit)
        return -1;
    return p.exitCode(); // the signal that ended it
}

TEST_F(Converter, SignalsEndAWriteWithoutLeavingHalfAFile) {
    const QString pic = testpic::save(scene(40, 30), path("p.jpg"));
    const QStringList big = {pic,         "--columns", "10000",   "--rows", "5000",
                             "--mapping", "position",  "--chars", "#. "};
    const qint64 whole = qint64(5000) * 10001;
    QDir(folder()).mkpath("out");
    // While its temporary file is being written: removed, the target never made, the signal's status; also
    // when the terminal closes (SIGHUP).
    for (int signal : {SIGTERM, SIGHUP}) {
        int ended = -1;
        const auto writing = [&] {
            return !temporaries(path("out")).isEmpty() && !QFile::exists(path("out/big.txt"));
        };
        for (int attempt = 0; attempt < 5 && ended == -1; ++attempt) {
            QFile::remove(path("out/big.txt"));
            ended = signalledAt(path("out"), IN_CREATE, ".tessarine-", writing, signal,
                                big + QStringList{"-o", path("out/big.txt")});
        }
        EXPECT_EQ(ended, signal);
        EXPECT_EQ(temporaries(path("out")), QStringList()) << signal;
        // (a write the signal came too late for has moved its whole file into place)
        EXPECT_TRUE(!QFile::exists(path("out/big.txt")) || QFileInfo(path("out/big.txt")).size() == whole)
            << signal;
    }
    // While a file of two names is rewritten in place: the write finishes first, whole.
    writeFile("out/linked.txt", "old");
    ASSERT_EQ(::link(QFile::encodeName(path("out/linked.txt")).constData(),
                     QFile::encodeName(path("out/second.txt")).constData()),
              0);
    const int ended = signalledAt(
        path("out"), IN_MODIFY, "linked.txt", [] { return true; }, SIGTERM,
        big + QStringList{"-o", path("out/linked.txt")});
    EXPECT_TRUE(ended == SIGTERM || ended == -1) << ended;
    EXPECT_EQ(QFileInfo(path("out/second.txt")).size(), whole);
}

TEST_F(Converter, PictureFromStandardInputIsThePictureFromItsFile) {
    for (const char* ext : {"jpg", "bmp", "gif"}) {
        const QString pic = testpic::save(scene(90, 60), path(QString("in.") + ext));
        const ConverterRun fromFile = convert({pic, "--scale", "3x5", "--chars", "#+. "});
        const ConverterRun fromInput = convert({"-", "--scale", "3x5", "--chars", "#+. "}, pic);
        ASSERT_EQ(fromInput.status, 0) << ext << fromInput.err.toStdString();
        EXPECT_EQ(fromInput.out, fromFile.out) << ext;
        EXPECT_EQ(fromInput.out.count('\n'), 8) << ext;
    }
    const QString pic = path("in.jpg");
    const ConverterRun named = convert({"-", pic, "-o", path("both")}, pic);
    EXPECT_EQ(named.status, 0) << named.err.toStdString();
    EXPECT_TRUE(QFile::exists(path("both/stdin.txt")));
    EXPECT_TRUE(QFile::exists(path("both/in.txt")));
    writeFile("junk", "not a picture");
    const ConverterRun junk = convert({"-"}, path("junk"));
    EXPECT_EQ(junk.status, 2);
    EXPECT_TRUE(junk.err.startsWith("tessarine-convert: -: Invalid picture")) << junk.err.toStdString();
    EXPECT_EQ(convert({"-", "-", "-o", path("twice")}, pic).status, 2);
}

} // namespace

} // namespace converter_test
