#include "kernels/text_picture.h"

#include "kernels/errors.h"
#include "kernels/glyph_pattern.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <thread>
#include <utility>
#include <zlib.h>

namespace art {

namespace {

// v / 255 rounded, exact for every product of two bytes.
inline uint8_t div255(unsigned v) {
    v += 128;
    return uint8_t((v + (v >> 8)) >> 8);
}

inline uint8_t blend(uint8_t under, uint8_t over, uint8_t coverage) {
    return div255(unsigned(under) * (255u - coverage) + unsigned(over) * coverage);
}

// Copies a finished cell's rows into a band; a width known when compiling makes each row's copy a few
// moves instead of a call, and a photograph's picture has millions of them.
template <size_t Width> void copyCell(uint8_t* to, size_t stride, const uint8_t* from, int rows) {
    for (int r = 0; r < rows; ++r)
        std::memcpy(to + size_t(r) * stride, from + size_t(r) * Width, Width);
}
using CellCopy = void (*)(uint8_t*, size_t, const uint8_t*, int);
template <size_t... W> constexpr std::array<CellCopy, sizeof...(W)> cellCopies(std::index_sequence<W...>) {
    return {&copyCell<W>...};
}
constexpr auto kCellCopies = cellCopies(std::make_index_sequence<33>());

// Composes the picture one line of text (one band of pixel rows) at a time.
class Composer {
  public:
    Composer(const Lines& lines, const Glyphs& glyphs, bool dark) : lines_(lines), glyphs_(glyphs) {
        size_t columns = 0;
        for (const std::u32string& line : lines.text)
            columns = std::max(columns, line.size());
        channels_ = lines.coloured() ? 3 : 1;
        width_ = int64_t(columns) * glyphs.cellWidth;
        height_ = int64_t(lines.text.size()) * glyphs.cellHeight;
        back_ = dark ? 0 : 255;
        ink_ = uint8_t(255 - back_);
        maskWidth_ = glyphs.cellWidth + 2 * glyphs.margin;
        maskHeight_ = glyphs.cellHeight + 2 * glyphs.margin;
        reach_ = (glyphs.margin + glyphs.cellHeight - 1) / glyphs.cellHeight;
        copy_ =
            size_t(glyphs.cellWidth) < kCellCopies.size() ? kCellCopies[size_t(glyphs.cellWidth)] : nullptr;
        latin_.fill(-1);
        for (const auto& [c, mask] : glyphs.masks) {
            const int index = int(glyphList_.size());
            glyphList_.push_back(prepare(mask));
            if (c < latin_.size())
                latin_[c] = index;
            else
                others_[c] = index;
        }
    }

    int64_t width() const { return std::max<int64_t>(1, width_); }
    int64_t height() const { return std::max<int64_t>(1, height_); }
    int channels() const { return channels_; }
    int bands() const { return std::max(1, int(lines_.text.size())); }
    size_t rowBytes() const { return 1 + size_t(width()) * size_t(channels_); }
    size_t bandRows() const { return lines_.text.empty() ? 1 : size_t(glyphs_.cellHeight); }

    // The band's pixel rows, each after its filter byte (0, none), into `out`.
    void band(int line, uint8_t* out) const {
        const size_t stride = rowBytes(), rows = bandRows();
        for (size_t r = 0; r < rows; ++r) {
            uint8_t* row = out + r * stride;
            row[0] = 0;
            std::memset(row + 1, back_, stride - 1);
        }
        if (lines_.text.empty())
            return;
        const int first = std::max(0, line - reach_);
        const int last = std::min(int(lines_.text.size()) - 1, line + reach_);
        if (!lines_.coloured()) {
            copyCells(line, out);
            for (int from = first; from <= last; ++from)
                spill(from, line, out);
            return;
        }
        if (lines_.twoColours())
            fillBackgrounds(line, out);
        for (int from = first; from <= last; ++from)
            drawLine(from, line, out);
    }

  private:
    struct Spill {
        int dx, dy; // from the cell's top left
        uint8_t coverage;
    };
    struct Glyph {
        const uint8_t* mask;
        std::vector<uint8_t> cell; // without colours: the finished cell
        std::vector<Spill> spills; // without colours: the inked pixels beyond the cell
    };

