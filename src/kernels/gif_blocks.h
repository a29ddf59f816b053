#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A GIF's block structure, walked as its bytes come: the header, the colour tables, and each block's
// introducer and sub-blocks up to the trailer. Nothing is decoded and nothing is kept but a few bytes, so
// a file or a stream that only starts like a GIF is told from one at its first wrong byte, however long
// it goes on, and one that ends before its trailer is told too.
namespace gif {

class BlockWalker {
  public:
    enum class Verdict {
        More,    // whole so far: the next bytes decide
        Whole,   // the trailer came; bytes after it are no part of the picture
        Invalid, // a byte that no GIF has there
    };

    // Walks the next bytes of the stream; after Whole or Invalid, further bytes change nothing.
    Verdict feed(std::string_view bytes);
    Verdict verdict() const { return verdict_; }
    // Bytes of the stream that belong to the picture so far (all of it once Whole).
    int64_t consumed() const { return consumed_; }

  private:
    enum class State { Header, Block, Label, SubBlockSize, Descriptor, CodeSize };
    void take(unsigned char byte);
    void expect(State state, size_t bytes);

    State state_ = State::Header;
    size_t need_ = 13; // the header and the logical screen descriptor
    std::string field_;
    int64_t skip_ = 0; // bytes to pass over: a colour table, a sub-block's data
    int64_t consumed_ = 0;
    Verdict verdict_ = Verdict::More;
};

// True when the bytes start as a GIF does ("GIF8").
bool looksLikeGif(std::string_view head);

} // namespace gif
