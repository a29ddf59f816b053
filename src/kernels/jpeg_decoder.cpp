#include "kernels/jpeg_decoder.h"

#include "kernels/errors.h"
#include "kernels/memory_limit.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include <sys/types.h>
#include <unistd.h>

#include <jerror.h>
#include <jpeglib.h>

namespace jpeg {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool truncated;
};

void onError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void onMessage(j_common_ptr cinfo, int level) {
    // Data that ends early, at the end of the file or at a marker met in the middle of a scan (a file cut
    // short and closed again), is padded by the decoder; such a picture is not whole.
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (level < 0 && (cinfo->err->msg_code == JWRN_JPEG_EOF || cinfo->err->msg_code == JWRN_HIT_MARKER))
        err->truncated = true;
}

// A safety net beside the counted scans: the decoder stops at the scan past the limit.
void onProgress(j_common_ptr cinfo) {
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
        auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        std::snprintf(err->message, sizeof err->message, "too many scans");
        std::longjmp(err->jump, 2);
    }
}

// Reads a file in chunks from its own position, a byte at a time or skipping ahead, leaving the position
// the decoder reads from alone.
class Bytes {
  public:
    Bytes(int fd, off_t start) : fd_(fd), offset_(start) {}
    int next() {
        if (at_ == size_ && !fill())
            return -1;
        return buffer_[at_++];
    }
    // Moves past the next 0xFF; false at the end of the file.
    bool pastNextFF() {
        for (;;) {
            if (at_ < size_) {
                const void* ff = std::memchr(buffer_ + at_, 0xFF, size_ - at_);
                if (ff) {
                    at_ = size_t(static_cast<const unsigned char*>(ff) - buffer_) + 1;
                    return true;
                }
            }
            if (!fill())
                return false;
        }
    }
    bool skip(long n) {
        if (n < 0)
            return false;
        const long here = long(size_ - at_);
        if (n <= here) {
            at_ += size_t(n);
            return true;
        }
        offset_ += n - here;
        at_ = size_ = 0;
        return true;
    }

  private:
    bool fill() {
        const ssize_t got = ::pread(fd_, buffer_, sizeof buffer_, offset_);
        size_ = got > 0 ? size_t(got) : 0;
        offset_ += off_t(size_);
        at_ = 0;
        return size_ > 0;
    }
    int fd_;
    off_t offset_;
    unsigned char buffer_[1 << 16];
    size_t at_ = 0, size_ = 0;
};

// Counts the scans by walking the markers: segments are skipped by their lengths, entropy-coded data up to
// the next marker (a 0xFF there is followed by 0x00 or a restart marker). Stops counting past `limit`.
// `ended` tells whether the walk met the end marker, that is whether the file holds the whole picture.
int countScans(int fd, off_t start, int limit, bool& ended) {
    Bytes in(fd, start);
    int scans = 0, c;
    ended = false;
    if (in.next() != 0xFF || in.next() != 0xD8)
        return 0;
    for (;;) {
        if (!in.pastNextFF())
            return scans;
        while ((c = in.next()) == 0xFF) {
        }
        if (c == 0xD9)
            ended = true;
        if (c < 0 || c == 0xD9)
            return scans;
        if (c == 0x01 || (c >= 0xD0 && c <= 0xD7))
            continue; // no length follows
        const int hi = in.next(), lo = in.next();
        if (hi < 0 || lo < 0 || !in.skip(long((hi << 8) | lo) - 2))
            return scans;
        if (c != 0xDA)
            continue;
        if (++scans > limit)
            return scans;
        // Entropy-coded data: a 0xFF followed by 0x00 or a restart marker belongs to it.
        for (;;) {
            if (!in.pastNextFF())
                return scans;
            do
                c = in.next();
            while (c == 0xFF);
            if (c < 0)
                return scans;
            if (c != 0x00 && !(c >= 0xD0 && c <= 0xD7)) {
                // The next marker: read on from it (without a length for EOI).
                ended = c == 0xD9;
                if (c == 0xD9)
                    return scans;
                const int h = in.next(), l = in.next();
                if (h < 0 || l < 0 || !in.skip(long((h << 8) | l) - 2))
                    return scans;
                if (c == 0xDA && ++scans > limit)
                    return scans;
                if (c != 0xDA)
                    break;
            }
        }
    }
}

enum class Mode { Peek, Header, Decode, Verify };

enum class Outcome { Done, Failed, Unsupported, Truncated, TooManyScans };

int64_t coefficientBytes(const jpeg_decompress_struct& cinfo) {
    if (!jpeg_has_multiple_scans(const_cast<j_decompress_ptr>(&cinfo)))
        return 0;
    int64_t bytes = 0;
    for (int c = 0; c < cinfo.num_components; ++c) {
        const jpeg_component_info& comp = cinfo.comp_info[c];
        const int64_t w = (int64_t(comp.width_in_blocks) + comp.h_samp_factor - 1) / comp.h_samp_factor *
                          comp.h_samp_factor;
        const int64_t h = (int64_t(comp.height_in_blocks) + comp.v_samp_factor - 1) / comp.v_samp_factor *
                          comp.v_samp_factor;
        bytes += w * h * int64_t(sizeof(JBLOCK));
    }
    return bytes;
}

