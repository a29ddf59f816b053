#pragma once

#include <QImage>
#include <QString>
#include <array>
#include <vector>

// Turning the buffer into text: a pixel's brightness, the mean of its three channels (0 to 255),
// picks a position in the table sorted darkest first, linearly, so black takes the first character and
// white the last. One line a buffer row; every line, the last too, ends with the line end.
namespace mapping {

// (R + G + B) / 3 to the nearest whole number (a third never ends in exactly one half).
inline int brightness(QRgb p) {
    return (qRed(p) + qGreen(p) + qBlue(p) + 1) / 3;
}

// The 1-based table position of a brightness: ((count - 1) x b) / 255 + 1, to the nearest whole number.
inline int position(int count, int b) {
    return (2 * (count - 1) * b + 255) / 510 + 1;
}

// The character for every channel sum 0 to 765, built once per run.
std::array<QChar, 766> lookupTable(const std::vector<QChar>& sorted);

// Appends one row of pixels as text, then the line end.
void appendRow(QString& text, const QRgb* row, int width, const std::array<QChar, 766>& lut,
               const QString& lineEnd);

// The text for a buffer's drawing area. The table must not be empty.
QString transform(const QImage& buffer, const std::vector<QChar>& sorted,
                  const QString& lineEnd = QStringLiteral("\r\n"));

} // namespace mapping
