#include "engine/text_mapping.h"

namespace mapping {

std::array<QChar, 766> lookupTable(const std::vector<QChar>& sorted) {
    std::array<QChar, 766> table{};
    const int count = int(sorted.size());
    for (int sum = 0; sum <= 765; ++sum)
        table[sum] = count > 0 ? sorted[position(count, (sum + 1) / 3) - 1] : QChar();
    return table;
}

void appendRow(QString& text, const QRgb* row, int width, const std::array<QChar, 766>& lut,
               const QString& lineEnd) {
    const qsizetype start = text.size();
    text.resize(start + width);
    QChar* out = text.data() + start;
    for (int x = 0; x < width; ++x) {
        const QRgb p = row[x];
        out[x] = lut[qRed(p) + qGreen(p) + qBlue(p)];
    }
    text.append(lineEnd);
}

QString transform(const QImage& buffer, const std::vector<QChar>& sorted, const QString& lineEnd) {
    if (sorted.empty() || buffer.isNull())
        return {};
    const auto lut = lookupTable(sorted);
    QString text;
    text.reserve(qsizetype(buffer.width() + lineEnd.size()) * buffer.height());
    for (int y = 0; y < buffer.height(); ++y)
        appendRow(text, reinterpret_cast<const QRgb*>(buffer.constScanLine(y)), buffer.width(), lut, lineEnd);
    return text;
}

} // namespace mapping
