#include "order_cache/font_fingerprint.h"
#include "order_cache/order_cache.h"
#include "qt_bridge/qt_module_loader.h"

#include "kernels/errors.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A folder of the test's own, gone afterwards.
class TempFolder {
  public:
    TempFolder() {
        char name[] = "/tmp/tessarine-cache-test-XXXXXX";
        path_ = ::mkdtemp(name);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string path(const std::string& name = {}) const { return name.empty() ? path_ : path_ + "/" + name; }

  private:
    std::string path_;
};

// Sets an environment variable for one test.
class Environment {
  public:
    Environment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~Environment() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// fontconfig's configuration, asked as the converter asks it: through the Qt bridge's module.
cli::FontConfiguration askFontconfig() {
    static cli::QtModule* bridge = [] {
        ::setenv("TESSARINE_QT_MODULE", TESSARINE_QT_MODULE_FILE, 1);
        return new cli::QtModule("tessarine-order-cache-test");
    }();
    return bridge->loaded().fontConfiguration();
}

std::string fingerprint(const std::string& memo = {}) {
    return cli::fontFingerprint(askFontconfig, memo).value_or("(not made)");
}

cli::OrderCache cacheIn(const std::string& folder, std::vector<std::string> measuringFiles = {}) {
    return cli::OrderCache(folder, std::move(measuringFiles), askFontconfig);
}

// The table sample() measures.
const std::u32string kTable = U"@\U0001F600. ";

cli::Measurement sample() {
    cli::Measurement m;
    m.chars = {U'@', U'\U0001F600', U'.', U' '};
    m.levels = {40, 33, 4, 0};
    m.printable = {true, true, true, false};
    m.cellAspect = 1.7790178571428572;
    // Glyphs of 3 x 2 pixels in the cell, whatever their ink, 0 and 255 included.
    m.patterns = {{3, 2, {255, 255, 255, 255, 0, 255}},
                  {3, 2, {9, 80, 160, 200, 255, 1}},
                  {3, 2, {0, 0, 0, 0, 128, 0}},
                  {3, 2, {0, 0, 0, 0, 0, 0}}};
    return m;
}

TEST(OrderCache, WhatIsStoredComesBackWhole) {
    TempFolder dir;
    const cli::OrderCache cache = cacheIn(dir.path());
    const std::string key = cache.key(kTable, "Courier New", 8);
    EXPECT_FALSE(cache.load(key, kTable, 8)) << "nothing stored yet";
    ASSERT_TRUE(cache.store(key, sample()));
    const auto back = cache.load(key, kTable, 8);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->chars, sample().chars);
    EXPECT_EQ(back->levels, sample().levels);
    EXPECT_EQ(back->printable, sample().printable);
    EXPECT_EQ(back->cellAspect, sample().cellAspect);
    ASSERT_EQ(back->patterns.size(), sample().patterns.size()) << "what the shape mapping needs";
    for (size_t i = 0; i < back->patterns.size(); ++i) {
        EXPECT_EQ(back->patterns[i].width, 3);
        EXPECT_EQ(back->patterns[i].ink, sample().patterns[i].ink) << "glyph " << i;
    }
    // A measurement whose glyphs are not all of one size is not stored.
    cli::Measurement ragged = sample();
    ragged.patterns[1] = {2, 2, {1, 2, 3, 4}};
    EXPECT_FALSE(cache.store(cache.key(U"x", "Courier New", 8), ragged));
    // Nothing is left beside the entry.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path("orders")), fs::directory_iterator()), 1);
}

TEST(OrderCache, KeyCoversTableFontSizeAndFonts) {
    TempFolder dir;
    const cli::OrderCache cache = cacheIn(dir.path());
    const std::string key = cache.key(U"@. ", "Courier New", 8);
    EXPECT_EQ(cache.key(U"@. ", "Courier New", 8), key) << "the same inputs give the same key";
    for (const std::string& other :
         {cache.key(U"@. x", "Courier New", 8), cache.key(U"@ .", "Courier New", 8),
          cache.key(U"@. ", "DejaVu Sans Mono", 8), cache.key(U"@. ", "Courier New", 8.5),
          cache.key(U"@. ", "Courier new", 8)})
        EXPECT_NE(other, key);
    // The files a measurement runs through are part of it.
    write(dir.path("module.so"), "one");
    const cli::OrderCache withModule = cacheIn(dir.path(), {dir.path("module.so")});
    const std::string before = withModule.key(U"@. ", "Courier New", 8);
    write(dir.path("module.so"), "a rebuilt module");
    EXPECT_NE(withModule.key(U"@. ", "Courier New", 8), before);
}

TEST(OrderCache, DamagedEntriesAreIgnored) {
    TempFolder dir;
    const cli::OrderCache cache = cacheIn(dir.path());
    const std::string key = cache.key(kTable, "Courier New", 8);
    ASSERT_TRUE(cache.store(key, sample()));
    const std::string whole = read(cache.entryPath(key));
    const std::vector<std::string> damaged = {
        "",                                                              // empty
        whole.substr(0, whole.size() / 2),                               // cut short
        whole.substr(0, whole.size() - 5) + "0000\n",                    // wrong checksum
        std::string(whole).replace(whole.find("count 4"), 7, "count 5"), // a count that does not fit
        "\x7f"
        "ELF binary garbage\n\0\0\n", // something else entirely
    };
    for (const std::string& text : damaged) {
        write(cache.entryPath(key), text);
        EXPECT_FALSE(cache.load(key, kTable, 8)) << text.size() << " bytes";
    }
    // An entry written for another key under the same name (a collision) is not taken either.
    write(cache.entryPath(key), whole);
    ASSERT_TRUE(cache.load(key, kTable, 8));
    const std::string other = cache.key(U"#", "Courier New", 8);
    fs::copy_file(cache.entryPath(key), cache.entryPath(other), fs::copy_options::overwrite_existing);
    EXPECT_FALSE(cache.load(other, U"#", 8));
    // A store over a damaged entry makes it whole again.
    write(cache.entryPath(key), "junk");
    ASSERT_TRUE(cache.store(key, sample()));
    EXPECT_TRUE(cache.load(key, kTable, 8));
}

TEST(OrderCache, WritersAtOnceLeaveAWholeEntry) {
    TempFolder dir;
    const cli::OrderCache cache = cacheIn(dir.path());
    const std::string key = cache.key(kTable, "Courier New", 8);
    std::vector<std::thread> writers;
    for (int i = 0; i < 8; ++i)
        writers.emplace_back([&] {
            for (int k = 0; k < 50; ++k)
                cache.store(key, sample());
        });
    // Readers meanwhile see a whole entry or none, never a part.
    for (int k = 0; k < 200; ++k) {
        const auto m = cache.load(key, kTable, 8);
        if (m) {
            EXPECT_EQ(m->chars, sample().chars);
        }
    }
    for (auto& w : writers)
        w.join();
    EXPECT_TRUE(cache.load(key, kTable, 8));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path("orders")), fs::directory_iterator()), 1)
        << "no temporary file is left";
}

