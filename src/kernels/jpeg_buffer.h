#pragma once

#include "kernels/buffer.h"
#include "kernels/pixels.h"

#include <cstdio>
#include <functional>

// A JPEG streamed into the buffer builder: the one way both programs fill a buffer from a JPEG, so that a
// scaled conversion never holds the whole picture.
namespace jpeg {

// Decodes the picture in `file` into its buffer. Once the picture's size is known, `storage` gives room for
// the buffer's drawing area, which is filled with the background where no block lands. With `spareCore`, a
// large picture's rows are averaged on a thread of their own while the next rows decode. Raises what
// decodeInto raises, and the buffer's size errors.
void decodeBuffer(std::FILE* file, const buffer::Factors& factors,
                  const std::function<px::MutableView(px::Size area)>& storage, bool spareCore = false);

} // namespace jpeg
