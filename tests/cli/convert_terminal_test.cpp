#include "converter_runs.h"
#include "support/pictures.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <utility>

// The converter on a terminal: its polarity, asked with care, and animations played in place.
namespace converter_test {

namespace {

// How the test's terminal behaves towards a converter run in it.
struct TerminalScript {
    QByteArray answer;      // sent once the background query shows on the screen; empty: no answer at all
    int answerAfterMs = 0;  // how long the terminal takes to answer
    QByteArray typed;       // keys typed before the converter starts (a line, as a shell would read it)
    QByteArray keysAtQuery; // keys pressed as soon as the query shows (Ctrl-Z, Ctrl-\)
    QString colorFgBg;
    // Run through a shell with job control, as a user's is, which reports how the converter ended
    // ("status=N"), and the terminal's modes at that moment ("modes=echo icanon"); a stopped converter is
    // then continued.
    bool throughShell = false;
    // Once it holds for the screen, the converter is sent SIGINT, as Ctrl-C would.
    std::function<bool(const QByteArray&)> interruptWhen;
};

// What the converter wrote to its terminal and left behind in its input.
struct TerminalRun {
    QByteArray screen; // all it wrote, and the terminal's echo
    QByteArray left;   // what remains for the shell to read
};

TerminalRun inTerminal(const QStringList& args, const TerminalScript& script = {}) {
    int master = -1, slave = -1;
    winsize size{};
    size.ws_col = 40;
    size.ws_row = 20;
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0)
        return {"no pseudo-terminal", {}};
    QProcess p;
    QProcessEnvironment environment = converterEnvironment();
    if (!script.colorFgBg.isEmpty())
        environment.insert("COLORFGBG", script.colorFgBg);
    p.setProcessEnvironment(environment);
    // The terminal is the converter's own, as a shell's is: its controlling terminal, input, output and
    // errors.
    p.setChildProcessModifier([slave] {
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        dup2(slave, STDIN_FILENO);
        dup2(slave, STDOUT_FILENO);
        dup2(slave, STDERR_FILENO);
    });
    if (!script.typed.isEmpty() && write(master, script.typed.constData(), size_t(script.typed.size())) < 0)
        return {"cannot type", {}};
    if (script.throughShell)
        p.start("bash", QStringList{"-c",
                                    "set -m; ulimit -c 0; \"$0\" \"$@\"; s=$?; echo; echo \"status=$s\"; "
                                    "echo \"modes=$(stty -a | tr ' ' '\\n' | grep -xE -- '-?(echo|icanon)' | "
                                    "tr '\\n' ' ')\"; [ $s -ne 148 ] || fg >/dev/null",
                                    QStringLiteral(TESSARINE_CONVERT)} +
                            args);
    else
        p.start(QStringLiteral(TESSARINE_CONVERT), args);
    fcntl(master, F_SETFL, O_NONBLOCK);
    QByteArray screen;
    std::function<bool(const QByteArray&)> interruptWhen = script.interruptWhen;
    QElapsedTimer sinceQuery, sinceStart;
    sinceStart.start();
    bool answered = script.answer.isEmpty(), pressed = script.keysAtQuery.isEmpty();
    while (true) {
        const bool running = !p.waitForFinished(answered ? 20 : 2);
        char chunk[4096];
        ssize_t got;
        while ((got = read(master, chunk, sizeof chunk)) > 0)
            screen.append(chunk, got);
        if (!sinceQuery.isValid() && screen.contains("\x1b]11;?"))
            sinceQuery.start();
        if (!answered && sinceQuery.isValid() && sinceQuery.elapsed() >= script.answerAfterMs)
            answered = write(master, script.answer.constData(), size_t(script.answer.size())) >= 0;
        if (!pressed && sinceQuery.isValid())
            pressed = write(master, script.keysAtQuery.constData(), size_t(script.keysAtQuery.size())) >= 0;
        if (running && interruptWhen && interruptWhen(screen)) {
            kill(pid_t(p.processId()), SIGINT);
            interruptWhen = {};
        }
        if (!running)
            break;
        if (sinceStart.elapsed() > 60000) { // a converter that never ends fails the test, not the suite
            p.kill();
            p.waitForFinished();
            screen += "\n(still running after a minute)";
        }
    }
    // What the shell would read next: the terminal's line as the converter left it.
    QByteArray left;
    fcntl(slave, F_SETFL, O_NONBLOCK);
    char chunk[4096];
    ssize_t got;
    while ((got = read(slave, chunk, sizeof chunk)) > 0)
        left.append(chunk, got);
    ::close(slave);
    ::close(master);
    return {screen, left};
}

// The background query and the device-attributes request that follows it, as the converter sends them.
constexpr const char kQuery[] = "\x1b]11;?\x1b\\\x1b[c";
constexpr const char kDeviceAttributes[] = "\x1b[?62;22c";

// The converter's text on a terminal's screen: what follows its query, or all of it.
QByteArray textOn(const TerminalRun& r) {
    const qsizetype query = r.screen.lastIndexOf(kQuery);
    return query < 0 ? r.screen : r.screen.mid(query + qsizetype(sizeof kQuery - 1));
}

TEST_F(Converter, TextTakesTheTerminalsPolarity) {
    // A white picture: blank on a light background, all ink on a dark one.
    QImage white(60, 40, QImage::Format_RGB32);
    white.fill(qRgb(255, 255, 255));
    const QStringList args = {testpic::save(white, path("white.bmp")), "--columns", "8"};
    const auto blank = [](const TerminalRun& r) {
        const QByteArray text = textOn(r);
        return !text.isEmpty() && text.trimmed().isEmpty();
    };
    const QByteArray light = "\x1b]11;rgb:ffff/fdfd/f6f6\x07" + QByteArray(kDeviceAttributes);
    struct Case {
        const char* name;
        TerminalScript terminal;
        bool lightText;
    };
    const Case cases[] = {
        {"a dark answer, ended by ST",
         {"\x1b]11;rgb:1e1e/1e1e/2e2e\x1b\\" + QByteArray(kDeviceAttributes)},
         false},
        {"a light answer at once", {light}, true},
        {"a light answer after 150 ms", {light, 150}, true},
        {"a light answer after 400 ms", {light, 400}, true},
        {"a terminal that knows no OSC 11 (most are dark)", {kDeviceAttributes}, false},
        {"a terminal that answers nothing", {}, false},
        {"a silent terminal, $COLORFGBG light", {.colorFgBg = "0;15"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TerminalRun r = inTerminal(args, c.terminal);
        ASSERT_TRUE(r.screen.contains(kQuery)) << r.screen.toStdString();
        EXPECT_EQ(blank(r), c.lightText) << r.screen.toStdString();
        EXPECT_EQ(r.left, "") << "the answers are read, not left for the shell";
        EXPECT_FALSE(r.screen.contains("rgb:") || r.screen.contains("62;22c")) << "nor echoed on the screen";
    }
    // Given, the background is not asked for; --invert flips whatever is in force.
    const TerminalRun given = inTerminal(QStringList(args) << "--background"
                                                           << "light");
    EXPECT_FALSE(given.screen.contains(kQuery));
    EXPECT_TRUE(blank(given));
    EXPECT_FALSE(blank(inTerminal(QStringList(args) << "--invert", {light})));
    // Nothing is asked where the answer could not change the text: two colours a cell, a page, the
    // desktop program's sizes.
    for (const QStringList& extra :
         {QStringList{"--color"}, QStringList{"--format", "html"}, QStringList{"--scale", "8x8"}})
        EXPECT_FALSE(inTerminal(args + extra, {light}).screen.contains(kQuery))
            << extra.join(' ').toStdString();
    // Into a pipe: light text for a dark terminal, as other converters make it, unless $COLORFGBG says
    // otherwise; a page is light.
    EXPECT_FALSE(convert(args).out.trimmed().isEmpty());
    {
        const ConverterVariable light("COLORFGBG", "0;15");
        EXPECT_TRUE(convert(args).out.trimmed().isEmpty());
    }
    EXPECT_TRUE(convert(args + QStringList{"--scale", "8x8"}).out.trimmed().isEmpty())
        << "the desktop program's";
}

// Asking the terminal takes nothing the user typed and leaves nothing for the shell: keys typed ahead are
// not read at all (nothing is asked then), and Ctrl-Z or Ctrl-\ while the answer is awaited finds the
// terminal's modes as they were.
TEST_F(Converter, TerminalQueryLeavesTypedKeysAndTheTerminalsModes) {
    QImage white(60, 40, QImage::Format_RGB32);
    white.fill(qRgb(255, 255, 255));
    const QStringList args = {testpic::save(white, path("white.bmp")), "--columns", "8"};
    const QByteArray light = "\x1b]11;rgb:ffff/ffff/ffff\x07" + QByteArray(kDeviceAttributes);
    TerminalScript typedAhead;
    typedAhead.answer = light;
    typedAhead.typed = "ls -l\n";
    const TerminalRun typed = inTerminal(args, typedAhead);
    EXPECT_EQ(typed.left, "ls -l\n") << "the typed line waits for the shell";
    EXPECT_FALSE(typed.screen.contains(kQuery));
    EXPECT_FALSE(typed.screen.contains("rgb:"));
    EXPECT_FALSE(textOn(typed).mid(textOn(typed).indexOf("ls -l") + 7).trimmed().isEmpty())
        << "taken for dark";
    for (const auto& [key, status] : {std::pair<QByteArray, const char*>{"\x1a", "status=148"}, // Ctrl-Z
                                      {"\x1c", "status=131"}}) { // Ctrl-backslash
        TerminalScript pressed;
        pressed.keysAtQuery = key;
        pressed.throughShell = true;
        // (on a loaded machine the key may come after the query has ended: the converter then ends as ever)
        TerminalRun r;
        for (int attempt = 0; attempt < 5 && (attempt == 0 || r.screen.contains("status=0")); ++attempt)
            r = inTerminal(args, pressed);
        EXPECT_TRUE(r.screen.contains(status)) << r.screen.toStdString();
        EXPECT_TRUE(r.screen.contains("modes=icanon echo")) << r.screen.toStdString();
    }
}

// The frames of red, green and blue cells an animation drew, in the order drawn: 0, 1, 2.
QList<int> drawn(const QByteArray& screen) {
    QList<int> order;
    static const QRegularExpression cell("48;2;(255;0;0|0;255;0|0;0;255)m");
    for (const QRegularExpressionMatch& m : cell.globalMatch(QString::fromUtf8(screen))) {
        const int frame = m.captured(1) == "255;0;0" ? 0 : m.captured(1) == "0;255;0" ? 1 : 2;
        if (order.isEmpty() || order.last() != frame)
            order.append(frame);
    }
    return order;
}

// An animated GIF plays in place, frame after frame in their order, until Ctrl-C, which leaves the cursor
// shown and the colours reset.
TEST_F(Converter, AnimationPlaysInTheTerminalUntilInterrupted) {
    const QList<QRgb> colours = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    QList<QImage> frames;
    for (QRgb c : colours)
        frames.append(testpic::filled(40, 20, c));
    const QString gif = testpic::saveAnimation(frames, 2, path("three.gif"));
    const ConverterVariable truecolor("COLORTERM", "truecolor");
    TerminalScript untilFive;
    untilFive.interruptWhen = [&](const QByteArray& screen) { return drawn(screen).size() >= 5; };
    const TerminalRun r =
        inTerminal({gif, "--animate", "--columns", "4", "--color", "--background", "dark"}, untilFive);
    const QList<int> order = drawn(r.screen);
    ASSERT_GE(order.size(), 5) << r.screen.toStdString();
    for (int i = 0; i < order.size(); ++i)
        EXPECT_EQ(order[i], i % 3) << "frame " << i << " of " << r.screen.toStdString();
    EXPECT_TRUE(r.screen.contains("\x1b[48;2;0;255;0m    ")) << "a flat block is a blank on its colour";
    EXPECT_TRUE(r.screen.contains("\x1b[?25l")) << "the cursor hidden while it plays";
    EXPECT_TRUE(QString::fromUtf8(r.screen).contains(QRegularExpression("\\x1b\\[\\d+A\\r")))
        << "each frame over the one before";
    EXPECT_TRUE(r.screen.endsWith("\x1b[0m\x1b[?25h")) << r.screen.right(40).toStdString();
    EXPECT_TRUE(inTerminal({gif, "--animate", "-f", "png"}).screen.contains("--animate plays text"))
        << "a picture's bytes are no animation";
    // Bounded, it ends by itself: --loops 1 draws each frame once, each over the one before, as many
    // lines up as a frame has; so does a GIF that says nothing of loops.
    const TerminalRun once = inTerminal({gif, "--animate", "--loops", "1", "--columns", "4", "--color"});
    EXPECT_EQ(drawn(once.screen), (QList<int>{0, 1, 2}));
    static const QRegularExpression up("\\x1b\\[(\\d+)A\\r");
    const QRegularExpressionMatch back = up.match(QString::fromUtf8(once.screen));
    ASSERT_TRUE(back.hasMatch()) << once.screen.toStdString();
    const qsizetype start = once.screen.indexOf("\x1b[?25l");
    EXPECT_EQ(back.captured(1).toInt(), once.screen.mid(start, back.capturedStart() - start).count('\n'));
    const QString unlooped = testpic::saveAnimation(frames, 2, path("once.gif"), false);
    EXPECT_EQ(drawn(inTerminal({unlooped, "--animate", "--columns", "4", "--color"}).screen),
              (QList<int>{0, 1, 2}));
}

// An animation that cannot be played ends with the reason a still would give: one whose every round shows
// nothing (its one frame broken, looping for ever), one whose later frame is broken (after the frames
// before it).
TEST_F(Converter, AnimationsThatCannotPlayEndWithTheirReason) {
    QList<QImage> frames;
    for (QRgb c : {qRgb(255, 0, 0), qRgb(0, 0, 255)})
        frames.append(testpic::filled(40, 20, c));
    const QString gif = testpic::saveAnimation(frames, 2, path("two.gif"));
    // A frame whose LZW code size is beyond the format's: the decoder cannot decode it.
    const auto broken = [&](int frame, const QString& name) {
        QByteArray bytes = readFile("two.gif");
        qsizetype control = -1;
        for (int i = 0; i <= frame; ++i)
            control = bytes.indexOf("\x21\xF9\x04", control + 1);
        bytes[control + 8 + 10] = char(255);
        writeFile(name, bytes);
        return path(name);
    };
    const ConverterVariable truecolor("COLORTERM", "truecolor");
    for (const QStringList& args :
         {QStringList{broken(0, "first.gif")}, QStringList{broken(0, "first.gif"), "--loops", "3"},
          QStringList{broken(1, "second.gif")}}) {
        const TerminalRun r = inTerminal(args + QStringList{"--animate", "--columns", "4", "--color"});
        EXPECT_TRUE(r.screen.contains(": Invalid picture\r\n")) << r.screen.toStdString();
        EXPECT_FALSE(r.screen.contains("(still running")) << args.join(' ').toStdString();
        EXPECT_EQ(r.screen.contains("48;2;255;0;0m"), args[0].endsWith("second.gif"))
            << "the frames before it";
    }
    EXPECT_TRUE(
        inTerminal({gif, "--animate", "--loops", "0"}).screen.contains("--loops takes a whole number"));
    EXPECT_TRUE(drawn(inTerminal({gif, "--animate", "--loops", "1", "-o", "-", "--color"}).screen).size() ==
                2)
        << "-o - is the terminal";
}

} // namespace

} // namespace converter_test
