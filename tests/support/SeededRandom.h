// splitmix64: a small, fast generator that gives the same numbers on every platform, so that a
// mutation test's failing variant is replayed by its seed and number.
#pragma once
#include <cstddef>
#include <cstdint>

class SeededRandom {
public:
    explicit SeededRandom(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    size_t Below(size_t bound) { return static_cast<size_t>(Next() % bound); }

private:
    uint64_t state_;
};
