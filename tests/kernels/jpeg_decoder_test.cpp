#include "kernel_pictures.h"
#include "kernels/errors.h"
#include "kernels/jpeg_buffer.h"
#include "kernels/jpeg_decoder.h"
#include "kernels/memory_limit.h"

#include <jpeglib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>

namespace {

// One of the regression pictures, opened: the decoder reads what the caller opened.
std::unique_ptr<std::FILE, int (*)(std::FILE*)> hostile(const char* name) {
    return {std::fopen((std::string(TESSARINE_HOSTILE_DIR) + "/" + name).c_str(), "rb"), &std::fclose};
}

err::Error decodeError(const char* name) {
    try {
        jpeg::decodeInto(
            hostile(name).get(), [](const jpeg::Info&) { return int64_t(0); }, [](const jpeg::Info&) {},
            [](int) -> px::Pixel* {
                static thread_local std::vector<px::Pixel> row(1 << 16);
                return row.data();
            },
            [](int) {});
    } catch (const err::Error& e) {
        return e;
    }
    return err::Error(0, "no error");
}

struct Encoding {
    int hSampling = 2, vSampling = 2; // the luma's sampling: 4:2:0, 4:2:2 (2, 1) or 4:4:4 (1, 1)
    bool progressive = false;
    int restartRows = 0; // restart markers every so many rows of MCUs
    int quality = 95;
};

// The picture as a JPEG file of its own, encoded by libjpeg-turbo (progressive in its usual progression,
// whose first scan carries the DC coefficients without their lowest bit, refined in a later scan).
std::unique_ptr<std::FILE, int (*)(std::FILE*)> encoded(const px::Image& picture, const Encoding& e) {
    std::FILE* file = std::tmpfile();
    jpeg_compress_struct c;
    jpeg_error_mgr errors;
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, file);
    c.image_width = JDIMENSION(picture.width);
    c.image_height = JDIMENSION(picture.height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, e.quality, TRUE);
    c.comp_info[0].h_samp_factor = e.hSampling;
    c.comp_info[0].v_samp_factor = e.vSampling;
    c.restart_in_rows = e.restartRows;
    if (e.progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(size_t(picture.width) * 3);
    while (c.next_scanline < c.image_height) {
        for (int x = 0; x < picture.width; ++x) {
            const px::Pixel p = kpic::at(picture, x, int(c.next_scanline));
            row[size_t(3 * x)] = JSAMPLE(px::red(p));
            row[size_t(3 * x + 1)] = JSAMPLE(px::green(p));
            row[size_t(3 * x + 2)] = JSAMPLE(px::blue(p));
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::rewind(file);
    return {file, &std::fclose};
}

// The grid of columns x rows blocks of a JPEG, decoded whole or no finer than the grid.
px::Image gridOf(std::FILE* file, int columns, int rows, bool shrunk, bool refuseDamage = false) {
    buffer::Factors grid;
    grid.columns = columns;
    grid.rows = rows;
    px::Image out;
    std::rewind(file);
    jpeg::decodeBuffers(file,
                        {{grid,
                          [&](px::Size area) {
                              out = px::Image(area.width, area.height);
                              return out.view();
                          }}},
                        false, false, shrunk ? px::Size{columns, rows} : px::Size{}, refuseDamage);
    return out;
}

// A file's bytes, and a file of given bytes.
std::string bytesOf(std::FILE* file) {
    std::rewind(file);
    std::string out;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        out.append(chunk, got);
    return out;
}
std::unique_ptr<std::FILE, int (*)(std::FILE*)> fileOf(const std::string& bytes) {
    std::FILE* file = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    return {file, &std::fclose};
}

// Where each scan of a JPEG file's bytes begins (its marker), with its spectral start and successive
// approximation's high bit: an AC scan starts above 0, a refinement has a high bit above 0.
struct Scan {
    size_t at, end;
    int spectralStart, high;
};
std::vector<Scan> scansOf(const std::string& b) {
    std::vector<Scan> scans;
    for (size_t i = 0; i + 4 < b.size(); ++i)
        if (uint8_t(b[i]) == 0xFF && uint8_t(b[i + 1]) == 0xDA) {
            const size_t ns = uint8_t(b[i + 4]);
            if (!scans.empty())
                scans.back().end = i;
            scans.push_back({i, b.size() - 2, uint8_t(b[i + 5 + 2 * ns]), uint8_t(b[i + 7 + 2 * ns]) >> 4});
        }
    return scans;
}

std::string descriptionOf(const std::function<void()>& decode) {
    try {
        decode();
    } catch (const err::Error& e) {
        return e.description();
    }
    return "taken";
}

TEST(JpegDecoder, ShrunkDecodeGivesTheBlocksOfTheWholeOne) {
    // Blocks of 16 x 16 pixels, the sampling's largest unit, each of one colour.
    px::Image blocks(256, 128, 0);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 256; ++x) {
            const int b = (x / 16) + 16 * (y / 16);
            kpic::set(blocks, x, y, px::rgb((b * 37) % 256, (b * 91) % 256, (b * 53) % 256));
        }
    for (const Encoding e : {Encoding{2, 2, false, 0}, Encoding{2, 1, false, 0}, Encoding{1, 1, false, 0},
                             Encoding{2, 2, true, 0}, Encoding{1, 1, true, 0}, Encoding{2, 2, false, 1},
                             Encoding{2, 2, true, 1}}) {
        SCOPED_TRACE(std::to_string(e.hSampling) + "x" + std::to_string(e.vSampling) +
                     (e.progressive ? " progressive" : "") + (e.restartRows ? " restarts" : ""));
        const auto file = encoded(blocks, e);
        const px::Image whole = gridOf(file.get(), 16, 8, false), shrunk = gridOf(file.get(), 16, 8, true);
        ASSERT_EQ(shrunk.width, 16);
        // Each block's mean is its colour, to within the coding's rounding; the whole decode blurs the
        // colour across blocks where the colour is subsampled, but its brightness agrees.
        for (size_t i = 0; i < whole.pixels.size(); ++i) {
            const px::Pixel a = whole.pixels[i], b = shrunk.pixels[i];
            const px::Pixel truth = kpic::at(blocks, int(i % 16) * 16, int(i / 16) * 16);
            EXPECT_LE(std::abs(px::red(b) - px::red(truth)) + std::abs(px::green(b) - px::green(truth)) +
                          std::abs(px::blue(b) - px::blue(truth)),
                      4)
                << "block " << i;
            EXPECT_LE(
                std::abs(px::red(a) + px::green(a) + px::blue(a) - px::red(b) - px::green(b) - px::blue(b)),
                12)
                << "block " << i << ": the brightness within 4 levels";
        }
    }
}

// A progressive copy holds the same coefficients as its baseline twin: shrunk to an eighth, the same pixels,
// its DC refined to its last bit (64 flat grey steps at a low quality, where a lost bit merges steps).
TEST(JpegDecoder, ProgressiveTwinShrinksToTheBaselinesPixels) {
    px::Image steps(2048, 256, 0);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 2048; ++x)
            kpic::set(steps, x, y, px::rgb(x / 32 * 255 / 63, x / 32 * 255 / 63, x / 32 * 255 / 63));
    for (int quality : {10, 30}) {
        Encoding e;
        e.quality = quality;
        const auto baseline = encoded(steps, e);
        e.progressive = true;
        const auto progressive = encoded(steps, e);
        const px::Image a = gridOf(baseline.get(), 64, 8, true), b = gridOf(progressive.get(), 64, 8, true);
        ASSERT_EQ(jpeg::scaleEighths(2048, 256, {64, 8}), 1);
        EXPECT_EQ(a.pixels, b.pixels) << "quality " << quality;
    }
}

// At the converter's own sizes data the decoder calls corrupt refuses the picture, in its words, as a file
// cut short does; the desktop program's decode takes it as it always has. Damage in AC scans a shrunk decode
// does not read is not seen.
TEST(JpegDecoder, DamagedDataIsRefusedWhereAsked) {
    px::Image texture(512, 256, 0);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 512; ++x)
            kpic::set(texture, x, y, px::rgb((x * 7 + y * 3) % 256, (x * y) % 256, (x ^ y) % 256));
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        Encoding e;
        e.progressive = progressive;
        const std::string intact = bytesOf(encoded(texture, e).get());
        const std::vector<Scan> scans = scansOf(intact);
        ASSERT_FALSE(scans.empty());
        // A long run of ones is no Huffman code.
        std::string damaged = intact;
        const Scan& first = scans.front();
        damaged.replace((first.at + first.end) / 2, 64, std::string(64, '\xFE'));
        const auto file = fileOf(damaged);
        EXPECT_EQ(descriptionOf([&] {
                      gridOf(file.get(), 32, 16, true, true);
                  }).rfind("Invalid picture (the JPEG data is damaged: ", 0),
                  0u);
        // (as it always has: a scan's data that ends before its last block is a file cut short there)
        EXPECT_EQ(descriptionOf([&] { gridOf(file.get(), 32, 16, false); }),
                  progressive ? "Invalid picture (the JPEG file ends too early)" : "taken");
        if (!progressive)
            continue;
        // A refinement scan given twice is a bogus progression; the same damage in an AC scan is not read
        // at an eighth.
        const auto refinement = std::find_if(
            scans.begin(), scans.end(), [](const Scan& s) { return s.spectralStart == 0 && s.high > 0; });
        ASSERT_NE(refinement, scans.end());
        std::string twice = intact;
        twice.insert(refinement->end, intact.substr(refinement->at, refinement->end - refinement->at));
        EXPECT_EQ(descriptionOf([&] { gridOf(fileOf(twice).get(), 32, 16, true, true); }),
                  "Invalid picture (the JPEG data is damaged: a bogus progression)");
        const Scan& ac =
            *std::find_if(scans.begin(), scans.end(), [](const Scan& s) { return s.spectralStart > 0; });
        std::string inAc = intact;
        inAc.replace((ac.at + ac.end) / 2, 64, std::string(64, '\xFE'));
        EXPECT_EQ(descriptionOf([&] { gridOf(fileOf(inAc).get(), 32, 16, true, true); }), "taken");
    }
}