    // Without colours every character has the one ink, and inking a pixel twice gives the same grey in
    // either order: each cell is then a copy of its character's finished cell, and only the few pixels a
    // glyph has beyond its cell are blended afterwards.
    Glyph prepare(const std::vector<uint8_t>& mask) const {
        Glyph g{mask.data(), {}, {}};
        if (lines_.coloured())
            return g;
        const int cw = glyphs_.cellWidth, ch = glyphs_.cellHeight, m = glyphs_.margin;
        g.cell.resize(size_t(cw) * size_t(ch));
        for (int y = 0; y < maskHeight_; ++y)
            for (int x = 0; x < maskWidth_; ++x) {
                const uint8_t a = mask[size_t(y) * size_t(maskWidth_) + size_t(x)];
                const int cx = x - m, cy = y - m;
                if (cx >= 0 && cx < cw && cy >= 0 && cy < ch)
                    g.cell[size_t(cy) * size_t(cw) + size_t(cx)] = blend(back_, ink_, a);
                else if (a != 0)
                    g.spills.push_back({cx, cy, a});
            }
        return g;
    }

    const Glyph* glyphOf(char32_t c) const {
        int index = -1;
        if (c < latin_.size()) {
            index = latin_[c];
        } else if (const auto found = others_.find(c); found != others_.end()) {
            index = found->second;
        }
        return index < 0 ? nullptr : &glyphList_[size_t(index)];
    }

    void copyCells(int line, uint8_t* out) const {
        const std::u32string& text = lines_.text[size_t(line)];
        const size_t cw = size_t(glyphs_.cellWidth), stride = rowBytes();
        for (size_t x = 0; x < text.size(); ++x) {
            const Glyph* g = glyphOf(text[x]);
            if (!g)
                continue;
            uint8_t* to = out + 1 + x * cw;
            if (copy_) {
                copy_(to, stride, g->cell.data(), glyphs_.cellHeight);
            } else {
                for (int r = 0; r < glyphs_.cellHeight; ++r)
                    std::memcpy(to + size_t(r) * stride, g->cell.data() + size_t(r) * cw, cw);
            }
        }
    }

    // Inks the pixels that the glyphs of line `from` have beyond their cells, where they fall in the band.
    void spill(int from, int band, uint8_t* out) const {
        const std::u32string& text = lines_.text[size_t(from)];
        const int64_t top = int64_t(from - band) * glyphs_.cellHeight;
        const size_t stride = rowBytes();
        for (size_t x = 0; x < text.size(); ++x) {
            const Glyph* g = glyphOf(text[x]);
            if (!g || g->spills.empty())
                continue;
            for (const Spill& s : g->spills) {
                const int64_t py = top + s.dy;
                const int64_t px = int64_t(x) * glyphs_.cellWidth + s.dx;
                if (py < 0 || py >= glyphs_.cellHeight || px < 0 || px >= width_)
                    continue;
                uint8_t& d = out[size_t(py) * stride + 1 + size_t(px)];
                d = blend(d, ink_, s.coverage);
            }
        }
    }

    // Each cell of the band's line in its own background colour, before any glyph is drawn over it.
    void fillBackgrounds(int line, uint8_t* out) const {
        const std::vector<px::Pixel>& backgrounds = lines_.backgrounds[size_t(line)];
        const size_t stride = rowBytes(), cw = size_t(glyphs_.cellWidth);
        for (size_t x = 0; x < backgrounds.size(); ++x) {
            const px::Pixel p = backgrounds[x];
            if (p == kKeepColour)
                continue;
            const uint8_t colour[3] = {uint8_t(px::red(p)), uint8_t(px::green(p)), uint8_t(px::blue(p))};
            for (int r = 0; r < glyphs_.cellHeight; ++r) {
                uint8_t* d = out + size_t(r) * stride + 1 + x * cw * 3;
                for (size_t i = 0; i < cw; ++i, d += 3)
                    std::memcpy(d, colour, 3);
            }
        }
    }