// A progressive picture's scans up to the first that holds the DC coefficients of every component, and no
// further: at an eighth of the size each output pixel is its block's DC value alone, the mean of its 8 x 8
// pixels. A later scan may refine the DC by a bit; that changes a mean by a fraction of a level.
void consumeDcScans(jpeg_decompress_struct& cinfo) {
    std::vector<bool> done(size_t(cinfo.num_components), false);
    for (;;) {
        const int r = jpeg_consume_input(&cinfo);
        if (r == JPEG_REACHED_EOI || r == JPEG_SUSPENDED)
            return;
        if (r != JPEG_SCAN_COMPLETED || cinfo.Ss != 0)
            continue;
        for (int i = 0; i < cinfo.comps_in_scan; ++i)
            done[size_t(cinfo.cur_comp_info[i]->component_index)] = true;
        if (std::all_of(done.begin(), done.end(), [](bool d) { return d; }))
            return;
    }
}

struct Job {
    Mode mode;
    off_t start;     // where the picture begins in the file
    px::Size finest; // the finest grid the caller averages the picture onto; 0 x 0: every pixel
    const std::function<int64_t(const Info&)>* outputBytes;
    const std::function<void(const Info&)>* header;
    const std::function<px::Pixel*(int)>* target;
    const std::function<void(int)>* ready;
    std::optional<memlimit::Reservation>* reservation; // lives outside the jump's reach
    std::exception_ptr* failure;                       // what a callback raised
};

// Everything between setjmp and the decoder's calls is plain data or lives in the caller's frame, so a
// jump back skips no destructor; what the callbacks raise is kept in the job and raised again after the
// decoder has been taken down.
Outcome run(FILE* file, const Job& job, Info& info, char* message) {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_progress_mgr progress;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    err.truncated = false;
    err.message[0] = 0;
    if (const int jumped = setjmp(err.jump)) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.message);
        jpeg_destroy_decompress(&cinfo);
        return jumped == 2 ? Outcome::TooManyScans : Outcome::Failed;
    }
    jpeg_create_decompress(&cinfo);
    progress.progress_monitor = onProgress;
    cinfo.progress = &progress;
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    info.width = int(cinfo.image_width);
    info.height = int(cinfo.image_height);
    info.progressive = jpeg_has_multiple_scans(&cinfo);
    info.convertible = cinfo.jpeg_color_space != JCS_CMYK && cinfo.jpeg_color_space != JCS_YCCK;
    info.coefficientBytes = coefficientBytes(cinfo);
    bool ended = true;
    if (info.progressive && job.mode != Mode::Peek) {
        info.scans = countScans(::fileno(file), job.start, kMaxScans, ended);
        if (info.scans > kMaxScans) {
            jpeg_destroy_decompress(&cinfo);
            return Outcome::TooManyScans;
        }
    }
    info.outputWidth = info.width;
    info.outputHeight = info.height;
    if (job.mode == Mode::Header || job.mode == Mode::Peek) {
        jpeg_destroy_decompress(&cinfo);
        return Outcome::Done;
    }
    if (job.mode == Mode::Decode && !info.convertible) {
        jpeg_destroy_decompress(&cinfo);
        return Outcome::Unsupported;
    }
    cinfo.dct_method = JDCT_ISLOW;
    bool dcOnly = false;
    if (job.mode == Mode::Verify) {
        cinfo.out_color_space = info.convertible ? JCS_RGB : JCS_CMYK;
        cinfo.scale_num = 1;
        cinfo.scale_denom = 8;
    } else {
        cinfo.out_color_space = JCS_EXT_BGRA; // the pixels' 0xAARRGGBB words on little-endian machines
        cinfo.scale_num = unsigned(scaleEighths(info.width, info.height, job.finest));
        cinfo.scale_denom = 8;
        jpeg_calc_output_dimensions(&cinfo);
        info.outputWidth = int(cinfo.output_width);
        info.outputHeight = int(cinfo.output_height);
        // At an eighth, a progressive picture needs its DC scans only; what follows them is not decoded,
        // once the walk of its markers has told that the file holds the whole picture. A file that does not
        // is decoded on, so that it is refused as it always was.
        dcOnly = info.progressive && cinfo.scale_num == 1 && ended;
        cinfo.buffered_image = dcOnly;
        // Smoothing guesses the missing AC coefficients from the neighbours' DC, and moves the means with
        // them; at an eighth only the blocks' own means are wanted.
        cinfo.do_block_smoothing = FALSE;
    }
    // What the caller keeps, the coefficients, and the decoder's rows (a few of them, up to 4 bytes a pixel
    // each for every component).
    const auto guarded = [&](const auto& fn) {
        try {
            fn();
            return true;
        } catch (...) {
            *job.failure = std::current_exception();
            jpeg_destroy_decompress(&cinfo);
            return false;
        }
    };
    const bool prepared = guarded([&] {
        const int64_t callerBytes = job.outputBytes && *job.outputBytes ? (*job.outputBytes)(info) : 0;
        const int64_t rowBytes = int64_t(info.outputWidth) * 4 * 32;
        job.reservation->emplace(callerBytes + info.coefficientBytes + rowBytes, info.width, info.height);
        if (job.header && *job.header)
            (*job.header)(info);
    });
    if (!prepared)
        return Outcome::Failed;
    jpeg_start_decompress(&cinfo);
    if (dcOnly) {
        consumeDcScans(cinfo);
        jpeg_start_output(&cinfo, cinfo.input_scan_number);
    }
    if (job.mode == Mode::Verify) {
        JSAMPARRAY rows = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                     cinfo.output_width * cinfo.output_components, 1);
        while (cinfo.output_scanline < cinfo.output_height && !err.truncated)
            jpeg_read_scanlines(&cinfo, rows, 1);
    } else {
        while (cinfo.output_scanline < cinfo.output_height) {
            const int y = int(cinfo.output_scanline);
            JSAMPROW rows[1] = {nullptr};
            if (!guarded([&] { rows[0] = reinterpret_cast<JSAMPROW>((*job.target)(y)); }))
                return Outcome::Failed;
            jpeg_read_scanlines(&cinfo, rows, 1);
            if (err.truncated)
                break;
            if (!guarded([&] { (*job.ready)(y); }))
                return Outcome::Failed;
        }
    }
    const bool truncated = err.truncated;
    if (!truncated && !dcOnly) // the scans after the DC ones are not read
        jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return truncated ? Outcome::Truncated : Outcome::Done;
}

