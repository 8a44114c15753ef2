// Bytes through the parameter-collection and parameter readers, on both stream versions (the first
// byte chooses). Oracle: anything that reads without error writes, reads and writes again
// byte-identically.
#include <vector>

#include "FuzzSupport.h"
#include "host/ByteStream.h"
#include "host/Exception.h"
#include "params/Parameter.h"
#include "params/ParameterCollection.h"

namespace {

using namespace strand;
using Bytes = std::vector<uint8_t>;

template <typename T>
Bytes written(const T& object, int32_t version) {
    MemoryOutputStream out(version);
    object.serialize(out);
    return out.bytes();
}

template <typename T>
void roundTrip(const Bytes& input, int32_t version) {
    auto first = T::newInstance();
    try {
        MemoryInputStream in(input, version);
        first->deserialize(in);
    } catch (const Exception&) {
        return;
    }
    const Bytes once = written(*first, version);
    auto second = T::newInstance();
    try {
        MemoryInputStream in(once, version);
        second->deserialize(in);
    } catch (const Exception& e) {
        fuzz::finding("a written record does not read back", e.getErrorMessageBlock().toUtf8());
    }
    if (written(*second, version) != once)
        fuzz::finding("write, read, write is not byte-identical", "");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const int32_t version = (data[0] & 1) ? 2 : 1;
    const Bytes input(data + 1, data + size);
    if (data[0] & 2)
        roundTrip<CParameter>(input, version);
    else
        roundTrip<CParameterCollection>(input, version);
    return 0;
}
