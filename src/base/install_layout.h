#pragma once

#include <string>

// Where the programs find what they ship. Run from their build folder or a portable folder, everything
// lies beside the executable; installed, the data files are in share/tessarine and the converter's Qt
// module in the library tree's private tessarine folder, both found from the executable's own folder.
namespace layout {

// The folder of the running executable.
std::string programFolder();

// A shipped file (the help page, the default table): beside the executable when it is there, else in the
// installed tree's data folder; when neither exists, the name beside the executable.
std::string dataFile(const std::string& programFolder, const std::string& name);

// The converter's Qt module: beside the executable when it is there, else in the installed tree's
// private library folder.
std::string moduleFile(const std::string& programFolder, const std::string& name);

} // namespace layout
