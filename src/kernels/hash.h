#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// FNV-1a in 64 bits: fast, and enough for keys and fingerprints, which only need to change when what they
// cover changes. Not for anything an attacker chooses to collide.
namespace hashing {

class Fnv64 {
  public:
    Fnv64& add(std::string_view bytes) {
        for (unsigned char c : bytes)
            step(c);
        return *this;
    }
    // A text and an end mark, so that "ab" + "c" and "a" + "bc" differ.
    Fnv64& addField(std::string_view text) {
        add(text);
        step(0);
        return *this;
    }
    Fnv64& add(int64_t v) {
        for (int i = 0; i < 8; ++i)
            step(uint8_t(uint64_t(v) >> (8 * i)));
        return *this;
    }
    uint64_t value() const { return h_; }
    // Sixteen hexadecimal digits.
    std::string hex() const {
        char out[17];
        std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(h_));
        return out;
    }

  private:
    void step(uint8_t c) {
        h_ ^= c;
        h_ *= 0x100000001b3ull;
    }
    uint64_t h_ = 0xcbf29ce484222325ull;
};

// The hash of some bytes, as sixteen hexadecimal digits.
inline std::string fnv64Hex(std::string_view bytes) {
    return Fnv64().add(bytes).hex();
}

} // namespace hashing
