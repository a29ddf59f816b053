// Decodes a JPEG as the converter does at its own sizes: no finer than a grid (the first two bytes choose
// it), a progressive file from its DC scans alone, and damaged data refused. Whatever the bytes, it ends
// with a picture or the program's error, never a crash or a read outside the file.
#include "kernels/errors.h"
#include "kernels/jpeg_buffer.h"
#include "kernels/memory_limit.h"

#include <cstdint>
#include <cstdio>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool limited = [] {
        memlimit::setPictureAllocationLimitMB(64); // keep the fuzzer's pictures small
        return true;
    }();
    (void)limited;
    if (size < 2)
        return 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), &std::fclose);
    if (!file)
        return 0;
    std::fwrite(data + 2, 1, size - 2, file.get());
    std::rewind(file.get());
    buffer::Factors grid;
    grid.columns = 1 + data[0] % 64;
    grid.rows = 1 + data[1] % 64;
    px::Image out;
    try {
        jpeg::decodeBuffers(file.get(),
                            {{grid,
                              [&](px::Size area) {
                                  out = px::Image(area.width, area.height);
                                  return out.view();
                              }}},
                            false, false, px::Size{grid.columns, grid.rows}, true);
    } catch (const err::Error&) {
    }
    return 0;
}
