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

#include <jpeglib.h> // before jerror.h, whose arithmetic-coding messages depend on jconfig.h

#include <jerror.h>

namespace jpeg {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool truncated;
    bool ended;                   // the file itself ended early: truncation, whatever followed
    bool strict;                  // damaged data refuses the picture
    char damage[JMSG_LENGTH_MAX]; // the first damage the decoder met, in its words; empty: none
};

void onError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// The warnings that say the entropy-coded data is damaged: the decoder guesses on past them, and the
// picture it gives is not the file's. (A segment that ends early in a file that does not is damage too.)
bool saysDamage(int code) {
    return code == JWRN_HUFF_BAD_CODE || code == JWRN_EXTRANEOUS_DATA || code == JWRN_MUST_RESYNC ||
           code == JWRN_ARITH_BAD_CODE || code == JWRN_BOGUS_PROGRESSION || code == JWRN_HIT_MARKER;
}

void onMessage(j_common_ptr cinfo, int level) {
    // Data that ends early, at the end of the file or at a marker met in the middle of a scan (a file cut
    // short and closed again), is padded by the decoder; such a picture is not whole.
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    const int code = cinfo->err->msg_code;
    if (level < 0 && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER))
        err->truncated = true;
    if (level < 0 && code == JWRN_JPEG_EOF)
        err->ended = true;
    if (level < 0 && err->strict && !err->ended && !err->damage[0] && saysDamage(code)) {
        if (code == JWRN_BOGUS_PROGRESSION) {
            std::snprintf(err->damage, sizeof err->damage, "a bogus progression");
            return;
        }
        char text[JMSG_LENGTH_MAX];
        (*cinfo->err->format_message)(cinfo, text);
        // "Corrupt JPEG data: bad Huffman code": the reason is what follows the decoder's prefix.
        const char* reason = std::strstr(text, ": ");
        std::snprintf(err->damage, sizeof err->damage, "%s", reason ? reason + 2 : text);
    }
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
    // The file offset of the next byte.
    off_t position() const { return offset_ - off_t(size_) + off_t(at_); }
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

// What a walk of a file's markers finds: segments are skipped by their lengths, entropy-coded data up to
// the next marker (a 0xFF there is followed by 0x00 or a restart marker).
struct Markers {
    int scans = 0;      // counted up to one past the limit
    bool ended = false; // the end marker was met: the file holds the whole picture
    // The byte ranges of the scans that carry AC coefficients (their marker to the next marker's), which a
    // decode at an eighth of the size does not need.
    std::vector<std::pair<off_t, off_t>> acScans;
};

Markers walkMarkers(int fd, off_t start, int limit) {
    Bytes in(fd, start);
    Markers m;
    if (in.next() != 0xFF || in.next() != 0xD8)
        return m;
    off_t markerAt = 0;
    int c = 0;
    bool read = false; // the marker after a scan's data is read already
    for (;;) {
        if (!read) {
            if (!in.pastNextFF())
                return m;
            markerAt = in.position() - 1;
            while ((c = in.next()) == 0xFF) {
            }
        }
        read = false;
        if (c < 0)
            return m;
        if (c == 0xD9) {
            m.ended = true;
            return m;
        }
        if (c == 0x00 || c == 0x01 || (c >= 0xD0 && c <= 0xD7))
            continue; // no length follows
        const int hi = in.next(), lo = in.next();
        const long length = long((hi << 8) | lo);
        if (hi < 0 || lo < 0 || length < 2)
            return m;
        if (c != 0xDA) {
            if (!in.skip(length - 2))
                return m;
            continue;
        }
        if (++m.scans > limit)
            return m;
        // The scan's header: its components, then the spectral selection's start (0 for DC).
        std::vector<int> header(size_t(length - 2));
        for (int& b : header)
            if ((b = in.next()) < 0)
                return m;
        const size_t spectralStart = header.empty() ? 0 : 1 + 2 * size_t(header[0]);
        const bool ac = spectralStart < header.size() && header[spectralStart] > 0;
        const off_t scanAt = markerAt;
        for (;;) {
            if (!in.pastNextFF())
                return m;
            const off_t ff = in.position() - 1;
            do
                c = in.next();
            while (c == 0xFF);
            if (c < 0)
                return m;
            if (c != 0x00 && !(c >= 0xD0 && c <= 0xD7)) {
                markerAt = ff;
                read = true;
                break;
            }
        }
        if (ac)
            m.acScans.emplace_back(scanAt, markerAt);
    }
}

// A source that reads a file from where the picture starts, leaving out byte ranges: a progressive
// picture's AC scans, so that a decode at an eighth reads and checks its DC scans alone. At the file's end
// it gives an end marker, as libjpeg's own file source does, with the same warning.
class SkippingSource {
  public:
    SkippingSource(int fd, off_t start, std::vector<std::pair<off_t, off_t>> skipped)
        : fd_(fd), at_(start), skipped_(std::move(skipped)) {
        pub_.init_source = [](j_decompress_ptr) {};
        pub_.fill_input_buffer = fill;
        pub_.skip_input_data = skip;
        pub_.resync_to_restart = jpeg_resync_to_restart;
        pub_.term_source = [](j_decompress_ptr) {};
    }
    void attach(jpeg_decompress_struct& cinfo) {
        cinfo.client_data = this;
        cinfo.src = &pub_;
    }