TEST(JpegDecoder, ScaleIsTheCoarsestThatStillGivesEveryCellAPixel) {
    const std::tuple<int, int, px::Size, int> rows[] = {
        {5640, 3172, {480, 272}, 1}, // 120 columns of 4 x 8 parts: an eighth, 705 x 397
        {5640, 3172, {120, 34}, 1},  // the blocks alone
        {5640, 3172, {1000, 300}, 2}, {5640, 3172, {2000, 500}, 4},
        {5640, 3172, {3000, 500}, 8}, {640, 360, {480, 272}, 8}, // a small picture: a half would be 320 x 180
        {640, 360, {120, 34}, 2},     {640, 360, {0, 0}, 8},     // no grid: every pixel
    };
    for (const auto& [width, height, finest, eighths] : rows)
        EXPECT_EQ(jpeg::scaleEighths(width, height, finest), eighths)
            << width << "x" << height << " for " << finest.width << "x" << finest.height;
}

TEST(JpegDecoder, ThousandScansAreRefusedBeforeDecoding) {
    try {
        jpeg::readInfo(hostile("scan-bomb.jpg").get());
        FAIL() << "a file of 1000 scans was taken";
    } catch (const err::Error& e) {
        EXPECT_EQ(e.number(), err::InvalidPicture);
        EXPECT_EQ(e.kind(), err::Kind::TooManyScans);
        EXPECT_EQ(e.description(), "Invalid picture (the JPEG file has more than 300 scans)");
    }
    EXPECT_EQ(decodeError("scan-bomb.jpg").kind(), err::Kind::TooManyScans);
}

