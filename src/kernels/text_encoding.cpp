#include "kernels/text_encoding.h"

#include <cstdio>

#include "kernels/text_mapping.h"

#include <array>

namespace textcode {

namespace {

// Codes 0x80 to 0x9F; the rest of Windows-1252 is Latin-1.
constexpr std::array<char32_t, 32> kHigh = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

char32_t fromWindows1252(unsigned char code) {
    if (code >= 0x80 && code < 0xA0)
        return kHigh[code - 0x80];
    return code;
}

int toWindows1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return int(c);
    for (int i = 0; i < 32; ++i)
        if (kHigh[size_t(i)] == c)
            return 0x80 + i;
    return -1;
}

bool fitsWindows1252(std::u32string_view text) {
    for (char32_t c : text)
        if (toWindows1252(c) < 0)
            return false;
    return true;
}

bool decodeUtf8(std::string_view bytes, std::u32string& out) {
    out.clear();
    out.reserve(bytes.size());
    size_t i = 0;
    const size_t n = bytes.size();
    while (i < n) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        int extra;
        char32_t c, least;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1, c = b & 0x1F, least = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2, c = b & 0x0F, least = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3, c = b & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (i + size_t(extra) >= n)
            return false;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char t = static_cast<unsigned char>(bytes[i + size_t(k)]);
            if ((t & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (t & 0x3F);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        out.push_back(c);
        i += size_t(extra) + 1;
    }
    return true;
}

std::u32string decode(std::string_view bytes) {
    bool high = false;
    for (char c : bytes)
        high = high || static_cast<unsigned char>(c) >= 0x80;
    std::u32string text;
    if (high && decodeUtf8(bytes, text)) {
        if (!text.empty() && text.front() == 0xFEFF)
            text.erase(0, 1);
        return text;
    }
    text.clear();
    text.reserve(bytes.size());
    for (char c : bytes)
        text.push_back(fromWindows1252(static_cast<unsigned char>(c)));
    return text;
}

std::string utf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    char units[4];
    for (char32_t c : text)
        out.append(units, size_t(mapping::encode<char>(c, units)));
    return out;
}

std::string encode(std::u32string_view text) {
    if (!fitsWindows1252(text))
        return utf8(text);
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text)
        out.push_back(static_cast<char>(toWindows1252(c)));
    return out;
}

std::string shown(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    char escape[12];
    for (size_t i = 0; i < name.size();) {
        const unsigned char b = static_cast<unsigned char>(name[i]);
        // The character that starts here, when its bytes are whole UTF-8.
        size_t length = b < 0x80                 ? 1
                        : b >= 0xC2 && b <= 0xDF ? 2
                        : b >= 0xE0 && b <= 0xEF ? 3
                        : b >= 0xF0 && b <= 0xF4 ? 4
                                                 : 0;
        std::u32string one;
        if (length > 1 && !(i + length <= name.size() && decodeUtf8(name.substr(i, length), one)))
            length = 0;
        const char32_t c = length == 1 ? b : length > 1 ? one[0] : 0;
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02x", b);
            length = 1;
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\%03o", unsigned(c));
        } else if (c >= 0x80 && c <= 0x9F) {
            std::snprintf(escape, sizeof escape, "\\x%02x", unsigned(c));
        } else if ((c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069)) {
            std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
        } else {
            out.append(name.substr(i, length));
            i += length;
            continue;
        }
        out += escape;
        i += length;
    }
    return out;
}

std::string_view firstLineBytes(std::string_view bytes) {
    const size_t end = bytes.find_first_of("\r\n");
    return end == std::string_view::npos ? bytes : bytes.substr(0, end);
}

} // namespace textcode
