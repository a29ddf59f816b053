#pragma once

#include <QString>
#include <vector>

// Files a user or a damaged disk may hand the programs, made in a folder of the test.
namespace hostile {

struct Input {
    QString name; // what it is, for messages
    QString path; // where it was made
};

// Pictures that are not whole or not pictures at all: zero bytes, truncated JPEG/GIF/BMP, headers that
// announce 100000 x 100000 pixels, a folder and a pipe named like pictures.
std::vector<Input> badPictures(const QString& folder);

// A good picture at a path with non-ASCII characters.
QString unicodePicture(const QString& folder);

} // namespace hostile
