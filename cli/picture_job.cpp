#include "picture_job.h"

#include "base/files.h"
#include "kernels/errors.h"
#include "kernels/jpeg_buffer.h"
#include "kernels/jpeg_decoder.h"
#include "kernels/likeness.h"
#include "kernels/memory_limit.h"
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

Loaded loadBuffers(const Job& job, const std::vector<buffer::Factors>& sizings, const Provided& provided,
                   std::optional<px::Size> size) {
    Loaded out;
    if (job.viaQt && !size)
        size = pictureSize(job, provided);
    if (size) {
        int64_t bytes = 0;
        for (const buffer::Factors& f : sizings)
            bytes += buffer::storageBytes(size->width, size->height, f);
        const px::Size grid = buffer::drawingArea(size->width, size->height, sizings[0]);
        out.held = std::make_unique<memlimit::Reservation>(
            bytes, "the text is " + std::to_string(grid.width) + " x " + std::to_string(grid.height) +
                       " characters");
    }
    out.images.resize(sizings.size());
    std::vector<buffer::Target> targets;
    for (size_t i = 0; i < sizings.size(); ++i)
        targets.push_back({sizings[i], [&images = out.images, i, grid = sizings[i].grid()](px::Size area) {
                               // A grid's blocks cover it whole; elsewhere the background shows.
                               images[i] = grid ? px::Image(area.width, area.height)
                                                : px::Image(area.width, area.height, buffer::kBackground);
                               return images[i].view();
                           }});
    if (job.viaQt)
        provided.qt.get()->fillBuffers(job.source, targets);
    else
        jpeg::decodeBuffers(files::openForReading(job.source).get(), targets, provided.spareCore,
                            out.held != nullptr);
    return out;
}

// What a picture's text is made of: its buffer and, for the shape mapping and the likeness score, the
// parts of its blocks, with their memory held from the budget.
struct Buffers {
    px::Image blocks;
    px::Image shapeParts; // across x down parts a block
    int across = 0, down = 0;
    px::Image scoreParts; // 2 x 2 parts a block
    std::unique_ptr<memlimit::Reservation> held;
};

Buffers buffersOf(const Plan& plan, const Job& job, const Provided& provided) {
    const bool shape = plan.art.mapping == choice::Mapping::Shape;
    const bool needSize = plan.grid || shape || plan.score;
    const std::optional<px::Size> size = needSize ? std::optional(pictureSize(job, provided)) : std::nullopt;
    const buffer::Factors factors =
        plan.grid ? gridFor(*size, *plan.grid, provided.measured.get().cellAspect) : plan.factors;
    std::vector<buffer::Factors> sizings = {factors};
    Buffers b;
    if (shape) {
        const buffer::BlockSize block = buffer::blockSize(size->width, size->height, factors);
        std::tie(b.across, b.down) =
            choice::subGrid(block.width, block.height, provided.measured.get().cellAspect);
        if (b.across > 0)
            sizings.push_back(buffer::partsOf(size->width, size->height, factors, b.across, b.down));
    }
    if (plan.score)
        sizings.push_back(buffer::partsOf(size->width, size->height, factors, 2, 2));
    Loaded loaded = loadBuffers(job, sizings, provided, size);
    b.held = std::move(loaded.held);
    b.blocks = std::move(loaded.images[0]);
    if (b.across > 0)
        b.shapeParts = std::move(loaded.images[1]);
    if (plan.score)
        b.scoreParts = std::move(loaded.images.back());
    return b;
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
    return job.picture == kStandardInput ? "standard input"
                                         : std::filesystem::path(job.picture).filename().string();
}

} // namespace

std::optional<std::string> convertPicture(const Plan& plan, const Job& job, const Provided& provided) {
    if (job.refused)
        return std::nullopt;
    try {
        if (!job.inputError.empty())
            throw err::Error(err::PathFileAccess, job.inputError);
        const Buffers b = buffersOf(plan, job, provided);
        if (b.blocks.width == 0 || b.blocks.height == 0)
            throw err::Error(err::InvalidArgument, noBlockLeft(plan, pictureSize(job, provided)));
        const Measurement& m = provided.measured.get();
        art::Art a;
        a.buffer = b.blocks.view();
        a.sorted = m.chars;
        if (plan.invert)
            std::reverse(a.sorted.begin(), a.sorted.end());
        // Beyond the described mapping, the characters are chosen first and written as lines.
        std::vector<uint16_t> chosen;
        art::Lines lines;
        if (!plan.art.described() || plan.score) {
            const choice::Table table{m.chars, m.levels, m.patterns};
            chosen = choice::choose(
                b.blocks.view(),
                {px::greyView(b.shapeParts.view(), b.blocks.width * b.across), b.across, b.down}, table,
                plan.art);
            if (!plan.art.described()) {
                lines = choice::lines(b.blocks.view(), chosen, m.chars);
                a.text = &lines;
            }
        }
        a.colours = plan.colours;
        a.crlf = plan.crlf;
        a.dark = plan.invert && plan.colours;
        a.page.title = titleOf(job);
        a.page.fontFamily = plan.font;
        a.page.points = plan.size;
        if (plan.form->needsGlyphs)
            a.glyphs = &provided.glyphs.get();
        a.threads = provided.threads;
        std::string output = plan.form->write(a);
        if (plan.score) {
            const likeness::Score s = likeness::measure(
                likeness::greys(px::greyView(b.scoreParts.view(), 2 * b.blocks.width)),
                likeness::drawing(chosen, m.patterns, b.blocks.width, b.blocks.height, plan.invert),
                b.blocks.width, b.blocks.height);
            char line[96];
            std::snprintf(line, sizeof line, "likeness detail %.2f tone %.2f", s.detail, s.tone);
            printError(job.picture, line);
        }
        return output;
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