TEST(OrderCache, UnwritableFolderIsNoError) {
    const cli::OrderCache cache = cacheIn("/proc/no-such-place");
    EXPECT_FALSE(cache.store(cache.key(U"@", "Courier New", 8), sample()));
    // Under a home that does not exist (a system account's /nonexistent), nothing is made: not the home,
    // and not its cache. Where the home exists, its cache folder is made too.
    TempFolder dir;
    const cli::OrderCache homeless = cacheIn(dir.path("nonexistent/home/.cache/tessarine"));
    EXPECT_FALSE(homeless.store(homeless.key(kTable, "Courier New", 8), sample()));
    EXPECT_FALSE(fs::exists(dir.path("nonexistent")));
    fs::create_directories(dir.path("home"));
    const cli::OrderCache housed = cacheIn(dir.path("home/.cache/tessarine"));
    EXPECT_TRUE(housed.store(housed.key(kTable, "Courier New", 8), sample()));
}

// Fonts that cannot be fingerprinted (the bridge's module cannot be loaded) leave nothing to trust.
TEST(OrderCache, NothingIsRememberedForFontsThatCannotBeFingerprinted) {
    TempFolder dir;
    const cli::OrderCache blind(dir.path(), {}, []() -> cli::FontConfiguration {
        throw err::Error(err::PathFileAccess, "cannot load the Qt module");
    });
    const std::string key = blind.key(kTable, "Courier New", 8);
    EXPECT_FALSE(blind.store(key, sample()));
    EXPECT_FALSE(blind.load(key, kTable, 8));
    EXPECT_FALSE(fs::exists(dir.path("orders")));
}

