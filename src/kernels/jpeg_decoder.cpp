#include "kernels/jpeg_decoder.h"

#include "kernels/errors.h"
#include "kernels/files.h"
#include "kernels/memory_limit.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include <sys/stat.h>

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
    // A stream that ends early is padded by the decoder with grey; such a picture is not whole.
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        err->truncated = true;
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

enum class Outcome { Done, Failed, Unsupported, TooLarge, Truncated };

// Everything between setjmp and the decoder's calls is plain data, so a jump back skips no destructor.
Outcome run(FILE* file, bool headerOnly, Info& info, const std::function<void(const Info&)>& header,
            const std::function<px::Pixel*(int)>& target, const std::function<void(int)>& ready,
            char* message) {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    err.truncated = false;
    err.message[0] = 0;
    if (setjmp(err.jump)) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.message);
        jpeg_destroy_decompress(&cinfo);
        return Outcome::Failed;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    info.width = int(cinfo.image_width);
    info.height = int(cinfo.image_height);
    info.progressive = jpeg_has_multiple_scans(&cinfo);
    if (headerOnly) {
        jpeg_destroy_decompress(&cinfo);
        return Outcome::Done;
    }
    if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
        jpeg_destroy_decompress(&cinfo);
        return Outcome::Unsupported;
    }
    if (int64_t(info.width) * info.height * 4 > int64_t(memlimit::pictureAllocationLimitMB()) * 1024 * 1024) {
        jpeg_destroy_decompress(&cinfo);
        return Outcome::TooLarge;
    }
    cinfo.out_color_space = JCS_EXT_BGRA; // the pixels' 0xAARRGGBB words on little-endian machines
    cinfo.dct_method = JDCT_ISLOW;
    try {
        header(info);
    } catch (...) {
        jpeg_destroy_decompress(&cinfo);
        throw;
    }
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = int(cinfo.output_scanline);
        JSAMPROW rows[1];
        try {
            rows[0] = reinterpret_cast<JSAMPROW>(target(y));
        } catch (...) {
            jpeg_destroy_decompress(&cinfo);
            throw;
        }
        jpeg_read_scanlines(&cinfo, rows, 1);
        if (err.truncated)
            break;
        try {
            ready(y);
        } catch (...) {
            jpeg_destroy_decompress(&cinfo);
            throw;
        }
    }
    const bool truncated = err.truncated;
    if (!truncated)
        jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return truncated ? Outcome::Truncated : Outcome::Done;
}

std::unique_ptr<FILE, FileCloser> openFile(const std::string& path) {
    files::requireRegularFile(path);
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        raiseKernelError(err::PathFileAccess);
    return std::unique_ptr<FILE, FileCloser>(f);
}

Info decodeFile(const std::string& path, bool headerOnly, const std::function<void(const Info&)>& header,
                const std::function<px::Pixel*(int)>& target, const std::function<void(int)>& ready) {
    auto file = openFile(path);
    Info info;
    char message[JMSG_LENGTH_MAX] = {0};
    Outcome outcome;
    try {
        outcome = run(file.get(), headerOnly, info, header, target, ready, message);
    } catch (const std::bad_alloc&) {
        raiseKernelError(err::OutOfMemory, {}, err::Kind::TooLarge);
    }
    switch (outcome) {
    case Outcome::Done:
        return info;
    case Outcome::Unsupported:
        raiseKernelError(err::InvalidPicture, "Invalid picture (unsupported JPEG colour space)",
                         err::Kind::UnsupportedColourSpace);
    case Outcome::TooLarge:
        raiseKernelError(err::OutOfMemory,
                         "Out of memory (the picture is " + std::to_string(info.width) + " x " +
                             std::to_string(info.height) + " pixels)",
                         err::Kind::TooLarge);
    case Outcome::Truncated:
        raiseKernelError(err::InvalidPicture, "Invalid picture (the JPEG file ends too early)",
                         err::Kind::Truncated);
    case Outcome::Failed:
        break;
    }
    raiseKernelError(err::InvalidPicture, std::string("Invalid picture (") + message + ")");
}

} // namespace

bool looksLikeJpeg(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    unsigned char head[3] = {0, 0, 0};
    const size_t got = std::fread(head, 1, 3, f);
    std::fclose(f);
    return got == 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

Info readInfo(const std::string& path) {
    return decodeFile(
        path, true, [](const Info&) {}, [](int) { return nullptr; }, [](int) {});
}

void decodeInto(const std::string& path, const std::function<void(const Info&)>& header,
                const std::function<px::Pixel*(int y)>& target, const std::function<void(int y)>& ready) {
    decodeFile(path, false, header, target, ready);
}

} // namespace jpeg
