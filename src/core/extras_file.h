#pragma once

#include "kernels/character_choice.h"

#include <QString>

// The desktop program's choices beyond the described ones (the Extras menu's mappings, dithering and
// levels), kept in a file of their own beside the settings file, so that Tessarine.ini stays exactly as
// the described program writes it. One "key=value" line a choice; what is missing, unknown or out of
// range keeps its default.
namespace extras {

// Extras.ini in the settings file's folder.
QString fileBeside(const QString& settingsFile);

// The choices a file holds; the defaults when it is missing, unreadable or larger than any it could be.
choice::Options read(const QString& path);

// The file's text for the choices.
QString fileText(const choice::Options& choices);

// Writes the file as every file of the program is written (through a link, keeping its mode); raises 75
// with the system's reason when it fails.
void write(const QString& path, const choice::Options& choices);

} // namespace extras
