#include "plan.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {

using cli::Background;

// The world a plan is made in, as a test sets it: what the terminal answers, and what was asked of it.
struct StandIn : cli::Surroundings {
    std::map<std::string, std::string> environment{{"TERM", "xterm-256color"}};
    bool terminal = false;
    std::optional<px::Size> size, cell;
    std::optional<Background> answer; // what the terminal says of its background
    int asked = 0;                    // how often it was asked
    std::vector<std::string> made, reports;

    const char* variable(const char* name) const override {
        const auto found = environment.find(name);
        return found == environment.end() ? nullptr : found->second.c_str();
    }
    bool outputIsTerminal() const override { return terminal; }
    std::optional<px::Size> terminalSize() const override { return terminal ? size : std::nullopt; }
    std::optional<px::Size> terminalCell() const override { return terminal ? cell : std::nullopt; }
    std::optional<Background> askBackground() override {
        ++asked;
        return answer;
    }
    std::string keepStandardInput() override { return "/kept/standard-input"; }
    bool makeFolder(const std::string& path) override {
        made.push_back(path);
        return true;
    }
    void report(const std::string& picture, const std::string& reason) override {
        reports.push_back(picture + ": " + reason);
    }
};

cli::Plan planOf(const std::vector<std::string>& arguments, StandIn& world) {
    std::vector<std::string> all = arguments;
    all.insert(all.begin(), "missing.jpg"); // a picture's name: no picture is read while planning
    return cli::makePlan(cli::parseOptions(all), world);
}

std::string refusal(const std::vector<std::string>& arguments, StandIn world = {}) {
    try {
        planOf(arguments, world);
    } catch (const err::Error& e) {
        return e.kind() == err::Kind::Usage ? e.description() : "not a usage error";
    }
    return "accepted";
}

// Where the text is shown decides its polarity: the terminal is asked only where its answer can change the
// text, and the answer, $COLORFGBG and the rule for pipes and pages follow in that order.
TEST(Plan, BackgroundIsAskedOnlyWhereItCanChangeTheText) {
    struct Row {
        const char* name;
        std::vector<std::string> arguments;
        bool terminal;
        std::optional<Background> answer;
        const char* colorFgBg; // null: unset
        bool asked, lightText;
    };
    const Row rows[] = {
        {"a dark terminal", {}, true, Background::Dark, nullptr, true, true},
        {"a light terminal", {}, true, Background::Light, "15;0", true, false},
        {"no answer, $COLORFGBG light", {}, true, std::nullopt, "0;15", true, false},
        {"no answer and no $COLORFGBG: dark", {}, true, std::nullopt, nullptr, true, true},
        {"a pipe, $COLORFGBG light", {}, false, Background::Dark, "0;15", false, false},
        {"a pipe: dark, as other converters take it", {}, false, Background::Light, nullptr, false, true},
        {"-o a file", {"-o", "art.txt"}, true, Background::Light, nullptr, false, true},
        {"given", {"--background", "light"}, true, Background::Dark, nullptr, false, false},
        {"given and inverted",
         {"--background", "light", "--invert"},
         true,
         Background::Dark,
         nullptr,
         false,
         true},
        {"inverted", {"--invert"}, true, Background::Dark, nullptr, true, false},
        {"two colours a cell hide it", {"--color"}, true, Background::Light, nullptr, false, true},
        {"one colour a cell shows it",
         {"--color", "--fg-only"},
         true,
         Background::Light,
         nullptr,
         true,
         false},
        {"a page is light", {"--format", "html"}, true, Background::Dark, nullptr, false, false},
        {"the desktop program's sizes", {"--scale", "8x8"}, true, Background::Dark, nullptr, false, false},
    };
    for (const Row& r : rows) {
        StandIn world;
        world.terminal = r.terminal;
        world.answer = r.answer;
        if (r.colorFgBg)
            world.environment["COLORFGBG"] = r.colorFgBg;
        const cli::Plan p = planOf(r.arguments, world);
        EXPECT_EQ(world.asked, r.asked ? 1 : 0) << r.name;
        EXPECT_EQ(p.invert, r.lightText) << r.name;
        EXPECT_EQ(p.art.inverted, p.invert) << r.name;
    }
    StandIn dumb;
    dumb.terminal = true;
    dumb.environment["TERM"] = "dumb";
    planOf({}, dumb);
    EXPECT_EQ(dumb.asked, 0) << "a dumb terminal is asked nothing";
}

