#include "picture_job.h"

#include "base/files.h"
#include "kernels/errors.h"
#include "kernels/jpeg_buffer.h"
#include "kernels/jpeg_decoder.h"
#include "kernels/likeness.h"
#include "output.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <new>

namespace cli {

namespace {

px::Size pictureSize(const Job& job, const Provided& provided) {
    if (job.viaQt)
        return provided.qt.get()->pictureSize(job.source);
    const jpeg::Info info = jpeg::readInfo(files::openForReading(job.source).get());
    return {info.width, info.height};
}

// The buffers of a picture, one a sizing, from one decode.
std::vector<px::Image> loadBuffers(const Job& job, const std::vector<buffer::Factors>& sizings,
                                   const Provided& provided) {
    if (job.viaQt)
        return provided.qt.get()->loadBuffers(job.source, sizings);
    std::vector<px::Image> out(sizings.size());
    std::vector<jpeg::BufferTarget> targets;
    for (size_t i = 0; i < sizings.size(); ++i)
        targets.push_back({sizings[i], [&out, i, grid = sizings[i].grid()](px::Size area) {
                               // A grid's blocks cover it whole; elsewhere the background shows.
                               out[i] = grid ? px::Image(area.width, area.height)
                                             : px::Image(area.width, area.height, buffer::kBackground);
                               return out[i].view();
                           }});
    jpeg::decodeBuffers(files::openForReading(job.source).get(), targets, provided.spareCore);
    return out;
}

// What a picture's text is made of: its buffer and, for the shape mapping and the likeness score, the
// parts of its blocks.
struct Buffers {
    px::Image blocks;
    px::Image shapeParts; // across x down parts a block
    int across = 0, down = 0;
    px::Image scoreParts; // 2 x 2 parts a block
};

Buffers buffersOf(const Plan& plan, const Job& job, const Provided& provided) {
    const bool shape = plan.art.mapping == choice::Mapping::Shape;
    const bool needSize = plan.grid || shape || plan.score;
    const px::Size size = needSize ? pictureSize(job, provided) : px::Size{};
    const buffer::Factors factors =
        plan.grid ? gridFor(size, *plan.grid, provided.measured.get().cellAspect) : plan.factors;
    std::vector<buffer::Factors> sizings = {factors};
    Buffers b;
    if (shape) {
        const buffer::BlockSize block = buffer::blockSize(size.width, size.height, factors);
        std::tie(b.across, b.down) =
            choice::subGrid(block.width, block.height, provided.measured.get().cellAspect);
        if (b.across > 0)
            sizings.push_back(buffer::partsOf(size.width, size.height, factors, b.across, b.down));
    }
    if (plan.score)
        sizings.push_back(buffer::partsOf(size.width, size.height, factors, 2, 2));
    std::vector<px::Image> images = loadBuffers(job, sizings, provided);
    b.blocks = std::move(images[0]);
    if (b.across > 0)
        b.shapeParts = std::move(images[1]);
    if (plan.score)
        b.scoreParts = std::move(images.back());
    return b;
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
