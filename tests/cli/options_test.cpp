#include "options.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(refusal({"-x"}), "unknown option -x (see --help)");
    EXPECT_EQ(refusal({"--help-all"}), "unknown option --help-all (see --help)");
    EXPECT_EQ(refusal({"--scale"}), "--scale needs a value");
    EXPECT_EQ(refusal({"--crlf=yes"}), "--crlf takes no value");
    EXPECT_EQ(refusal({"a.jpg"}), "accepted");
}

TEST(Options, HelpNamesEveryOption) {
    const std::string help = cli::helpText();
    EXPECT_EQ(help.rfind("Usage: tessarine-convert [options] PICTURE...\n", 0), 0u);
    for (const char* option : {"--output", "--table", "--chars", "--font", "--size", "--scale", "--columns",
                               "--settings", "--crlf", "--order", "--no-cache", "--help", "--version"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
}

} // namespace
