#include "shipped_tables.h"

#include "base/files.h"
#include "base/install_layout.h"
#include "base/text_files.h"
#include "base/words.h"
#include "kernels/errors.h"
#include "kernels/limits.h"
#include "kernels/text_encoding.h"
#include "options.h"

#include <array>
#include <sys/stat.h>
#include <vector>

namespace tables {

namespace {

struct BuiltIn {
    std::string_view name, bytes;
};

// resources/tables/*.txt, made into {name, bytes} rows when the program is built (sorted by name).
constexpr BuiltIn kBuiltIn[] = {
#include "shipped_tables.inc"
};

// resources/default-table.txt, made into bytes when the program is built.
const char kDefaultTable[] = {
#include "default_table.inc"
};

constexpr auto kNames = [] {
    std::array<std::string_view, std::size(kBuiltIn)> names{};
    for (size_t i = 0; i < names.size(); ++i)
        names[i] = kBuiltIn[i].name;
    return names;
}();

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::u32string readTable(const std::string& path) {
    try {
        return files::readFirstLine(path);
    } catch (const err::Error& e) {
        if (e.kind() == err::Kind::TooLarge)
            throw cli::usage(path + ": its first line goes on past " +
                             std::to_string(limits::kMaxTableLineBytes) + " bytes; a table holds at most " +
                             std::to_string(limits::kMaxTableLength) + " characters");
        throw cli::usage(path + ": " + e.description());
    }
}

} // namespace

std::span<const std::string_view> shippedNames() {
    return kNames;
}

std::u32string tableNamed(const std::string& named) {
    if (named.find('/') != std::string::npos || isFile(named))
        return readTable(named);
    const std::string name = named.size() > 4 && named.compare(named.size() - 4, 4, ".txt") == 0
                                 ? named.substr(0, named.size() - 4)
                                 : named;
    // An edited copy in the data folder, or a table a user put there, comes first.
    const std::string installed = layout::dataFile(layout::programFolder(), "tables/" + name + ".txt");
    struct stat st {};
    if (::stat(installed.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return readTable(installed);
    for (const BuiltIn& table : kBuiltIn)
        if (table.name == name)
            return textcode::decode(textcode::firstLineBytes(table.bytes));
    std::vector<std::string> names(kNames.begin(), kNames.end());
    const std::optional<std::string> near = words::nearest(named, names);
    std::string all;
    for (const std::string& name : names)
        all += (all.empty() ? "" : ", ") + name;
    throw cli::usage(named + ": no such file, nor a shipped table" +
                     (near ? "; did you mean " + *near + "?" : "") + " (the shipped tables: " + all + ")");
}

std::u32string defaultTable() {
    const std::string shipped = layout::dataFile(layout::programFolder(), "default-table.txt");
    try {
        return files::readFirstLine(shipped);
    } catch (const err::Error&) {
        return textcode::decode(
            textcode::firstLineBytes(std::string_view(kDefaultTable, sizeof kDefaultTable)));
    }
}

} // namespace tables