    // Draws the characters of line `from`, each in its colour, over the band of line `band`, where they
    // reach into it.
    void drawLine(int from, int band, uint8_t* out) const {
        const std::u32string& text = lines_.text[size_t(from)];
        const int64_t bandTop = int64_t(band) * glyphs_.cellHeight;
        const int64_t maskTop = int64_t(from) * glyphs_.cellHeight - glyphs_.margin;
        const int64_t top = std::max(bandTop, maskTop);
        const int64_t bottom = std::min(bandTop + glyphs_.cellHeight, maskTop + maskHeight_);
        if (top >= bottom)
            return;
        const size_t stride = rowBytes();
        for (size_t x = 0; x < text.size(); ++x) {
            const Glyph* g = glyphOf(text[x]);
            if (!g)
                continue;
            const px::Pixel p = lines_.colours[size_t(from)][x];
            if (p == kKeepColour)
                continue;
            const uint8_t colour[3] = {uint8_t(px::red(p)), uint8_t(px::green(p)), uint8_t(px::blue(p))};
            const int64_t maskLeft = int64_t(x) * glyphs_.cellWidth - glyphs_.margin;
            const int64_t left = std::max<int64_t>(0, maskLeft);
            const int64_t right = std::min<int64_t>(width_, maskLeft + maskWidth_);
            for (int64_t y = top; y < bottom; ++y) {
                const uint8_t* coverage = g->mask + (y - maskTop) * maskWidth_ - maskLeft;
                uint8_t* row = out + size_t(y - bandTop) * stride + 1;
                for (int64_t px = left; px < right; ++px) {
                    const uint8_t a = coverage[px];
                    if (a == 0)
                        continue;
                    uint8_t* d = row + px * 3;
                    for (int k = 0; k < 3; ++k)
                        d[k] = blend(d[k], colour[k], a);
                }
            }
        }
    }

