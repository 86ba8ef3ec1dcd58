// Values drawn from a fuzz input, front to back; past its end every value is 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace roses {

struct fuzz_input {
    const std::uint8_t* data;
    std::size_t size;

    bool done() const { return size == 0; }
    std::uint32_t take(std::size_t bytes) {
        std::uint32_t value = 0;
        for (std::size_t k = 0; k < bytes; ++k) {
            value = value << 8 | (size > 0 ? *data : 0u);
            if (size > 0) {
                ++data;
                --size;
            }
        }
        return value;
    }
    float take_float() {
        const std::uint32_t bits = take(4);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
};

} // namespace roses
