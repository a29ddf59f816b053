#pragma once

#include "kernels/buffer.h"
#include "kernels/pixels.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

// A JPEG streamed into the buffer builder: the one way both programs fill a buffer from a JPEG, so that a
// scaled conversion never holds the whole picture.
namespace jpeg {

// Decodes the picture in `file` into its buffer. Once the picture's size is known, `storage` gives room for
// the buffer's drawing area, filled with the background (buffer::kBackground), which stays where no block
// lands. With `spareCore`, a
// large picture's rows are averaged on a thread of their own while the next rows decode. Raises what
// decodeInto raises, and the buffer's size errors.
void decodeBuffer(std::FILE* file, const buffer::Factors& factors,
                  const std::function<px::MutableView(px::Size area)>& storage, bool spareCore = false,
                  bool storageReserved = false, px::Size finest = {}, bool refuseDamage = false);

// Buffers of several sizings from one decode (the text's blocks, and their parts for the shape mapping or
// the likeness score), each filled as decodeBuffer fills one. With `storageReserved`, the caller has
// already held the buffers' memory from the budget, and only the decoder's own is reserved here. With a
// `finest` grid (the finest of the targets' grids), the picture is decoded no finer than it needs
// (jpeg::decodeInto) and the grids are averaged over the picture so decoded; factors that are not a grid
// need every pixel and must not be given one. `refuseDamage`: as decodeInto takes it.
void decodeBuffers(std::FILE* file, const std::vector<buffer::Target>& targets, bool spareCore = false,
                   bool storageReserved = false, px::Size finest = {}, bool refuseDamage = false);

} // namespace jpeg