// The text's size: the grid asked for, else the terminal's (a line left for the prompt), else $COLUMNS or
// 80 characters a line; the terminal's cell where it tells it.
TEST(Plan, SizeFollowsTheGridTheTerminalOrColumns) {
    struct Row {
        const char* name;
        std::vector<std::string> arguments;
        bool terminal;
        const char* columnsVariable;
        std::optional<cli::Plan::Grid> grid;
    };
    const Row rows[] = {
        {"the terminal", {}, true, "57", cli::Plan::Grid{100, 29, true}},
        {"the terminal, stretched", {"--stretch"}, true, nullptr, cli::Plan::Grid{100, 29, false}},
        {"a pipe", {}, false, nullptr, cli::Plan::Grid{80, 0, false}},
        {"a pipe, $COLUMNS", {}, false, "57", cli::Plan::Grid{57, 0, false}},
        {"a pipe, $COLUMNS 0", {}, false, "0", cli::Plan::Grid{80, 0, false}},
        {"a pipe, $COLUMNS no number", {}, false, "wide", cli::Plan::Grid{80, 0, false}},
        {"-o a file from a terminal", {"-o", "art.txt"}, true, nullptr, cli::Plan::Grid{80, 0, false}},
        {"--columns", {"--columns", "40"}, true, nullptr, cli::Plan::Grid{40, 0, false}},
        {"--rows", {"--rows", "10"}, false, nullptr, cli::Plan::Grid{0, 10, false}},
        {"both", {"--columns", "40", "--rows", "10"}, true, nullptr, cli::Plan::Grid{40, 10, false}},
        {"-s", {"-s", "30x10"}, true, nullptr, cli::Plan::Grid{30, 10, true}},
        {"-s, stretched", {"-s", "30x10", "--stretch"}, true, nullptr, cli::Plan::Grid{30, 10, false}},
        {"factors", {"--scale", "8x16"}, true, nullptr, std::nullopt},
    };
    const auto same = [](const std::optional<cli::Plan::Grid>& a, const std::optional<cli::Plan::Grid>& b) {
        return a.has_value() == b.has_value() &&
               (!a || (a->columns == b->columns && a->rows == b->rows && a->fit == b->fit));
    };
    for (const Row& r : rows) {
        StandIn world;
        world.terminal = r.terminal;
        world.size = px::Size{100, 30};
        world.cell = px::Size{8, 17};
        if (r.columnsVariable)
            world.environment["COLUMNS"] = r.columnsVariable;
        const cli::Plan p = planOf(r.arguments, world);
        EXPECT_TRUE(same(p.grid, r.grid)) << r.name;
        // The cell is the terminal's where the text is shown on it at the converter's own sizes.
        const bool onTerminal = r.terminal && r.arguments != std::vector<std::string>{"-o", "art.txt"} &&
                                r.arguments != std::vector<std::string>{"--scale", "8x16"};
        EXPECT_EQ(p.cellAspect, onTerminal ? std::optional(17.0 / 8) : std::nullopt) << r.name;
    }
}

