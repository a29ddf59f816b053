// Kernel throughput on photo-sized inputs: run `build/bench/tessarine_bench`.
#include "core/conversion.h"
#include "core/glyph_measure.h"
#include "core/pixel_views.h"
#include "kernels/block_average.h"
#include "kernels/buffer.h"
#include "kernels/character_choice.h"

#include <QGuiApplication>

#include <QImage>
#include <benchmark/benchmark.h>
#include <random>

namespace {

// An 18-megapixel picture (5640 x 3172, the size of a large camera photo) with varied content.
const QImage& photo() {
    static const QImage img = [] {
        QImage i(5640, 3172, QImage::Format_RGB32);
        std::mt19937 rng(7);
        for (int y = 0; y < i.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(i.scanLine(y));
            for (int x = 0; x < i.width(); ++x)
                line[x] = qRgb((x + y) & 0xFF, (x * 3) & 0xFF, rng() & 0xFF);
        }
        return i;
    }();
    return img;
}

void BM_BlockAverage(benchmark::State& state) {
    const QImage& src = photo();
    const int h = int(state.range(0)), v = int(state.range(1));
    QImage buffer((src.width() + 4) / h - 4, (src.height() + 4) / v - 4, QImage::Format_RGB32);
    for (auto _ : state) {
        averageBlocks(pixelView(src), h, v, mutablePixelView(buffer));
        benchmark::DoNotOptimize(buffer.constBits());
    }
    const double pixels = double(src.width()) * src.height();
    state.counters["MP/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_BlockAverage)->Args({8, 16})->Args({2, 2})->Args({1, 3})->Unit(benchmark::kMillisecond);

// Measuring a full table of 256 characters at the largest size a run allows.
void BM_MeasureTable256At99(benchmark::State& state) {
    QString table;
    for (int i = 0; i < 256; ++i)
        table += QChar(0x20 + i % 95 + (i >= 190 ? 0xA0 - 0x20 : 0));
    for (auto _ : state) {
        auto m = glyphs::measureTable(table, "Courier New", 99);
        benchmark::DoNotOptimize(m.levels.data());
    }
}
BENCHMARK(BM_MeasureTable256At99)->Unit(benchmark::kMillisecond);

// Mapping an unscaled 18-megapixel buffer to text.
void BM_Transform18MP(benchmark::State& state) {
    const std::u32string table = U"@%#*+=-:. ";
    const std::vector<char32_t> sorted(table.begin(), table.end());
    for (auto _ : state) {
        QString text = conversion::transform(photo(), sorted);
        benchmark::DoNotOptimize(text.constData());
    }
    const double pixels = double(photo().width()) * photo().height();
    state.counters["MP/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Transform18MP)->Unit(benchmark::kMillisecond);

// The mapping step of a conversion at 120 columns, from the decoded 18-megapixel picture's rows to the
// characters: by position, the blocks averaged and looked up; by shape (the converter's default), its parts
// averaged in the one pass, the blocks and greys made from them, and every block's glyph matched.
void BM_MappingStep(benchmark::State& state) {
    const bool shape = state.range(0) != 0;
    static const glyphs::Measured measured = [] {
        QString ascii;
        for (char16_t c = 0x20; c < 0x7F; ++c)
            ascii += QChar(c);
        return glyphs::measureTable(ascii, "DejaVu Sans Mono", 10);
    }();
    const choice::Table table{measured.chars, measured.levels, measured.patterns};
    const px::View in = pixelView(photo());
    buffer::Factors grid;
    grid.columns = 120;
    grid.rows = 34;
    const auto average = [&](const buffer::Factors& f) {
        buffer::Builder builder(f);
        const px::Size area = builder.start(in.width, in.height);
        px::Image out(area.width, area.height);
        builder.attach(out.view());
        for (int y = 0; y < in.height; ++y)
            builder.addRow(y, in.row(y));
        return out;
    };
    choice::Options options;
    options.mapping = shape ? choice::Mapping::Shape : choice::Mapping::Position;
    for (auto _ : state) {
        std::vector<uint16_t> chosen;
        if (shape) {
            const auto [across, down] = choice::subGrid(double(in.width) / 120, double(in.height) / 34, 2);
            buffer::Factors parts = buffer::partsOf(in.width, in.height, grid, across, down);
            parts.grey = false;
            const px::Image fine = average(parts);
            const px::Image blocks = buffer::coarsen(fine.view(), across, down);
            const px::Image greys = buffer::greyStorage(fine.view());
            chosen = choice::choose(blocks.view(), {px::greyView(greys.view(), 120 * across), across, down},
                                    table, options);
        } else {
            const px::Image blocks = average(grid);
            chosen = choice::choose(blocks.view(), {}, table, options);
        }
        benchmark::DoNotOptimize(chosen.data());
    }
}
BENCHMARK(BM_MappingStep)->Arg(0)->Arg(1)->ArgNames({"shape"})->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts need a GUI application
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
