#pragma once

// The most memory, in megabytes, that decoding one picture may take: 2048 by default, room for 500
// megapixels. Fuzzing lowers it.
namespace memlimit {

int pictureAllocationLimitMB();
void setPictureAllocationLimitMB(int megabytes);

} // namespace memlimit
