#pragma once

#include <span>
#include <string>
#include <string_view>

// The character tables the converter ships by name (--table braille). Each is built into the program, so a
// converter copied anywhere still has them, and installed as a file too, for users to read and copy: a
// file of the same name in the data folder (an edited copy) wins over the built-in one.
namespace tables {

// The shipped tables' names, sorted.
std::span<const std::string_view> shippedNames();

// The table `named` stands for: a file when it names one (a path, or a file that exists), else the shipped
// table of that name ("blocks", "blocks.txt"). Raises a usage error naming the file and the reason, or, for a
// name that is neither, the nearest shipped table and all of them.
std::u32string tableNamed(const std::string& named);

// The table the converter uses when none is given at the desktop program's sizes (classic):
// default-table.txt beside the executable or, installed, in share/tessarine; else the one built in.
std::u32string defaultTable();

} // namespace tables
