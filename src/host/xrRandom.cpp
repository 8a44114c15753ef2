#include "host/xrRandom.h"

namespace strand {

namespace {

constexpr uint64_t rotateLeft(uint64_t x, int k) {
    return (x << k) | (x >> (64 - k));
}

// SplitMix64: spreads a small seed over well-mixed 64-bit words.
uint64_t splitMix64(uint64_t& x) {
    uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

xrRandom::xrRandom(uint32_t seed) {
    Seed(seed);
}

Ptr<xrRandom> xrRandom::newInstance(uint32_t seed) {
    return Ptr<xrRandom>(new xrRandom(seed));
}

void xrRandom::Seed(uint32_t seed) {
    // SplitMix64 never gives four zero words in a row, so the state is never all zero.
    uint64_t x = seed;
    for (uint64_t& word : m_state)
        word = splitMix64(x);
}

uint64_t xrRandom::next64() {
    uint64_t result = rotateLeft(m_state[1] * 5, 7) * 9;
    uint64_t t = m_state[1] << 17;
    m_state[2] ^= m_state[0];
    m_state[3] ^= m_state[1];
    m_state[1] ^= m_state[2];
    m_state[0] ^= m_state[3];
    m_state[2] ^= t;
    m_state[3] = rotateLeft(m_state[3], 45);
    return result;
}

uint32_t xrRandom::Next() {
    return uint32_t(next64() >> 32);
}

uint32_t xrRandom::GetRandom(uint32_t bound) {
    if (bound == 0)
        return Next();
    // The high half of value * bound is uniform once the low halves below 2^32 mod bound, the
    // values that would land one time too many, are drawn again.
    uint64_t product = uint64_t(Next()) * bound;
    if (uint32_t(product) < bound) {
        uint32_t threshold = uint32_t(-bound) % bound;
        while (uint32_t(product) < threshold)
            product = uint64_t(Next()) * bound;
    }
    return uint32_t(product >> 32);
}

double xrRandom::GetRandomDouble() {
    return double(next64() >> 11) * 0x1.0p-53;
}

}  // namespace strand