// A whole entry, its checksum right, is still only believed when it fits the table it is for.
TEST(OrderCache, EntriesThatDoNotFitTheirTableAreIgnored) {
    TempFolder dir;
    const cli::OrderCache cache = cacheIn(dir.path());
    const std::string key = cache.key(kTable, "Courier New", 8);
    const auto with = [](auto change) {
        cli::Measurement m = sample();
        change(m);
        return m;
    };
    const cli::Measurement poisoned[] = {
        with([](cli::Measurement& m) { m.chars[0] = U'X'; }), // a character not in the table
        with([](cli::Measurement& m) { m.chars[1] = U'@'; }), // one twice, another missing
        with([](cli::Measurement& m) {
            m.chars.pop_back(), m.levels.pop_back(), m.printable.pop_back(), m.patterns.pop_back();
        }),
        with([](cli::Measurement& m) {
            m.chars = {}, m.levels = {}, m.printable = {}, m.patterns = {};
        }),                                                                 // none
        with([](cli::Measurement& m) { m.chars[0] = char32_t(0x110000); }), // no code point
        with([](cli::Measurement& m) { m.levels[0] = 16 * 16 + 1; }),       // more ink than the surface holds
        with([](cli::Measurement& m) { m.levels[3] = -1; }),
        with([](cli::Measurement& m) { m.cellAspect = std::numeric_limits<double>::infinity(); }),
        with([](cli::Measurement& m) { m.cellAspect = std::nan(""); }),
        with([](cli::Measurement& m) { m.cellAspect = 0; }),
        with([](cli::Measurement& m) { m.cellAspect = -2; }),
    };
    for (size_t i = 0; i < std::size(poisoned); ++i) {
        ASSERT_TRUE(cache.store(key, poisoned[i]));
        EXPECT_FALSE(cache.load(key, kTable, 8)) << "entry " << i;
    }
    ASSERT_TRUE(cache.store(key, sample()));
    EXPECT_TRUE(cache.load(key, kTable, 8));
}