// Options that exclude each other, or need each other, are refused with what to type; the forms' and
// colours' words combine.
TEST(Plan, OptionPairings) {
    const std::pair<std::vector<std::string>, const char*> refused[] = {
        {{"--table", "ascii", "--chars", "ab"}, "--table and --chars exclude each other"},
        {{"--symbols", "ascii", "--chars", "ab"}, "--symbols names a table: it excludes --table and --chars"},
        {{"--scale", "2x2", "--columns", "10"}, "--scale and --columns exclude each other"},
        {{"--scale", "2x2", "-s", "10x10"}, "--scale and -s exclude each other"},
        {{"-s", "10x10", "--rows", "3"}, "-s and --columns or --rows exclude each other"},
        {{"--dither", "--mapping", "position"}, "--dither works with --mapping ink or shape"},
        {{"--dither", "--scale", "2x2"}, "--dither works with --mapping ink or shape"},
        {{"--fg-only"}, "--fg-only goes with --color"},
        {{"--fill", "--color", "none"},
         "--fill is the background of --color's two colours a cell: not with --color none or --fg-only"},
        {{"--fill", "--mapping", "position"},
         "--fill gives two colours a cell with --mapping shape or ink; --mapping position colours each "
         "character alone"},
        {{"--size", "0.5"}, "the font size must be at least 1 point"},
        {{"--animate"},
         "--animate plays in a terminal: standard output is none (without it, the first frame is written)"},
    };
    for (const auto& [arguments, message] : refused)
        EXPECT_EQ(refusal(arguments), message) << arguments.front();
    StandIn terminal;
    terminal.terminal = true;
    EXPECT_EQ(refusal({"--animate", "-f", "png"}, terminal),
              "--animate plays text in a terminal: not with --format png");
    EXPECT_EQ(refusal({"--animate"}, terminal), "accepted");

    const auto palette = [](const std::vector<std::string>& arguments, const char* colorTerm = nullptr) {
        StandIn world;
        if (colorTerm)
            world.environment["COLORTERM"] = colorTerm;
        return planOf(arguments, world).colours;
    };
    EXPECT_EQ(palette({}), std::nullopt);
    EXPECT_EQ(palette({"-f", "ansi"}), art::Palette::Ansi16) << "img2txt's ansi is 16 colours";
    EXPECT_EQ(palette({"-f", "ansi", "--color", "256"}), art::Palette::Xterm256);
    EXPECT_EQ(palette({"-f", "utf8"}), std::nullopt);
    EXPECT_EQ(palette({"--color", "full"}), art::Palette::TrueColor) << "chafa's full";
    EXPECT_EQ(palette({"--color"}), art::Palette::Xterm256) << "as $TERM says";
    EXPECT_EQ(palette({"--color"}, "truecolor"), art::Palette::TrueColor) << "as $COLORTERM says";
    EXPECT_EQ(palette({"--fill"}), art::Palette::Xterm256) << "jp2a's --fill is --color's two colours";
    StandIn world;
    EXPECT_EQ(planOf({"-f", "ansi"}, world).form, &art::textForm());
    EXPECT_TRUE(planOf({"--color"}, world).twoColours);
    EXPECT_FALSE(planOf({"--color", "--mapping", "position"}, world).twoColours);

    // In one ink the converter's own sizes stretch the picture's levels; colours and the desktop program's
    // sizes keep the picture's own, and so does --levels none.
    const auto stretched = [&](const std::vector<std::string>& arguments) {
        return planOf(arguments, world).art.levels.automatic;
    };
    EXPECT_TRUE(stretched({}));
    EXPECT_TRUE(stretched({"--mapping", "ink", "-f", "html"}));
    EXPECT_FALSE(stretched({"--levels", "none"}));
    EXPECT_FALSE(stretched({"--color"}));
    EXPECT_FALSE(stretched({"--scale", "2x2"}));
    EXPECT_TRUE(stretched({"--scale", "2x2", "--levels", "auto"}));
}

// Several pictures go into a folder, made once; a name taken by an earlier picture is refused for the later
// one, said at once; standard input is kept once.
TEST(Plan, JobsIntoAFolderAndFromStandardInput) {
    StandIn world;
    const cli::Plan p = cli::makePlan(
        cli::parseOptions({"a/one.jpg", "b/one.png", "-", "two.gif", "-o", "/made/texts"}), world);
    EXPECT_EQ(world.made, std::vector<std::string>{"/made/texts"});
    ASSERT_EQ(p.jobs.size(), 4u);
    EXPECT_EQ(p.jobs[0].output, "/made/texts/one.txt");
    EXPECT_TRUE(p.jobs[1].refused);
    EXPECT_EQ(world.reports,
              std::vector<std::string>{"b/one.png: output one.txt is already written for a/one.jpg"});
    EXPECT_EQ(p.jobs[2].source, "/kept/standard-input");
    EXPECT_EQ(p.jobs[2].output, "/made/texts/stdin.txt");
    EXPECT_EQ(p.jobs[3].output, "/made/texts/two.txt");
    EXPECT_EQ(refusal({"-", "-"}), "standard input (-) can be read only once");
}

} // namespace
