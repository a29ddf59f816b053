// Reads a character table file as the table editor does, and writes a table back.
#include "core/text_files.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString table = textfile::firstLine(bytes);
    if (table.contains(u'\r') || table.contains(u'\n'))
        std::abort();
    // A table saved and read again is the same table, except for a Windows-1252 text whose bytes happen
    // to form UTF-8 (a known ambiguity of reading both kinds).
    const QByteArray saved = textfile::encode(table);
    const QString back = textfile::decode(saved);
    bool ascii = true;
    for (QChar c : table)
        ascii = ascii && c.unicode() < 0x80;
    if ((ascii || !textfile::fitsWindows1252(table)) && back != table)
        std::abort();
    return 0;
}
