#pragma once

#include <cstdint>
#include <string>

// The most memory, in megabytes, that decoding pictures may take at once: 2048 by default, room for 500
// megapixels. It is one budget for the whole process, so a batch decoding on every core stays within it
// too. Fuzzing lowers it.
namespace memlimit {

int pictureAllocationLimitMB();
void setPictureAllocationLimitMB(int megabytes);

// Memory one decode will allocate, held from the budget for as long as the reservation lives. Raises
// OutOfMemory (7, kind TooLarge) naming the picture's size when the decode alone needs more than the
// budget; waits while other decodes hold so much that this one would not fit beside them.
class Reservation {
  public:
    Reservation(int64_t bytes, int width, int height);
    // The same, naming what is too large in `what` ("the text is 80 x 24 characters").
    Reservation(int64_t bytes, const std::string& what);
    ~Reservation();
    Reservation(const Reservation&) = delete;
    Reservation& operator=(const Reservation&) = delete;

    // Bytes all reservations hold now.
    static int64_t held();

  private:
    int64_t bytes_;
};

} // namespace memlimit
