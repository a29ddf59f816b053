#pragma once

#include <QString>
#include <optional>
#include <string>

// Folders and file names as the program handles them: a folder text ends in the separator "/", and
// "the program's folder" is the executable's folder unless a test sets another.
namespace paths {

QString programFolder();
// Empty restores the executable's folder. Tests may also say whether the folder counts as writable,
// since root can write into any folder.
void setProgramFolder(const QString& folder, std::optional<bool> writable = std::nullopt);
// True when this user may create files in the program's folder: a portable copy keeps its settings there.
bool programFolderWritable();

// A file the program ships (help.html, default-table.txt): beside the executable, else in the installed
// tree's share/tessarine folder.
QString dataFile(const QString& name);

// The part after the last separator (the whole text when there is none).
QString fileTitle(const QString& path);

// The path in the system's file-name encoding, as the kernels take it.
std::string native(const QString& path);

// True when the folder that would hold this file exists (a bare name lives in the current folder).
bool folderExists(const QString& filePath);

// Raises 53 or 76 when the file is missing, and 75 when the name is a folder, a pipe or a device:
// reading such a thing would fail or wait for ever.
void requireRegularFile(const QString& path);

} // namespace paths