// Only folders of this user's that nobody else may write: another user who made or opened the folder
// first decides nothing.
TEST(OrderCache, FoldersOthersControlAreNotUsed) {
    TempFolder dir;
    const cli::OrderCache cache = cacheIn(dir.path("cache"));
    const std::string key = cache.key(kTable, "Courier New", 8);
    ASSERT_TRUE(cache.store(key, sample()));
    EXPECT_EQ(fs::status(dir.path("cache")).permissions() & fs::perms::all, fs::perms::owner_all);
    for (const char* folder : {"cache", "cache/orders"}) {
        fs::permissions(dir.path(folder), fs::perms::all);
        EXPECT_FALSE(cache.load(key, kTable, 8)) << folder << " writable by all";
        EXPECT_FALSE(cache.store(key, sample()));
        fs::permissions(dir.path(folder), fs::perms::owner_all);
        ASSERT_TRUE(cache.load(key, kTable, 8));
    }
    if (::geteuid() == 0) { // only root can give a folder away
        ASSERT_EQ(::chown(dir.path("cache/orders").c_str(), 65534, 65534), 0);
        EXPECT_FALSE(cache.load(key, kTable, 8)) << "a folder of another user's";
    }
    // The font memo is neither read nor written in a folder others may write, nor ever through a link: a
    // link planted in its place leaves the file it points to as it was.
    write(dir.path("victim"), "the victim's");
    fs::remove(dir.path("cache/fonts.memo")); // the memo the first entry left, replaced by a link
    fs::create_symlink(dir.path("victim"), dir.path("cache/fonts.memo"));
    fs::permissions(dir.path("cache"), fs::perms::all);
    cache.key(kTable, "Courier New", 8);
    fs::permissions(dir.path("cache"), fs::perms::owner_all);
    cache.key(kTable, "Courier New", 8);
    EXPECT_EQ(read(dir.path("victim")), "the victim's");
    EXPECT_TRUE(fs::is_symlink(dir.path("cache/fonts.memo")));
    // A symbolic link in the folder's place is no folder of the user's.
    fs::rename(dir.path("cache"), dir.path("elsewhere"));
    fs::create_directory_symlink(dir.path("elsewhere"), dir.path("cache"));
    EXPECT_FALSE(cache.load(key, kTable, 8));
    EXPECT_FALSE(cache.store(key, sample()));
    // Without a cache or home folder there is no cache at all, rather than one in a shared folder.
    Environment noCache("XDG_CACHE_HOME", ""), noHome("HOME", "");
    EXPECT_FALSE(cli::OrderCache::userFolder());
}

TEST(FontFingerprint, ChangesWithTheConfigurationAndTheFonts) {
    TempFolder dir;
    fs::create_directories(dir.path("fonts/sub"));
    write(dir.path("fonts.conf"), "<?xml version=\"1.0\"?>\n<fontconfig>\n  <dir>" + dir.path("fonts") +
                                      "</dir>\n  <include ignore_missing=\"yes\">" + dir.path("extra.conf") +
                                      "</include>\n</fontconfig>\n");
    Environment config("FONTCONFIG_FILE", dir.path("fonts.conf"));
    const std::string first = fingerprint();
    EXPECT_EQ(fingerprint(), first) << "nothing changed";

    write(dir.path("fonts/sub/new.ttf"), "a font");
    const std::string withFont = fingerprint();
    EXPECT_NE(withFont, first) << "a font added in a folder below a font folder";

    // A font replaced as installers replace files: written beside it, then renamed over it.
    write(dir.path("fonts/sub/new.ttf.part"), "the same font, a newer version");
    fs::rename(dir.path("fonts/sub/new.ttf.part"), dir.path("fonts/sub/new.ttf"));
    const std::string changed = fingerprint();
    EXPECT_NE(changed, withFont) << "a font replaced";

    fs::create_directories(dir.path("more"));
    write(dir.path("extra.conf"), "<fontconfig><dir>" + dir.path("more") + "</dir></fontconfig>");
    const std::string included = fingerprint();
    EXPECT_NE(included, changed) << "an included file appeared";
    write(dir.path("more/other.otf"), "another font");
    EXPECT_NE(fingerprint(), included) << "a font in a folder an included file names";

    Environment elsewhere("FONTCONFIG_FILE", dir.path("extra.conf"));
    EXPECT_NE(fingerprint(), included) << "the configuration file itself";
}

