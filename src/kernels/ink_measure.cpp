#include "kernels/ink_measure.h"

#include "kernels/rounding.h"

#include <algorithm>
#include <numeric>

namespace glyphs {

void extendInkBox(InkBox& box, px::View overlay, int x) {
    for (int y = 0; y < overlay.height; ++y) {
        if (!passesExtent(overlay.row(y)[x]))
            continue;
        if (box.minX == -1)
            box.minX = x;
        if (box.minY == -1 || box.minY > y)
            box.minY = y;
        box.maxX = std::max(box.maxX, x);
        box.maxY = std::max(box.maxY, y);
    }
}

InkBox findInkBox(px::View overlay) {
    InkBox box;
    for (int x = 0; x < overlay.width; ++x)
        extendInkBox(box, overlay, x);
    return box;
}

int32_t countInk(px::View glyph, const InkBox& box) {
    const int x0 = std::max(0, box.minX), x1 = std::min(glyph.width - 1, box.maxX);
    const int y0 = std::max(0, box.minY), y1 = std::min(glyph.height - 1, box.maxY);
    int32_t count = 0;
    for (int y = y0; y <= y1; ++y) {
        const px::Pixel* line = glyph.row(y);
        for (int x = x0; x <= x1; ++x)
            count += passesInk(line[x]) ? 1 : 0;
    }
    return count;
}

std::vector<size_t> darkestFirstOrder(const std::vector<int32_t>& levels) {
    // A stable sort on descending counts orders exactly as exchanging strictly lighter neighbours would.
    std::vector<size_t> order(levels.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return levels[a] > levels[b]; });
    return order;
}

void sortDarkestFirst(std::vector<char32_t>& chars, std::vector<int32_t>& levels) {
    const std::vector<size_t> order = darkestFirstOrder(levels);
    std::vector<char32_t> c(order.size());
    std::vector<int32_t> l(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        c[i] = chars[order[i]];
        l[i] = levels[order[i]];
    }
    chars.swap(c);
    levels.swap(l);
}

int surfaceSide(double points) {
    return std::max(0, int(rounding::halfEven(points * 30 / 15)));
}

} // namespace glyphs
