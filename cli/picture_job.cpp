#include "picture_job.h"

#include "base/files.h"
#include "kernels/errors.h"
#include "kernels/jpeg_buffer.h"
#include "kernels/jpeg_decoder.h"
#include "output.h"

#include <algorithm>
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

px::Image loadBuffer(const Job& job, const buffer::Factors& factors, const Provided& provided) {
    if (job.viaQt)
        return provided.qt.get()->loadBuffer(job.source, factors);
    px::Image out;
    jpeg::decodeBuffer(
        files::openForReading(job.source).get(), factors,
        [&](px::Size area) {
            out = px::Image(area.width, area.height, buffer::kBackground);
            return out.view();
        },
        provided.spareCore);
    return out;
}

std::string outputOf(const px::Image& buffer, const Plan& plan, const Job& job, const Provided& provided) {
    art::Art a;
    a.buffer = buffer.view();
    a.sorted = provided.measured.get().chars;
    if (plan.invert)
        std::reverse(a.sorted.begin(), a.sorted.end());
    a.colours = plan.colours;
    a.crlf = plan.crlf;
    a.dark = plan.invert && plan.colours;
    a.page.title = job.picture == kStandardInput ? "standard input"
                                                 : std::filesystem::path(job.picture).filename().string();
    a.page.fontFamily = plan.font;
    a.page.points = plan.size;
    if (plan.form->needsGlyphs)
        a.glyphs = &provided.glyphs.get();
    a.threads = provided.threads;
    return plan.form->write(a);
}

} // namespace

std::optional<std::string> convertPicture(const Plan& plan, const Job& job, const Provided& provided) {
    if (job.refused)
        return std::nullopt;
    try {
        if (!job.inputError.empty())
            throw err::Error(err::PathFileAccess, job.inputError);
        buffer::Factors factors = plan.factors;
        if (plan.grid)
            factors = gridFor(pictureSize(job, provided), *plan.grid, provided.measured.get().cellAspect);
        const px::Image buffer = loadBuffer(job, factors, provided);
        return outputOf(buffer, plan, job, provided);
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