Info decodeFile(std::FILE* file, Job job) {
    job.start = ::ftello(file);
    Info info;
    char message[JMSG_LENGTH_MAX] = {0};
    Outcome outcome;
    try {
        outcome = run(file, job, info, message);
        if (*job.failure)
            std::rethrow_exception(*job.failure);
    } catch (const std::bad_alloc&) {
        err::raise(err::OutOfMemory,
                   "Out of memory (the picture is " + std::to_string(info.width) + " x " +
                       std::to_string(info.height) + " pixels)",
                   err::Kind::TooLarge);
    }
    switch (outcome) {
    case Outcome::Done:
        return info;
    case Outcome::Unsupported:
        err::raise(err::InvalidPicture, "Invalid picture (unsupported JPEG colour space)",
                   err::Kind::UnsupportedColourSpace);
    case Outcome::Truncated:
        err::raise(err::InvalidPicture, "Invalid picture (the JPEG file ends too early)",
                   err::Kind::Truncated);
    case Outcome::TooManyScans:
        err::raise(err::InvalidPicture,
                   "Invalid picture (the JPEG file has more than " + std::to_string(kMaxScans) + " scans)",
                   err::Kind::TooManyScans);
    case Outcome::Failed:
        break;
    }
    err::raise(err::InvalidPicture, std::string("Invalid picture (") + message + ")");
}

} // namespace

int scaleEighths(int width, int height, px::Size finest) {
    if (finest.width <= 0 || finest.height <= 0)
        return 8;
    for (int m : {1, 2, 4})
        if ((int64_t(width) * m + 7) / 8 >= finest.width && (int64_t(height) * m + 7) / 8 >= finest.height)
            return m;
    return 8;
}

bool looksLikeJpeg(std::string_view head) {
    return head.size() >= 3 && head.substr(0, 3) == "\xFF\xD8\xFF";
}

Info readHeader(std::FILE* file) {
    std::optional<memlimit::Reservation> reservation;
    std::exception_ptr failure;
    return decodeFile(file, {Mode::Peek, 0, {}, nullptr, nullptr, nullptr, nullptr, &reservation, &failure});
}

Info readInfo(std::FILE* file) {
    std::optional<memlimit::Reservation> reservation;
    std::exception_ptr failure;
    return decodeFile(file,
                      {Mode::Header, 0, {}, nullptr, nullptr, nullptr, nullptr, &reservation, &failure});
}

void decodeInto(std::FILE* file, const std::function<int64_t(const Info&)>& outputBytes,
                const std::function<void(const Info&)>& header,
                const std::function<px::Pixel*(int y)>& target, const std::function<void(int y)>& ready,
                px::Size finest) {
    std::optional<memlimit::Reservation> reservation;
    std::exception_ptr failure;
    decodeFile(file,
               {Mode::Decode, 0, finest, &outputBytes, &header, &target, &ready, &reservation, &failure});
}

void verify(std::FILE* file) {
    std::optional<memlimit::Reservation> reservation;
    std::exception_ptr failure;
    decodeFile(file, {Mode::Verify, 0, {}, nullptr, nullptr, nullptr, nullptr, &reservation, &failure});
}

} // namespace jpeg
