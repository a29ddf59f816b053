#include "picture_job.h"

#include "base/files.h"
#include "kernels/colour_fit.h"
#include "kernels/errors.h"
#include "kernels/jpeg_buffer.h"
#include "kernels/jpeg_decoder.h"
#include "kernels/likeness.h"
#include "kernels/memory_limit.h"
#include "kernels/text_encoding.h"
#include "output.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>

namespace cli {

namespace {

px::Size pictureSize(const Job& job, const Provided& provided) {
    if (job.viaQt)
        return provided.qt.get()->pictureSize(job.source);
    const jpeg::Info info = jpeg::readInfo(files::openForReading(job.source).get());
    return {info.width, info.height};
}

// The buffers of a picture, one a sizing, from one decode, their memory held from the budget that every
// picture's decoding shares; `size` is the picture's, when it is known already. A JPEG whose size is not
// known has its buffers held by the decoder, once it knows.
struct Loaded {
    std::vector<px::Image> images;
    std::unique_ptr<memlimit::Reservation> held;
};

Loaded loadBuffers(const Job& job, const Layout& layout, const Provided& provided,
                   std::optional<px::Size> size, int64_t alsoBytes) {
    const std::vector<buffer::Factors>& sizings = layout.sizings;
    const px::Size atLeast = layout.atLeast, decodeAt = layout.decodeAt;
    // Grids over the whole picture need it no finer than their finest grid: a JPEG is decoded so (the
    // desktop program's factors need every pixel).
    px::Size finest;
    if (std::all_of(sizings.begin(), sizings.end(), [](const buffer::Factors& f) { return f.grid(); }))
        for (const buffer::Factors& f : sizings)
            finest = {std::max({finest.width, f.columns, atLeast.width}),
                      std::max({finest.height, f.rows, atLeast.height})};
    if (decodeAt.width > 0 && finest.width > 0)
        finest = decodeAt;
    Loaded out;
    if (job.viaQt && !size)
        size = pictureSize(job, provided);
    if (size) {
        int64_t bytes = alsoBytes;
        for (const buffer::Factors& f : sizings)
            bytes += buffer::storageBytes(size->width, size->height, f);
        // (named by the text's grid, whatever the finest grid averaged)
        const px::Size grid = buffer::drawingArea(size->width, size->height, layout.factors);
        out.held = std::make_unique<memlimit::Reservation>(
            bytes, "the text is " + std::to_string(grid.width) + " x " + std::to_string(grid.height) +
                       " characters");
    }
    const std::vector<buffer::Target> targets = targetsFor(sizings, out.images);
    if (job.viaQt)
        provided.qt.get()->fillBuffers(job.source, targets);
    else
        // At its own sizes the converter refuses data the decoder calls damaged, as it refuses a file cut
        // short; the desktop program's sizes take what the desktop program takes.
        jpeg::decodeBuffers(files::openForReading(job.source).get(), targets, provided.spareCore,
                            out.held != nullptr, finest, finest.width > 0);
    return out;
}

// At the converter's own sizes, the parts every use needs (the shape mapping's, the colour fit's, the
// likeness score's) and the blocks themselves are all coarser grids of the finest of them: that one alone
// is averaged from the picture, in one pass, and the others are made from it.
struct PartGrids {
    std::pair<int, int> shape, colour, score, fine;
    bool divides(std::pair<int, int> coarse) const {
        return coarse.first == 0 || (fine.first % coarse.first == 0 && fine.second % coarse.second == 0);
    }
};

} // namespace

Layout layoutFor(const Plan& plan, std::optional<px::Size> size, double cellAspect, bool scaledDecode) {
    Layout l;
    l.factors = plan.grid ? gridFor(*size, *plan.grid, cellAspect) : plan.factors;
    PartGrids g;
    if (plan.art.mapping == choice::Mapping::Shape || plan.twoColours) {
        const buffer::BlockSize block = buffer::blockSize(size->width, size->height, l.factors);
        if (plan.twoColours) {
            // A large JPEG is decoded as finely as the shape mapping's parts would need, four to eight pixels
            // a block across (a progressive file's first scans alone, often), and the colour fit's parts
            // are as fine as that gives (parts of half a pixel place a cell's eighths, though they add no
            // detail); a smaller picture's every pixel costs little.
            const auto [across, down] = choice::subGrid(block.width, block.height, cellAspect);
            l.atLeast = {l.factors.columns * across, l.factors.rows * down};
            double decoded = 1;
            if (scaledDecode && int64_t(size->width) * size->height > kFinelyDecodedPixels) {
                decoded = jpeg::scaleEighths(size->width, size->height, l.atLeast) / 8.0;
                l.decodeAt = l.atLeast;
            }
            g.colour = colourfit::partsGrid(block.width * decoded, block.height * decoded, cellAspect);
        } else {
            g.shape = choice::subGrid(block.width, block.height, cellAspect);
        }
    }
    if (plan.score)
        g.score = {2, 2};
    std::tie(l.across, l.down) = plan.twoColours ? g.colour : g.shape;
    g.fine = g.shape.first ? g.shape : g.colour.first ? g.colour : g.score;
    l.fineParts = plan.grid && g.fine.first > 0 && g.divides(g.colour) && g.divides(g.score);
    if (l.fineParts) {
        l.fine = g.fine;
        l.sizings = {buffer::partsOf(size->width, size->height, l.factors, g.fine.first, g.fine.second)};
        l.sizings[0].grey = false;
        l.sizings[0].weighted = plan.twoColours;
        const buffer::Factors parts = l.sizings[0]; // a copy: the push below may move the sizings
        if (plan.twoColours && l.decodeAt.width == 0 &&
            (parts.columns > size->width || parts.rows > size->height) &&
            int64_t(size->width) * size->height <= int64_t(parts.columns) * parts.rows) {
            buffer::Factors picture;
            picture.columns = size->width;
            picture.rows = size->height;
            l.sizings.push_back(picture);
            l.partsFromPicture = true;
        }
        return l;
    }
    // The desktop program's sizes keep its arithmetic for the blocks: each grid is averaged on its own.
    l.sizings = {l.factors};
    if (l.across > 0) {
        l.sizings.push_back(buffer::partsOf(size->width, size->height, l.factors, l.across, l.down));
        l.sizings.back().grey = !plan.twoColours;
    }
    if (plan.score)
        l.sizings.push_back(buffer::partsOf(size->width, size->height, l.factors, 2, 2));
    return l;
}

Buffers assemble(const Plan& plan, const Layout& l, std::vector<px::Image> images) {
    Buffers b;
    b.across = l.across;
    b.down = l.down;
    if (l.fineParts) {
        const px::Image& parts = images[0];
        const auto [fa, fd] = l.fine;
        b.blocks = buffer::coarsen(parts.view(), fa, fd);
        if (!plan.twoColours && l.across > 0)
            b.parts = buffer::greyStorage(parts.view());
        if (plan.twoColours && l.partsFromPicture)
            b.parts = buffer::resample(images.back().view(), parts.width, parts.height);
        else if (plan.twoColours)
            b.parts = std::pair(l.across, l.down) == l.fine
                          ? parts
                          : buffer::coarsen(parts.view(), fa / l.across, fd / l.down);
        if (plan.score)
            b.scoreParts = buffer::greyStorage(buffer::coarsen(parts.view(), fa / 2, fd / 2).view());
    } else {
        b.blocks = std::move(images[0]);
        if (l.across > 0)
            b.parts = std::move(images[1]);
        if (plan.score)
            b.scoreParts = std::move(images.back());
    }
    if (plan.flipX || plan.flipY) {
        buffer::mirror(b.blocks, plan.flipX, plan.flipY);
        buffer::mirror(b.parts, plan.flipX, plan.flipY, plan.twoColours ? 0 : b.blocks.width * b.across);
        buffer::mirror(b.scoreParts, plan.flipX, plan.flipY, 2 * b.blocks.width);
    }
    return b;
}

std::vector<buffer::Target> targetsFor(const std::vector<buffer::Factors>& sizings,
                                       std::vector<px::Image>& images) {
    images.resize(sizings.size());
    std::vector<buffer::Target> targets;
    for (size_t i = 0; i < sizings.size(); ++i)
        targets.push_back({sizings[i], [&images, i, grid = sizings[i].grid()](px::Size area) {
                               // A grid's blocks cover it whole; elsewhere the background shows.
                               images[i] = grid ? px::Image(area.width, area.height)
                                                : px::Image(area.width, area.height, buffer::kBackground);
                               return images[i].view();
                           }});
    return targets;
}

namespace {

Buffers buffersOf(const Plan& plan, const Job& job, const Provided& provided) {
    const bool needSize =
        plan.grid || plan.art.mapping == choice::Mapping::Shape || plan.score || plan.twoColours;
    const std::optional<px::Size> size = needSize ? std::optional(pictureSize(job, provided)) : std::nullopt;
    const Layout l =
        layoutFor(plan, size, plan.cellAspect.value_or(provided.measured.get().cellAspect), !job.viaQt);
    // The likeness is measured on a drawing of the whole text: held with the buffers, so that a text too
    // large for it is refused before anything is decoded.
    int64_t scoreBytes = 0;
    if (plan.score) {
        const px::Size cells = buffer::drawingArea(size->width, size->height, l.factors);
        scoreBytes = int64_t(cells.width) * cells.height * likeness::kMeasureBytesPerCell;
    }
    Loaded loaded = loadBuffers(job, l, provided, size, scoreBytes);
    Buffers b = assemble(plan, l, std::move(loaded.images));
    b.held = std::move(loaded.held);
    return b;
}

// The characters chosen beyond the described mapping, and with two colours a cell their colours.
struct Chosen {
    std::vector<uint16_t> entries;
    colourfit::Cells colours;
};

Chosen choose(const Plan& plan, const Buffers& b, const choice::Table& table) {
    Chosen c;
    if (!plan.twoColours) {
        c.entries = choice::choose(b.blocks.view(), b.shape(), table, plan.art);
        return c;
    }
    // The shape mapping tries every glyph with its two colours; the ink mapping's glyphs get theirs.
    const bool byInk = plan.art.mapping == choice::Mapping::Ink;
    if (byInk)
        c.entries = choice::choose(b.blocks.view(), {}, table, plan.art);
    c.colours =
        colourfit::fit({b.parts.view(), b.across, b.down}, b.blocks.width, b.blocks.height, table,
                       choice::levelsOf(b.blocks.view(), plan.art.levels), byInk ? &c.entries : nullptr);
    c.entries = c.colours.chosen;
    return c;
}

// The lines of the chosen characters, each in its colours.
art::Lines linesOf(const Buffers& b, const Chosen& c, const std::vector<char32_t>& sorted) {
    art::Lines lines = choice::lines(b.blocks.view(), c.entries, sorted);
    if (c.colours.chosen.empty())
        return lines;
    const size_t width = size_t(b.blocks.width);
    lines.backgrounds.resize(lines.colours.size());
    for (size_t y = 0; y < lines.colours.size(); ++y) {
        const auto from = [&](const std::vector<px::Pixel>& all) {
            return std::vector<px::Pixel>(all.begin() + std::ptrdiff_t(y * width),
                                          all.begin() + std::ptrdiff_t((y + 1) * width));
        };
        lines.colours[y] = from(c.colours.foreground);
        lines.backgrounds[y] = from(c.colours.background);
    }
    return lines;
}

// "likeness detail D tone T", and with colours " colour C": how alike the text and the picture are.
std::string scoreLine(const Plan& plan, const Buffers& b, const Chosen& c, const Measurement& m) {
    const likeness::TextLikeness l = likeness::ofText(
        px::greyView(b.scoreParts.view(), 2 * b.blocks.width), b.blocks.view(), c.entries, m.patterns,
        plan.invert, plan.colours.has_value(), c.colours.foreground, c.colours.background);
    char line[120];
    const int n =
        std::snprintf(line, sizeof line, "likeness detail %.2f tone %.2f", l.score.detail, l.score.tone);
    if (l.colour)
        std::snprintf(line + n, sizeof line - size_t(n), " colour %.1f", *l.colour);
    return line;
}

// Factors larger than a picture leave no whole block after the border the desktop program reckons with:
// that is no text, and no success.
std::string noBlockLeft(const Plan& plan, px::Size picture) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "nothing to write: at %g x %g picture pixels a character, this %d x %d picture leaves no "
                  "whole block",
                  plan.factors.h, plan.factors.v, picture.width, picture.height);
    return text;
}

