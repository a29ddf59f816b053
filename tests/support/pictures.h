#pragma once

#include <QImage>
#include <QList>
#include <QString>

// Test pictures made in the test rather than committed.
namespace testpic {

// A picture whose pixel (x, y) has red = x, green = y, blue = x + y (each modulo 256).
QImage ramp(int width, int height);
QImage filled(int width, int height, QRgb colour);
// A picture of at most 256 colours (so it can be written as GIF too), with light and dark areas in steps.
QImage steps(int width, int height);
// Saves in the format named by the file's ending ("bmp", "gif", "jpg"); returns the path.
QString save(const QImage& image, const QString& path);
// An animated GIF of the frames (at most 256 colours in all), each shown `delay` hundredths of a second,
// looping forever, or, without `loopForever`, saying nothing of loops (it plays once).
QString saveAnimation(const QList<QImage>& frames, int delay, const QString& path, bool loopForever = true);

} // namespace testpic
