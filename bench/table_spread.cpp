// tessarine_table_spread: a character table whose characters' measured ink is spread evenly, in a font and
// size: where bench/default_table.py starts choosing the converter's default table. Every printable ASCII
// character is measured; for each of N inks evenly spaced from none to the darkest character's, of the
// characters within half a step of it (and not yet taken) the one whose ink is the most even over its cell
// joins the table (the nearest one when none is that near), so that flat greys come out flat. Prints the
// table, lightest first, and each character's ink.
//   tessarine_table_spread N [FONT [SIZE]]   (default "Courier New" 8, the converter's)
#include "core/glyph_measure.h"

#include <QGuiApplication>
#include <cmath>
#include <cstdio>
#include <set>

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: tessarine_table_spread N [FONT [SIZE]]\n");
        return 2;
    }
    const int n = args[1].toInt();
    const QString font = args.size() > 2 ? args[2] : QStringLiteral("Courier New");
    const double size = args.size() > 3 ? args[3].toDouble() : 8;
    QString candidates;
    for (char c = 0x20; c < 0x7F; ++c)
        candidates += QChar(c);
    const glyphs::Measured m = glyphs::measureTable(candidates, font, size);
    const double darkest = m.levels.front();
    // How uneven each glyph's ink is over its cell, on the likeness score's grid of 2 x 2 parts.
    std::vector<double> uneven;
    for (const glyphs::Pattern& p : m.patterns) {
        const glyphs::Pattern r = glyphs::reduce(p, 2, 2);
        double mean = 0, spread = 0;
        for (uint8_t v : r.ink)
            mean += v;
        mean /= r.ink.empty() ? 1 : double(r.ink.size());
        for (uint8_t v : r.ink)
            spread += (v - mean) * (v - mean);
        uneven.push_back(spread);
    }
    std::set<size_t> taken;
    QString table;
    const double step = darkest / (n - 1);
    for (int k = 0; k < n; ++k) {
        const double target = step * k;
        size_t best = m.chars.size();
        for (size_t i = 0; i < m.chars.size(); ++i) {
            if (taken.count(i))
                continue;
            const bool near = std::abs(m.levels[i] - target) <= step / 2;
            const bool bestNear = best < m.chars.size() && std::abs(m.levels[best] - target) <= step / 2;
            if (best == m.chars.size() || (near && (!bestNear || uneven[i] < uneven[best])) ||
                (!near && !bestNear && std::abs(m.levels[i] - target) < std::abs(m.levels[best] - target)))
                best = i;
        }
        taken.insert(best);
        table += QChar(char16_t(m.chars[best]));
        std::fprintf(stderr, "%c %d (target %.1f)\n", char(m.chars[best]), m.levels[best], target);
    }
    std::printf("%s\n", qPrintable(table));
    return 0;
}