std::string titleOf(const Job& job) {
    return job.picture == kStandardInput
               ? "standard input"
               : textcode::shown(std::filesystem::path(job.picture).filename().string());
}

} // namespace

std::string textOf(const Plan& plan, const Job& job, const Buffers& b, const Provided& provided) {
    const Measurement& m = provided.measured.get();
    art::Art a;
    a.buffer = b.blocks.view();
    a.sorted = m.chars;
    if (plan.invert)
        std::reverse(a.sorted.begin(), a.sorted.end());
    // Beyond the described mapping, the characters are chosen first and written as lines.
    Chosen chosen;
    art::Lines lines;
    if (!plan.art.described() || plan.score) {
        chosen = choose(plan, b, {m.chars, m.levels, m.patterns});
        if (!plan.art.described()) {
            lines = linesOf(b, chosen, m.chars);
            a.text = &lines;
        }
    }
    a.colours = plan.colours;
    a.crlf = plan.crlf;
    a.dark = plan.invert; // a page's ground is the one its text is made for
    a.page.title = titleOf(job);
    a.page.fontFamily = plan.font;
    a.page.points = plan.size;
    if (plan.form->needsGlyphs)
        a.glyphs = &provided.glyphs.get();
    a.threads = provided.threads;
    std::string output = plan.form->write(a);
    if (plan.score)
        printError(job.picture, scoreLine(plan, b, chosen, m));
    return output;
}

std::optional<std::string> convertPicture(const Plan& plan, const Job& job, const Provided& provided) {
    if (job.refused)
        return std::nullopt;
    try {
        if (!job.inputError.empty())
            throw err::Error(err::PathFileAccess, job.inputError);
        const Buffers b = buffersOf(plan, job, provided);
        if (b.blocks.width == 0 || b.blocks.height == 0)
            throw err::Error(err::InvalidArgument, noBlockLeft(plan, pictureSize(job, provided)));
        return textOf(plan, job, b, provided);
    } catch (const err::Error& e) {
        // A measurement that could not be made has been reported once for all pictures.
        if (e.kind() != err::Kind::Reported)
            printError(job.picture, e.description());
    } catch (const std::bad_alloc&) {
        printError(job.picture, err::description(err::OutOfMemory));
    }
    return std::nullopt;
}

} // namespace cli
