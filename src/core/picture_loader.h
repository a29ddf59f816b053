#pragma once

#include <QImage>
#include <QString>

// Decodes a picture file (JPEG through the kernels; BMP, GIF, PNG and whatever else the installed image
// readers read through Qt's readers) into an RGB32 image.
// Raises 53 (file missing, or an empty name), 76 (folder missing), 75 (a folder or an unreadable file),
// 481 (not a picture of a readable kind) and 7 (too large for memory).
QImage loadPictureFile(const QString& path);

// Checks that a BMP or GIF file is whole (every pixel row there, every block up to the trailer) without
// decoding it, and refuses it as loadPictureFile would; other files pass. Qt's readers would return the
// part of a cut picture without a word, and scan a GIF's every byte to tell its size.
void checkPictureFile(const QString& path);

// Decodes a JPEG file through the kernels (no fallback for colour spaces they cannot convert).
QImage decodeJpeg(const QString& path);

// True when the name is a regular file that starts as a BMP, GIF or JPEG picture does, or that an
// installed image reader recognises by its content: how a file named on the command line or dropped on a
// window is told from a table or any other file.
bool looksLikePicture(const QString& path);
