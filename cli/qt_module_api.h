#pragma once

// The boundary between tessarine-convert and its Qt module (tessarine-convert-qt.so), which the converter
// opens with dlopen only when it needs Qt: to measure a table in a font, to decode pictures Qt's readers
// decode, to read a settings file as the desktop program does. Plain C types only: the two sides may
// not share a C++ runtime, so nothing else crosses, and nothing allocated on one side is freed on the
// other (the module writes into storage the converter hands it).
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TESSARINE_QT_MODULE_VERSION 3

typedef struct {
    int number;             // the program's error number (53 file not found, 481 invalid picture, ...)
    int kind;               // err::Kind
    char description[1024]; // UTF-8
} TessarineError;

typedef struct {
    int scaled;
    double h, v;
} TessarineFactors;

// Where the module puts what it made: it asks the converter for room, and fills it.
typedef uint32_t* (*TessarinePixels)(void* context, int width, int height);
typedef void (*TessarineText)(void* context, int field, const char* utf8, size_t length);
// Room for `count` glyph masks of (cellWidth + 2 margin) x (cellHeight + 2 margin) bytes, one after another.
typedef uint8_t* (*TessarineMasks)(void* context, int cellWidth, int cellHeight, int margin, int count);

enum { TessarineFieldTable = 1, TessarineFieldFont = 2 };

typedef struct {
    int hasSize, hasH, hasV;
    double size, h, v;
} TessarineSettingsNumbers;

typedef struct {
    int version;
    // Makes the application object (on the offscreen platform unless another is set). 0 on success.
    int (*start)(const char* programName, TessarineError* error);
    // Measures `length` characters (code points) in a font; fills `length` entries of each array, darkest
    // first, and the font's character cell (height over width).
    int (*measure)(const uint32_t* table, int length, const char* font, double size, uint32_t* chars,
                   int32_t* levels, uint8_t* printable, double* cellAspect, TessarineError* error);
    int (*pictureSize)(const char* path, int* width, int* height, TessarineError* error);
    // The buffer of a picture, filled as a run fills it, in storage the converter gives.
    int (*loadBuffer)(const char* path, const TessarineFactors* factors, TessarinePixels storage,
                      void* context, TessarineError* error);
    // A settings file as the desktop program reads it: the table (its table file's first line) and the font
    // through `text`, the numbers into `numbers`.
    int (*readSettings)(const char* path, TessarineText text, void* context,
                        TessarineSettingsNumbers* numbers, TessarineError* error);
    // The coverage masks of `length` characters (code points) in a font, as a result's picture draws them
    // (see core/art_picture.h): every mask in order, all zero for a character without ink.
    int (*drawGlyphs)(const uint32_t* chars, int length, const char* font, double size,
                      TessarineMasks storage, void* context, TessarineError* error);
} TessarineQtModule;

// The module's one exported symbol.
const TessarineQtModule* tessarine_qt_module(void);

#ifdef __cplusplus
}
#endif
