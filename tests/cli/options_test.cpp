#include "options.h"

#include "kernels/character_choice.h"
#include "kernels/output_forms.h"
#include "shipped_tables.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

namespace {

cli::Options parse(const std::vector<std::string>& args) {
    return cli::parseOptions(args);
}

std::string refusal(const std::vector<std::string>& args) {
    try {
        parse(args);
    } catch (const err::Error& e) {
        return e.kind() == err::Kind::Usage ? e.description() : "not a usage error";
    }
    return "accepted";
}

TEST(Options, LongShortAndInlineValues) {
    const cli::Options o = parse({"a.jpg", "--scale", "8x16", "--chars=@. ", "-ofile.txt", "--crlf", "b.bmp",
                                  "-", "--", "--not-an-option.jpg"});
    EXPECT_EQ(o.pictures, (std::vector<std::string>{"a.jpg", "b.bmp", "-", "--not-an-option.jpg"}));
    EXPECT_EQ(o.scale, "8x16");
    EXPECT_EQ(o.chars, "@. ");
    EXPECT_EQ(o.output, "file.txt");
    EXPECT_TRUE(o.crlf);
    EXPECT_FALSE(o.noCache);
    EXPECT_TRUE(parse({"--no-cache"}).noCache);
    EXPECT_EQ(parse({"--chars", ""}).chars, "") << "an empty value is a value";
    EXPECT_EQ(parse({"--size", "-5"}).size, "-5") << "a value may start with a dash";
    EXPECT_TRUE(parse({"-h"}).help);
    EXPECT_TRUE(parse({"-?"}).help);
    EXPECT_TRUE(parse({"--version"}).version);
}

TEST(Options, RefusedCommandLines) {
    EXPECT_EQ(refusal({"--bogus"}), "unknown option --bogus (see --help)");
    EXPECT_EQ(refusal({"--help-all"}), "unknown option --help-all (see --help)");
    EXPECT_EQ(refusal({"--scale"}), "--scale needs a value");
    EXPECT_EQ(refusal({"--crlf=yes"}), "--crlf takes no value");
    EXPECT_EQ(refusal({"a.jpg"}), "accepted");
    // A near name is suggested, never taken: typos, a prefix, a short name.
    EXPECT_EQ(refusal({"--colour"}), "unknown option --colour; did you mean --color?");
    EXPECT_EQ(refusal({"--column", "5"}), "unknown option --column; did you mean --columns?");
    EXPECT_EQ(refusal({"--map", "shape"}), "unknown option --map; did you mean --mapping?");
    EXPECT_EQ(refusal({"--nocache"}), "unknown option --nocache; did you mean --no-cache?");
    // Other converters' names that mean something else here, or nothing, say what to type instead.
    for (const char* peer : {"-c", "-w", "-x", "-y", "--watch"})
        EXPECT_NE(refusal({peer, "full"}).find(" is "), std::string::npos) << peer;
    EXPECT_NE(refusal({"--fill=ascii"}).find("--table"), std::string::npos);
}

TEST(Options, PeersNamesAndModeWordsAfterColor) {
    const cli::Options o = parse({"--width", "80", "-H", "24", "--colors", "256", "photo.jpg", "-f", "ansi"});
    EXPECT_EQ(o.columns, "80");
    EXPECT_EQ(o.rows, "24");
    EXPECT_EQ(o.color, "256");
    EXPECT_EQ(o.format, "ansi");
    EXPECT_EQ(o.pictures, std::vector<std::string>{"photo.jpg"}) << "256 is the mode, not a picture";
    EXPECT_EQ(parse({"--color", "photo.jpg"}).color, "auto") << "as the environment says";
    EXPECT_EQ(parse({"--color", "./256"}).pictures, std::vector<std::string>{"./256"});
    EXPECT_EQ(parse({"--animate", "off", "a.gif"}).animate, "off");
    EXPECT_EQ(parse({"--animate=on"}).animate, "on");
    EXPECT_EQ(refusal({"--watch"}).find('\n'), std::string::npos) << "one line";
}

std::string fileText(const char* relative) {
    std::ifstream in(std::string(TESSARINE_SOURCE_DIR) + "/" + relative);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The heads of the entries of the manual page's OPTIONS section (its ".B", ".BI" and ".BR" lines), with
// roff's "\-" read as "-".
std::vector<std::string> manualOptionHeads() {
    std::istringstream page(fileText("docs/man/tessarine-convert.1.in"));
    std::vector<std::string> heads;
    bool inOptions = false;
    for (std::string line; std::getline(page, line);) {
        if (line.rfind(".SH ", 0) == 0)
            inOptions = line == ".SH OPTIONS";
        else if (inOptions && line.rfind(".B", 0) == 0)
            heads.push_back(std::regex_replace(line, std::regex(R"(\\-)"), "-") + " ");
    }
    return heads;
}

bool named(const std::vector<std::string>& heads, const std::string& word) {
    const std::string literal = std::regex_replace(word, std::regex(R"([?*+.|()\[\]])"), R"(\$&)");
    return std::any_of(heads.begin(), heads.end(), [&](const std::string& head) {
        return std::regex_search(head, std::regex("[ \"]" + literal + "[ \"]"));
    });
}

// Every option and every output form is named by --help, the manual page and the bash completion, which
// must offer a value's completion, not a picture's, after an option that takes one.
TEST(Options, EveryRowIsInTheHelpTheManualAndTheCompletion) {
    const std::string help = cli::helpText();
    EXPECT_EQ(help.rfind("Usage: tessarine-convert [options] PICTURE...\n", 0), 0u);
    const std::vector<std::string> manual = manualOptionHeads();
    const std::string completion = fileText("packaging/tessarine-convert.bash-completion");
    ASSERT_FALSE(manual.empty());
    ASSERT_FALSE(completion.empty());
    int listed = 0;
    for (const cli::OptionRule& rule : cli::optionRules()) {
        if (!rule.help)
            continue;
        ++listed;
        const std::string name =
            rule.longName ? std::string("--") + rule.longName : std::string("-") + rule.shortName;
        EXPECT_NE(help.find(" " + name +
                            (!rule.value         ? ""
                             : rule.defaultValue ? "[="
                                                 : " ")),
                  std::string::npos)
            << name;
        for (const char* alias : rule.aliases) {
            EXPECT_NE(help.find(alias), std::string::npos) << alias;
            EXPECT_TRUE(named(manual, alias)) << alias << " is missing from the manual page";
            EXPECT_NE(completion.find(alias), std::string::npos) << alias;
        }
        if (rule.shortName) {
            EXPECT_NE(help.find(std::string("-") + rule.shortName + ", "), std::string::npos) << name;
        }
        EXPECT_TRUE(named(manual, name)) << name << " is missing from the manual page";
        if (rule.defaultValue) {
            EXPECT_NE(completion.find(name + "=*"), std::string::npos) << name << "'s value after \"=\"";
        } else if (rule.value && rule.longName) {
            EXPECT_TRUE(std::regex_search(completion, std::regex("[ |]" + name + R"(( \||\)))")))
                << name << " takes a value the completion does not know";
        }
    }
    EXPECT_EQ(listed, 35);
    std::string words;
    for (const art::OutputForm& form : art::outputForms()) {
        const std::string name(form.name);
        words += (words.empty() ? "" : " ") + name;
        EXPECT_NE(help.find(" " + name + " ("), std::string::npos) << name;
        EXPECT_TRUE(named(manual, name)) << name << " is missing from the manual page";
    }
    EXPECT_NE(completion.find("compgen -W '" + words + "'"), std::string::npos) << words;
}

// An option's words come from the table that defines them, and a peer's word stands for one of them: a form,
// a mapping or a shipped table added to its table is an option's word at once, and a copy of a vocabulary
// that falls behind its table is caught here. The help's name for the value names exactly its words.
TEST(Options, EveryOptionsWordsAreItsTables) {
    const auto rule = [](const char* name) {
        for (const cli::OptionRule& r : cli::optionRules())
            if (r.longName && name == std::string("--") + r.longName)
                return r;
        ADD_FAILURE() << name;
        return cli::OptionRule{};
    };
    const auto words = [&](const char* name) {
        const std::vector<std::string> all = cli::optionWords(rule(name));
        return std::set<std::string>(all.begin(), all.end());
    };
    std::set<std::string> forms = {"ansi", "utf8"}; // img2txt's, both text
    for (const art::OutputForm& form : art::outputForms())
        forms.emplace(form.name);
    EXPECT_EQ(words("--format"), forms);
    EXPECT_EQ(words("--mapping"),
              std::set<std::string>(choice::kMappingNames.begin(), choice::kMappingNames.end()));
    const auto shipped = tables::shippedNames();
    for (const cli::OptionRule& r : cli::optionRules()) {
        const std::string name = r.longName ? std::string("--") + r.longName : std::string("-") + r.shortName;
        for (const cli::WordAlias& alias : r.wordAliases) {
            const std::vector<std::string> own = cli::optionWords(r);
            const bool ofTheRow = std::count(own.begin(), own.end(), alias.means) > 0;
            const bool aTable = std::find(shipped.begin(), shipped.end(), alias.means) != shipped.end();
            EXPECT_TRUE(ofTheRow || (name == "--symbols" && aTable)) << name << " " << alias.word;
            EXPECT_EQ(cli::wordMeant(name.c_str(), alias.word), alias.means) << name;
        }
        // "shape|ink|position": the words, each once.
        if (r.value && std::string(r.value).find('|') != std::string::npos && !cli::optionWords(r).empty()) {
            std::set<std::string> shown;
            std::stringstream value(r.value);
            for (std::string word; std::getline(value, word, '|');)
                shown.insert(word);
            const std::vector<std::string> all = cli::optionWords(r);
            EXPECT_EQ(shown, std::set<std::string>(all.begin(), all.end())) << name;
        }
    }
    // --table's help names the shipped tables, all of them.
    std::string listing;
    for (size_t i = 0; i < shipped.size(); ++i)
        listing += (i == 0 ? "" : i + 1 == shipped.size() ? " or " : ", ") + std::string(shipped[i]);
    const std::string help = std::regex_replace(cli::helpText(), std::regex("\\s+"), " ");
    EXPECT_NE(help.find("by name: " + listing + "."), std::string::npos) << listing;
}

// Values are checked as the command line is read, against their rows: a word that is none of the row's gets
// the nearest suggested, a number out of its range says what the option takes; --help still answers.
TEST(Options, ValuesAreCheckedAsTheyAreRead) {
    EXPECT_EQ(refusal({"--mapping", "shaep"}), "--mapping takes position, ink or shape; did you mean shape?");
    EXPECT_EQ(refusal({"--format", "htm"}),
              "--format takes text, ansi, utf8, html or png; did you mean html?");
    EXPECT_EQ(refusal({"--symbols", "blocks"}),
              "--symbols takes ascii, block or braille; did you mean block?");
    EXPECT_EQ(refusal({"--colors=ful"}),
              "--color takes auto, truecolor, full, 256, 16 or none; did you mean full?");
    EXPECT_EQ(refusal({"-W", "0"}), "--columns takes a whole number from 1 to 32767");
    EXPECT_EQ(refusal({"-s", "80"}),
              "-s takes WxH, the most characters a line by the most lines (for example 80x24)");
    EXPECT_EQ(refusal({"-s", "80x0"}), "-s takes a whole number from 1 to 32767");
    EXPECT_EQ(refusal({"--scale", "8x"}),
              "--scale takes HxV, two whole numbers of at least 1 (for example 8x16)");
    EXPECT_EQ(refusal({"--size", "80x24"}), "--size is the font's size in points here; for a text of 80 x 24 "
                                            "characters, -s 80x24 or --columns 80 --rows 24");
    EXPECT_EQ(refusal({"--brightness", "+101"}), "--brightness takes a whole number from -100 to 100");
    EXPECT_EQ(refusal({"--gamma", "0x1"}), "--gamma takes a number from 0.1 to 10");
    EXPECT_EQ(refusal({"--loops", "0"}), "--loops takes a whole number of at least 1");
    for (const char* duration :
         {"-1", "1e10", "inf", "nan"}) // a bound is at most a day: the clock's end holds
        EXPECT_EQ(refusal({"--duration", duration}),
                  "--duration takes a number of seconds above 0, at most a day (86400)")
            << duration;
    EXPECT_EQ(refusal({"--mapping", "curve", "--bogus"}), "unknown option --bogus (see --help)");
    EXPECT_TRUE(parse({"--mapping", "curve", "--help"}).help);
    EXPECT_EQ(cli::wordMeant("--format", "ansi"), "text");
    EXPECT_EQ(cli::wordMeant("--symbols", "block"), "blocks");
    EXPECT_EQ(cli::wordMeant("--color", "256"), "256");
}

} // namespace
