#include "engine/text_mapping.h"

namespace mapping {

std::array<QChar, 766> lookupTable(const std::vector<QChar>& sorted)
{
    std::array<QChar, 766> table{};
    const int count = int(sorted.size());
    for (int sum = 0; sum <= 765; ++sum)
        table[sum] = count > 0 ? sorted[position(count, (sum + 1) / 3) - 1] : QChar();
    return table;
}

QString transform(const QImage& buffer, const std::vector<QChar>& sorted, const QString& lineEnd)
{
    if (sorted.empty() || buffer.isNull())
        return {};
    const auto table = lookupTable(sorted);
    const int w = buffer.width(), h = buffer.height();
    QString text(qsizetype(w + lineEnd.size()) * h, Qt::Uninitialized);
    QChar* out = text.data();
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(buffer.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb p = line[x];
            *out++ = table[qRed(p) + qGreen(p) + qBlue(p)];
        }
        for (QChar c : lineEnd)
            *out++ = c;
    }
    return text;
}

} // namespace mapping