// A font rewritten in place (its name, file number and folder unchanged) and a font in each kind of
// folder fontconfig accepts: under the home folder, under XDG_DATA_HOME, beside the configuration file,
// and relative to the folder the program runs in.
TEST(FontFingerprint, EveryFontFolderForm) {
    TempFolder dir;
    for (const char* folder : {"home/.fonts", "data/fonts", "conf/near", "work/here", "fonts"})
        fs::create_directories(dir.path(folder));
    write(dir.path("conf/fonts.conf"), "<fontconfig><dir>~/.fonts</dir><dir prefix=\"xdg\">fonts</dir>"
                                       "<dir prefix=\"relative\">near</dir><dir prefix=\"cwd\">here</dir>"
                                       "<dir>" +
                                           dir.path("fonts") + "</dir></fontconfig>");
    Environment config("FONTCONFIG_FILE", dir.path("conf/fonts.conf")), home("HOME", dir.path("home")),
        data("XDG_DATA_HOME", dir.path("data"));
    const fs::path before = fs::current_path();
    fs::current_path(dir.path("work"));
    std::string last = fingerprint();
    for (const char* font : {"home/.fonts/a.ttf", "data/fonts/b.ttf", "conf/near/c.ttf", "work/here/d.ttf"}) {
        write(dir.path(font), "a font");
        const std::string now = fingerprint();
        EXPECT_NE(now, last) << font;
        last = now;
    }
    fs::create_directories(dir.path("fonts/new/deeper"));
    EXPECT_NE(fingerprint(), last) << "a folder made below a font folder";
    last = fingerprint();
    write(dir.path("fonts/new/deeper/e.ttf"), "a font");
    EXPECT_NE(fingerprint(), last) << "a font added two folders down";
    fs::current_path(before);
}

// An order holds while the font files it was drawn from are as they were: a measured font rewritten in place
// (at another size, or at the same size later) or removed is seen, and then only the measured fonts count.
TEST(OrderCache, MeasuredFontFilesAreCheckedWithTheirOrder) {
    TempFolder dir;
    write(dir.path("used.ttf"), "version 1");
    write(dir.path("fallback.ttf"), "glyphs the first lacks");
    const cli::OrderCache cache = cacheIn(dir.path("cache"));
    const std::string key = cache.key(kTable, "Courier New", 8);
    cli::Measurement m = sample();
    m.fontFiles = {dir.path("used.ttf"), dir.path("fallback.ttf")};
    ASSERT_TRUE(cache.store(key, m));
    ASSERT_TRUE(cache.load(key, kTable, 8));
    EXPECT_EQ(cache.load(key, kTable, 8)->fontFiles, m.fontFiles);
    const auto rewrite = [&](const char* name, const char* text, int later) {
        {
            std::fstream same(dir.path(name), std::ios::in | std::ios::out | std::ios::binary);
            same << text;
        }
        fs::last_write_time(dir.path(name),
                            fs::last_write_time(dir.path(name)) + std::chrono::seconds(later));
    };
    rewrite("fallback.ttf", "version 2, longer than it was", 0);
    EXPECT_FALSE(cache.load(key, kTable, 8)) << "a fallback font rewritten in place";
    ASSERT_TRUE(cache.store(key, m));
    rewrite("used.ttf", "version 2", 1);
    EXPECT_FALSE(cache.load(key, kTable, 8)) << "rewritten in place at the same size, later";
    ASSERT_TRUE(cache.store(key, m));
    fs::remove(dir.path("used.ttf"));
    EXPECT_FALSE(cache.load(key, kTable, 8)) << "removed";
}

TEST(FontFingerprint, MemoGivesTheSameFingerprintAndNoticesChanges) {
    TempFolder dir;
    fs::create_directories(dir.path("fonts"));
    write(dir.path("fonts.conf"), "<fontconfig><dir>" + dir.path("fonts") +
                                      "</dir><include ignore_missing=\"yes\">" + dir.path("conf.d") +
                                      "</include></fontconfig>");
    Environment config("FONTCONFIG_FILE", dir.path("fonts.conf"));
    const std::string memo = dir.path("fonts.memo");
    const std::string fresh = fingerprint();
    EXPECT_EQ(fingerprint(memo), fresh) << "made and kept";
    ASSERT_TRUE(fs::exists(memo));
    EXPECT_EQ(fingerprint(memo), fresh) << "taken from the memo";

    // A configuration folder that appears, then a file in it naming another font folder.
    fs::create_directories(dir.path("conf.d"));
    fs::create_directories(dir.path("more"));
    EXPECT_EQ(fingerprint(memo), fingerprint());
    write(dir.path("conf.d/10-more.conf"), "<fontconfig><dir>" + dir.path("more") + "</dir></fontconfig>");
    const std::string withMore = fingerprint(memo);
    EXPECT_EQ(withMore, fingerprint());
    write(dir.path("more/a.ttf"), "a font");
    EXPECT_NE(fingerprint(memo), withMore) << "the folder the new file names is walked";
    EXPECT_EQ(fingerprint(memo), fingerprint());

    // A damaged memo is made again.
    write(memo, "tessarine-fonts-memo 1\nnonsense");
    EXPECT_EQ(fingerprint(memo), fingerprint());
}

