#pragma once

#include <QImage>
#include <QString>

// Decodes a picture file (BMP, GIF, JPEG) into an RGB32 image. Raises 53 (file missing, or an empty
// name), 76 (folder missing), 75 (a folder or an unreadable file), 481 (not a picture of a readable
// kind) and 7 (too large for memory).
QImage loadPictureFile(const QString& path);

// The largest picture, in megabytes of decoded pixels, the loader accepts: 2048 by default, room for
// 500 megapixels. Fuzzing lowers it.
int pictureAllocationLimitMB();
void setPictureAllocationLimitMB(int megabytes);
