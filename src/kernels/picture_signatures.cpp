#include "kernels/picture_signatures.h"

namespace signatures {

bool mayStartPicture(std::string_view head) {
    using namespace std::string_view_literals; // the signatures hold NUL bytes
    static constexpr std::string_view kSignatures[] = {
        "\xFF\xD8\xFF"sv, "\x89PNG"sv, "GIF8"sv,  "BM"sv,   "RIFF"sv, "II*"sv,  "MM\0*"sv, "\0\0\1\0"sv,
        "\0\0\2\0"sv,     "P1"sv,      "P2"sv,    "P3"sv,   "P4"sv,   "P5"sv,   "P6"sv,    "P7"sv,
        "#define"sv,      "/* XPM"sv,  "<?xml"sv, "<svg"sv, "icns"sv, "DDS "sv, "8BPS"sv,  "\0\0\0\x0CjP"sv};
    for (std::string_view signature : kSignatures)
        if (head.substr(0, signature.size()) == signature)
            return true;
    // HEIF and AVIF name their brand after a box size; TGA has no signature, only plausible first bytes.
    if (head.size() >= 8 && head.substr(4, 4) == "ftyp")
        return true;
    return head.size() >= 3 && (head[1] == 0 || head[1] == 1) &&
           "\1\2\3\x09\x0A\x0B"sv.find(head[2]) != std::string_view::npos;
}

} // namespace signatures