// The memo stands for fontconfig's answer while what it stands on is as it was: a warm run asks nothing and
// looks once at each remembered file, place and folder. A configuration file changed, a file appearing beside
// one (an include that was missing) or in a user's configuration place, or another folder to run in when a
// font folder lies in it, asks again; a font added is seen without asking.
TEST(FontFingerprint, MemoAsksFontconfigOnlyWhenWhatItStandsOnChanges) {
    TempFolder dir;
    for (const char* folder : {"etc", "fonts", "home", "memo", "work"})
        fs::create_directories(dir.path(folder));
    write(dir.path("etc/fonts.conf"), "the configuration");
    Environment home("HOME", dir.path("home")), configHome("XDG_CONFIG_HOME", "");
    int asked = 0;
    std::vector<std::string> folders = {dir.path("fonts")};
    // As fontconfig answers: the files it read (an include read once it is there), and the font folders.
    const cli::FontConfigurationSource fonts = [&] {
        ++asked;
        cli::FontConfiguration answer{{dir.path("etc/fonts.conf")}, folders};
        if (fs::exists(dir.path("etc/local.conf")))
            answer.files.push_back(dir.path("etc/local.conf"));
        return answer;
    };
    const std::string memo = dir.path("memo/fonts.memo");
    std::string last = *cli::fontFingerprint(fonts, memo);
    const auto step = [&](const char* what, bool asks, bool changes) {
        const int before = asked;
        const std::string now = *cli::fontFingerprint(fonts, memo);
        EXPECT_EQ(asked - before, asks ? 1 : 0) << what;
        EXPECT_EQ(now != last, changes) << what;
        EXPECT_EQ(*cli::fontFingerprint(fonts), now) << what << ": the memo gives what asking gives";
        last = now;
    };
    step("nothing changed", false, false);
    write(dir.path("fonts/a.ttf"), "a font");
    step("a font added", false, true);
    write(dir.path("etc/local.conf"), "an include that was missing");
    step("a file beside the configuration", true, true);
    fs::create_directories(dir.path("home/.config/fontconfig"));
    step("a user's configuration place", true, false);
    write(dir.path("etc/fonts.conf"), "the configuration, edited");
    step("the configuration file", true, true);
    // A font folder named relative to where the program runs, as fontconfig resolves it there.
    const fs::path before = fs::current_path();
    fs::current_path(dir.path("work"));
    folders = {dir.path("work/here")};
    cli::fontFingerprint(fonts, dir.path("memo/other.memo"));
    asked = 0;
    cli::fontFingerprint(fonts, dir.path("memo/other.memo"));
    EXPECT_EQ(asked, 0) << "the same folder";
    fs::current_path(dir.path("fonts"));
    cli::fontFingerprint(fonts, dir.path("memo/other.memo"));
    EXPECT_EQ(asked, 1) << "another folder";
    fs::current_path(before);
    // When fontconfig cannot be asked, there is no fingerprint to trust.
    const cli::FontConfigurationSource broken = []() -> cli::FontConfiguration {
        throw err::Error(err::PathFileAccess, "cannot load the Qt module");
    };
    EXPECT_FALSE(cli::fontFingerprint(broken));
}

} // namespace
