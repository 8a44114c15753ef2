#include "host/ByteStream.h"

#include <algorithm>
#include <cstring>

namespace strand {

size_t MemoryInputStream::read(uint8_t* buffer, size_t count) {
    size_t n = std::min(count, remaining());
    if (n)
        std::memcpy(buffer, m_bytes.data() + m_position, n);
    m_position += n;
    return n;
}

}  // namespace strand