  private:
    static SkippingSource& of(j_decompress_ptr cinfo) {
        return *static_cast<SkippingSource*>(cinfo->client_data);
    }
    static boolean fill(j_decompress_ptr cinfo) {
        SkippingSource& s = of(cinfo);
        while (s.next_ < s.skipped_.size() && s.at_ >= s.skipped_[s.next_].first) {
            s.at_ = std::max(s.at_, s.skipped_[s.next_].second);
            ++s.next_;
        }
        size_t want = sizeof s.buffer_;
        if (s.next_ < s.skipped_.size())
            want = size_t(std::min<off_t>(off_t(want), s.skipped_[s.next_].first - s.at_));
        const ssize_t got = ::pread(s.fd_, s.buffer_, want, s.at_);
        if (got <= 0) {
            WARNMS(cinfo, JWRN_JPEG_EOF);
            s.buffer_[0] = 0xFF;
            s.buffer_[1] = JPEG_EOI;
            s.pub_.next_input_byte = s.buffer_;
            s.pub_.bytes_in_buffer = 2;
            return TRUE;
        }
        s.at_ += got;
        s.pub_.next_input_byte = s.buffer_;
        s.pub_.bytes_in_buffer = size_t(got);
        return TRUE;
    }
    static void skip(j_decompress_ptr cinfo, long n) {
        SkippingSource& s = of(cinfo);
        while (n > long(s.pub_.bytes_in_buffer)) {
            n -= long(s.pub_.bytes_in_buffer);
            fill(cinfo);
        }
        if (n > 0) {
            s.pub_.next_input_byte += n;
            s.pub_.bytes_in_buffer -= size_t(n);
        }
    }

    jpeg_source_mgr pub_{};
    int fd_;
    off_t at_;
    std::vector<std::pair<off_t, off_t>> skipped_;
    size_t next_ = 0;
    JOCTET buffer_[1 << 16];
};

enum class Mode { Peek, Header, Decode, Verify };

enum class Outcome { Done, Failed, Unsupported, Truncated, Damaged, TooManyScans };

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

struct Job {
    Mode mode;
    off_t start = 0;     // where the picture begins in the file
    px::Size finest;     // the finest grid the caller averages the picture onto; 0 x 0: every pixel
    bool strict = false; // damaged data refuses the picture
    const std::function<int64_t(const Info&)>* outputBytes = nullptr;
    const std::function<void(const Info&)>* header = nullptr;
    const std::function<px::Pixel*(int)>* target = nullptr;
    const std::function<void(int)>* ready = nullptr;
    // Outside the jump's reach too: what the walk of the markers found, and the source that leaves out a
    // progressive picture's AC scans.
    std::optional<memlimit::Reservation>* reservation = nullptr;
    Markers* markers = nullptr;
    std::optional<SkippingSource>* source = nullptr;
    std::exception_ptr* failure = nullptr; // what a callback raised
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
    err.ended = false;
    err.strict = job.strict && job.mode == Mode::Decode;
    err.damage[0] = 0;
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
    if (info.progressive && job.mode != Mode::Peek) {
        *job.markers = walkMarkers(::fileno(file), job.start, kMaxScans);
        info.scans = job.markers->scans;
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
        // At an eighth each output pixel is its block's DC value alone, the mean of its 8 x 8 pixels: a
        // progressive picture is decoded from its DC scans, its first and the ones that refine it by a bit,
        // and its AC scans are not even read, once the walk of its markers has told that the file holds the
        // whole picture. A file that does not is decoded whole, so that it is refused as it always was.
        dcOnly = info.progressive && cinfo.scale_num == 1 && job.markers->ended;
        if (dcOnly) {
            jpeg_destroy_decompress(&cinfo);
            jpeg_create_decompress(&cinfo);
            cinfo.progress = &progress;
            job.source->emplace(::fileno(file), job.start, job.markers->acScans);
            (*job.source)->attach(cinfo);
            jpeg_read_header(&cinfo, TRUE);
            cinfo.dct_method = JDCT_ISLOW;
            cinfo.out_color_space = JCS_EXT_BGRA;
            cinfo.scale_num = 1;
            cinfo.scale_denom = 8;
            jpeg_calc_output_dimensions(&cinfo);
        }
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
    jpeg_start_decompress(&cinfo); // a multi-scan picture's input is read whole here
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
            if (err.truncated || err.damage[0])
                break;
            if (!guarded([&] { (*job.ready)(y); }))
                return Outcome::Failed;
        }
    }
    if (!err.truncated && !err.damage[0])
        jpeg_finish_decompress(&cinfo); // what follows the last row is checked too
    jpeg_destroy_decompress(&cinfo);
    if (err.damage[0] && !err.ended) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.damage);
        return Outcome::Damaged;
    }
    return err.truncated ? Outcome::Truncated : Outcome::Done;
}

Info decodeFile(std::FILE* file, Job job) {
    job.start = ::ftello(file);
    std::optional<memlimit::Reservation> reservation;
    Markers markers;
    std::optional<SkippingSource> source;
    std::exception_ptr failure;
    job.reservation = &reservation;
    job.markers = &markers;
    job.source = &source;
    job.failure = &failure;
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
    case Outcome::Damaged:
        err::raise(err::InvalidPicture,
                   std::string("Invalid picture (the JPEG data is damaged: ") + message + ")");
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
    return decodeFile(file, {.mode = Mode::Peek, .finest = {}});
}

Info readInfo(std::FILE* file) {
    return decodeFile(file, {.mode = Mode::Header, .finest = {}});
}

void decodeInto(std::FILE* file, const std::function<int64_t(const Info&)>& outputBytes,
                const std::function<void(const Info&)>& header,
                const std::function<px::Pixel*(int y)>& target, const std::function<void(int y)>& ready,
                px::Size finest, bool refuseDamage) {
    decodeFile(file, {.mode = Mode::Decode,
                      .finest = finest,
                      .strict = refuseDamage,
                      .outputBytes = &outputBytes,
                      .header = &header,
                      .target = &target,
                      .ready = &ready});
}

void verify(std::FILE* file) {
    decodeFile(file, {.mode = Mode::Verify, .finest = {}});
}

} // namespace jpeg