    const Lines& lines_;
    const Glyphs& glyphs_;
    int channels_ = 1;
    int64_t width_ = 0, height_ = 0;
    uint8_t back_ = 255, ink_ = 0;
    int maskWidth_ = 1, maskHeight_ = 1, reach_ = 0;
    CellCopy copy_ = nullptr;
    std::vector<Glyph> glyphList_;
    std::array<int, 256> latin_{};
    std::unordered_map<char32_t, int> others_;
};

// One part of the picture's compressed data: a run of bands deflated on its own. Parts but the last end
// on a byte boundary without closing the stream, so that they join into one stream.
// The most data a chunk holds here; PNG allows 2^31 - 1 bytes.
constexpr size_t kChunk = size_t(1) << 30;

struct Part {
    int firstBand = 0, endBand = 0;
    bool last = false;
    std::string data;
    uLong adler = 1;
    int64_t length = 0;
    bool failed = false;
};

void compress(const Composer& composer, Part& part) {
    z_stream z{};
    // Level 1: a picture of text shrinks almost as far as with more effort, several times faster.
    if (deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        part.failed = true;
        return;
    }
    std::vector<uint8_t> band;
    // A picture of text shrinks to a sixth or so; room for a quarter is made at once.
    part.data.reserve(composer.rowBytes() * composer.bandRows() * size_t(part.endBand - part.firstBand) / 4);
    unsigned char chunk[1 << 16];
    const auto pump = [&](int flush) {
        do {
            z.next_out = chunk;
            z.avail_out = sizeof chunk;
            if (deflate(&z, flush) == Z_STREAM_ERROR) {
                part.failed = true;
                return;
            }
            part.data.append(reinterpret_cast<const char*>(chunk), sizeof chunk - z.avail_out);
        } while (z.avail_out == 0); // zlib's sign that there is more to come
    };
    for (int b = part.firstBand; b < part.endBand && !part.failed; ++b) {
        band.resize(composer.rowBytes() * composer.bandRows());
        composer.band(b, band.data());
        part.adler = adler32_z(part.adler, band.data(), band.size());
        part.length += int64_t(band.size());
        z.next_in = band.data();
        z.avail_in = uInt(band.size());
        pump(Z_NO_FLUSH);
    }
    if (!part.failed)
        pump(part.last ? Z_FINISH : Z_SYNC_FLUSH);
    deflateEnd(&z);
}

void appendBigEndian(std::string& out, uint32_t v) {
    const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(bytes, 4);
}

// A chunk whose data is the pieces one after another.
void appendChunk(std::string& out, const char* type, std::initializer_list<std::string_view> pieces) {
    size_t size = 0;
    for (std::string_view piece : pieces)
        size += piece.size();
    appendBigEndian(out, uint32_t(size));
    out.append(type, 4);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
    for (std::string_view piece : pieces) {
        out.append(piece);
        crc = crc32_z(crc, reinterpret_cast<const Bytef*>(piece.data()), piece.size());
    }
    appendBigEndian(out, uint32_t(crc));
}

} // namespace

void drawBlockElements(Glyphs& glyphs, const std::vector<char32_t>& chars) {
    const int w = glyphs.cellWidth + 2 * glyphs.margin, h = glyphs.cellHeight + 2 * glyphs.margin;
    for (char32_t c : chars) {
        if (!glyphs::isBlockElement(c))
            continue;
        std::vector<uint8_t>& mask = glyphs.masks[c];
        mask.assign(size_t(w) * size_t(h), 0);
        glyphs::drawBlockElement(c, glyphs.cellWidth, glyphs.cellHeight,
                                 mask.data() + size_t(glyphs.margin) * size_t(w) + size_t(glyphs.margin),
                                 size_t(w));
    }
}

std::string png(const Lines& lines, const Glyphs& glyphs, bool dark, int threads) {
    if (glyphs.cellWidth < 1 || glyphs.cellHeight < 1 || glyphs.margin < 0)
        err::raise(err::InvalidArgument);
    const Composer composer(lines, glyphs, dark);
    if (composer.width() > (1 << 24) || composer.height() > (1 << 24) ||
        composer.width() * composer.height() > kMaxPicturePixels)
        err::raise(err::OutOfMemory);

    // Small pictures are not worth a thread.
    const int64_t pixels = composer.width() * composer.height();
    const int parts = int(std::clamp<int64_t>(std::min<int64_t>(threads, pixels >> 20), 1, composer.bands()));
    std::vector<Part> split(static_cast<size_t>(parts));
    for (int i = 0; i < parts; ++i) {
        split[size_t(i)].firstBand = int(int64_t(composer.bands()) * i / parts);
        split[size_t(i)].endBand = int(int64_t(composer.bands()) * (i + 1) / parts);
        split[size_t(i)].last = i == parts - 1;
    }
    std::vector<std::thread> helpers;
    for (size_t i = 1; i < split.size(); ++i)
        helpers.emplace_back([&, i] { compress(composer, split[i]); });
    compress(composer, split[0]);
    for (std::thread& t : helpers)
        t.join();

    // The zlib stream (header, the parts, the checksum) goes into IDAT chunks as it lies: one or more a
    // part, so that nothing is copied twice.
    uLong adler = 1;
    size_t total = 64;
    for (const Part& part : split) {
        if (part.failed)
            err::raise(err::OutOfMemory);
        adler = adler32_combine64(adler, part.adler, part.length);
        total += part.data.size() + 12 * (part.data.size() / kChunk + 1);
    }
    std::string checksum;
    appendBigEndian(checksum, uint32_t(adler));

    std::string out;
    out.reserve(total);
    out = "\x89PNG\r\n\x1a\n";
    std::string header;
    appendBigEndian(header, uint32_t(composer.width()));
    appendBigEndian(header, uint32_t(composer.height()));
    const char rest[5] = {8, char(composer.channels() == 3 ? 2 : 0), 0, 0, 0}; // 8 bits; RGB or grey
    header.append(rest, 5);
    appendChunk(out, "IHDR", {header});
    appendChunk(out, "IDAT", {"\x78\x01"}); // deflate, 32 KB window, fastest
    for (const Part& part : split)
        for (size_t at = 0; at < part.data.size(); at += kChunk)
            appendChunk(out, "IDAT", {std::string_view(part.data).substr(at, kChunk)});
    appendChunk(out, "IDAT", {checksum});
    appendChunk(out, "IEND", {});
    return out;
}

} // namespace art
