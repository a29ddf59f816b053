#pragma once

#include <string>
#include <string_view>

// Files that hold text (settings, character tables, results) are Windows-1252, one byte a character, when
// every character fits, and UTF-8 otherwise. Reading takes valid UTF-8 that holds a multi-byte sequence
// as UTF-8 (an initial byte-order mark dropped) and anything else as Windows-1252, so files of either
// kind read back as they were written.
namespace textcode {

// The character of a Windows-1252 code; codes the code page leaves undefined map to the C1 control.
char32_t fromWindows1252(unsigned char code);
// The code of a character, or -1 when Windows-1252 has none.
int toWindows1252(char32_t c);
bool fitsWindows1252(std::u32string_view text);

std::u32string decode(std::string_view bytes);
std::string encode(std::u32string_view text);

// Strict UTF-8 (no overlong forms, surrogates or values past U+10FFFF); false on any fault.
bool decodeUtf8(std::string_view bytes, std::u32string& out);
std::string utf8(std::u32string_view text);

// A name (a file's, as the system gives it) as a message may show it on a terminal: control characters
// (C0 and DEL as \033, C1 as \x9b), bidirectional controls (\u202e) and bytes that are no UTF-8 (\xff)
// escaped, so that a name can neither move the cursor, retitle or clear the terminal, nor turn the line
// around; every other character, spaces and backslashes included, as it is.
std::string shown(std::string_view name);

// The bytes up to the first CR or LF.
std::string_view firstLineBytes(std::string_view bytes);

} // namespace textcode
