#pragma once

#include <QString>
#include <array>
#include <cstdint>

// The program-wide state: lives for the whole run, texts start empty, numbers 0, flags off.
// Each file/path pair is named after the settings key that stores it; a path ends in "/".
struct ModVars {
    QString iniFile;
    QString asciiTableFile;
    QString asciiTablePath;
    QString pictureFile;
    QString picturePath;
    QString asciiFile;
    QString asciiPath;

    // The sorted table of the last run: entries 1 to charCount are used (index 0 stays unused).
    int16_t charCount = 0;
    std::array<QString, 257> chars{};
    std::array<int32_t, 257> charLevels{};

    bool showTableInFont = false;
    bool asciiTableLoading = false;
    bool fontWarningShown = false;
    bool appUnloading = false;
    bool scaleCheckSyncing = false;
    bool debugMode = false;
};

ModVars& modVars();
void resetModVars();
