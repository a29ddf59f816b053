#include "kernels/gif_blocks.h"

#include <algorithm>

namespace gif {

namespace {

// A colour table's bytes, from the flags byte that announces it.
int64_t tableBytes(unsigned char flags) {
    return (flags & 0x80) ? 3 * (int64_t(2) << (flags & 7)) : 0;
}

} // namespace

bool looksLikeGif(std::string_view head) {
    return head.substr(0, 4) == "GIF8";
}

void BlockWalker::expect(State state, size_t bytes) {
    state_ = state;
    need_ = bytes;
    field_.clear();
}

BlockWalker::Verdict BlockWalker::feed(std::string_view bytes) {
    size_t at = 0;
    while (at < bytes.size() && verdict_ == Verdict::More) {
        if (skip_ > 0) {
            const int64_t passed = std::min<int64_t>(skip_, int64_t(bytes.size() - at));
            skip_ -= passed;
            at += size_t(passed);
            consumed_ += passed;
            continue;
        }
        field_.push_back(bytes[at++]);
        ++consumed_;
        if (field_.size() == need_)
            take(static_cast<unsigned char>(field_.back()));
    }
    return verdict_;
}

// A whole field has come; `last` is its last byte.
void BlockWalker::take(unsigned char last) {
    switch (state_) {
    case State::Header:
        if (!looksLikeGif(field_) || (field_[4] != '7' && field_[4] != '9') || field_[5] != 'a') {
            verdict_ = Verdict::Invalid;
            return;
        }
        skip_ = tableBytes(static_cast<unsigned char>(field_[10]));
        expect(State::Block, 1);
        return;
    case State::Block:
        if (last == 0x3B)
            verdict_ = Verdict::Whole;
        else if (last == 0x21)
            expect(State::Label, 1);
        else if (last == 0x2C)
            expect(State::Descriptor, 9); // place, size and flags
        else
            verdict_ = Verdict::Invalid;
        return;
    case State::Label:
    case State::CodeSize:
        expect(State::SubBlockSize, 1);
        return;
    case State::SubBlockSize:
        skip_ = last;
        expect(last == 0 ? State::Block : State::SubBlockSize, 1);
        return;
    case State::Descriptor:
        skip_ = tableBytes(last);
        expect(State::CodeSize, 1);
        return;
    }
}

} // namespace gif