TEST(JpegDecoder, CoefficientBufferCountsTowardsTheLimit) {
    // 23170 x 23170 pixels in three full-size components: 2897 x 2897 blocks of 128 bytes each.
    const jpeg::Info info = jpeg::readInfo(hostile("progressive-huge.jpg").get());
    EXPECT_TRUE(info.progressive);
    EXPECT_EQ(info.coefficientBytes, int64_t(2897) * 2897 * 128 * 3);
    const err::Error e = decodeError("progressive-huge.jpg");
    EXPECT_EQ(e.number(), err::OutOfMemory);
    EXPECT_EQ(e.kind(), err::Kind::TooLarge);
    EXPECT_EQ(e.description(), "Out of memory (the picture is 23170 x 23170 pixels)");
    // A picture Qt will read is checked the same way.
    try {
        jpeg::verify(hostile("cmyk-progressive-huge.jpg").get());
        FAIL() << "a CMYK picture needing gigabytes was taken";
    } catch (const err::Error& e) {
        EXPECT_EQ(e.kind(), err::Kind::TooLarge);
    }
}

TEST(JpegDecoder, CutShortIsNoticedAlsoWhenClosedAgain) {
    EXPECT_EQ(decodeError("cut-closed.jpg").kind(), err::Kind::Truncated);
    try {
        jpeg::verify(hostile("cmyk-cut.jpg").get());
        FAIL() << "a CMYK picture cut short passed";
    } catch (const err::Error& e) {
        EXPECT_EQ(e.kind(), err::Kind::Truncated);
    }
    EXPECT_NO_THROW(jpeg::verify(hostile("cmyk.jpg").get()));
    EXPECT_NO_THROW(jpeg::verify(hostile("ycck.jpg").get()));
    EXPECT_EQ(decodeError("cmyk.jpg").kind(), err::Kind::UnsupportedColourSpace);
}

TEST(MemoryBudget, OneDecodeBeyondTheBudgetIsRefusedOthersWait) {
    memlimit::setPictureAllocationLimitMB(10);
    const int64_t mb = 1024 * 1024;
    EXPECT_THROW(memlimit::Reservation(11 * mb, 1, 1), err::Error);
    std::mutex m;
    std::condition_variable cv;
    std::atomic<bool> secondHeld{false};
    auto first = std::make_unique<memlimit::Reservation>(6 * mb, 1, 1);
    std::thread second([&] {
        memlimit::Reservation r(6 * mb, 1, 1); // does not fit beside the first: waits for it
        secondHeld = true;
        cv.notify_all();
    });
    // The second cannot hold its share while the first does; give it every chance to (wrongly) take it.
    for (int i = 0; i < 100 && !secondHeld; ++i)
        std::this_thread::yield();
    EXPECT_FALSE(secondHeld);
    EXPECT_EQ(memlimit::Reservation::held(), 6 * mb);
    first.reset();
    {
        std::unique_lock<std::mutex> lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(60), [&] { return bool(secondHeld); }));
    }
    second.join();
    EXPECT_EQ(memlimit::Reservation::held(), 0);
    memlimit::setPictureAllocationLimitMB(2048);
}

} // namespace
