#include "picture_input.h"

#include "base/files.h"
#include "kernels/errors.h"
#include "kernels/gif_blocks.h"
#include "kernels/jpeg_decoder.h"
#include "kernels/memory_limit.h"
#include "kernels/picture_signatures.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace picture_input {

namespace {

// A JPEG stream longer than this is asked for its size: a picture cannot take more bytes a pixel than
// kMaxJpegBytesPerPixel (noise at the finest quality, unsubsampled, takes about four), so what goes on
// past that is no part of it.
constexpr int64_t kJpegSizeCheckBytes = int64_t(64) << 20;
constexpr int64_t kMaxJpegBytesPerPixel = 16;

// How much of the JPEG stream begun in `spool` can belong to its picture; raises 481 when what is there
// holds no JPEG header. Leaves `spool` at its end, to be written on.
int64_t jpegStreamLimit(std::FILE* spool) {
    std::fflush(spool);
    std::rewind(spool);
    const jpeg::Info info = jpeg::readHeader(spool);
    std::fseek(spool, 0, SEEK_END);
    return kJpegSizeCheckBytes + kMaxJpegBytesPerPixel * info.width * info.height;
}

} // namespace

std::string keepStandardInput() {
    std::FILE* spool = std::tmpfile();
    const auto failed = [](const char* what) {
        return err::Error(err::PathFileAccess, std::string(what) + std::strerror(errno));
    };
    if (!spool)
        throw failed("cannot keep standard input: ");
    const int64_t budget = int64_t(memlimit::pictureAllocationLimitMB()) << 20;
    int64_t limit = budget;
    bool jpegStream = false;
    bool sizeChecked = false;
    int64_t kept = 0;
    char chunk[1 << 16];
    size_t got;
    std::optional<gif::BlockWalker> gifBlocks;
    while ((got = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) {
        if (kept == 0) {
            if (!signatures::mayStartPicture(std::string_view(chunk, got)))
                throw err::Error(err::InvalidPicture, "Invalid picture (standard input holds no picture)");
            jpegStream = jpeg::looksLikeJpeg(std::string_view(chunk, got));
            if (gif::looksLikeGif(std::string_view(chunk, got)))
                gifBlocks.emplace();
        }
        // A GIF is refused at its first wrong byte, and ends at its trailer.
        if (gifBlocks) {
            if (gifBlocks->feed(std::string_view(chunk, got)) == gif::BlockWalker::Verdict::Invalid)
                throw err::Error(err::InvalidPicture);
            if (gifBlocks->verdict() == gif::BlockWalker::Verdict::Whole)
                got = size_t(gifBlocks->consumed() - kept);
        }
        if (jpegStream && !sizeChecked && kept >= kJpegSizeCheckBytes) {
            sizeChecked = true;
            limit = std::min(budget, jpegStreamLimit(spool));
        }
        kept += int64_t(got);
        if (kept > limit && limit < budget)
            throw err::Error(err::InvalidPicture, "Invalid picture (standard input goes on past " +
                                                      std::to_string(limit >> 20) +
                                                      " MB, more than its picture can take)");
        if (kept > limit)
            throw err::Error(err::OutOfMemory,
                             "Out of memory (standard input goes on past " +
                                 std::to_string(memlimit::pictureAllocationLimitMB()) + " MB)",
                             err::Kind::TooLarge);
        if (std::fwrite(chunk, 1, got, spool) != got)
            throw failed("cannot keep standard input: ");
        if (gifBlocks && gifBlocks->verdict() == gif::BlockWalker::Verdict::Whole)
            break;
    }
    if (std::ferror(stdin) || std::fflush(spool) != 0)
        throw failed("cannot read standard input: ");
    return "/proc/self/fd/" + std::to_string(fileno(spool)); // kept open for the rest of the run
}

bool decodedByQt(const std::string& source) {
    if (!jpeg::looksLikeJpeg(files::head(source, 3)))
        return true;
    try {
        return !jpeg::readHeader(files::openForReading(source).get()).convertible;
    } catch (const err::Error&) {
        return false;
    }
}

bool startsAsItsFormatGoesOn(const std::string& source) {
    const std::string head = files::head(source, 64 * 1024);
    if (!gif::looksLikeGif(head))
        return true;
    gif::BlockWalker walker;
    return walker.feed(head) != gif::BlockWalker::Verdict::Invalid;
}

} // namespace picture_input
