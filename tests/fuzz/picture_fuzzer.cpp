// Decodes and converts a picture file; the first two bytes choose the factors. Both ways of filling the
// buffer (streamed while decoding, or from the whole picture) must give the same text.
#include "core/conversion.h"
#include "core/errors.h"
#include "kernels/memory_limit.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    static const QString path = [] {
        memlimit::setPictureAllocationLimitMB(64); // keep the fuzzer's pictures small
        return dir.filePath("picture");
    }();
    if (size < 2)
        return 0;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return 0;
    f.write(reinterpret_cast<const char*>(data) + 2, qint64(size - 2));
    f.close();
    conversion::Factors factors;
    factors.h = 1 + data[0] % 9;
    factors.v = 1 + data[1] % 9;
    factors.scaled = true;
    const std::vector<char32_t> table = {U'#', U'+', U'.', U' '};
    QString streamed, whole;
    bool streamedOk = true, wholeOk = true;
    try {
        streamed = conversion::convertFile(path, factors, table, "\n", true);
    } catch (const err::Error&) {
        streamedOk = false;
    }
    try {
        whole = conversion::convertFile(path, factors, table, "\n", false);
    } catch (const err::Error&) {
        wholeOk = false;
    }
    if (streamedOk != wholeOk || streamed != whole)
        std::abort();
    return 0;
}
