#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>

namespace mixora {

/// A fixed-size float buffer that starts as zeros without touching its memory: large buffers come
/// from the system as untouched zero pages, so an effect line sized for its longest setting costs
/// resident memory only for the part that is really used.
class ZeroedBuffer {
public:
    explicit ZeroedBuffer(size_t size)
        : data_(static_cast<float*>(std::calloc(size ? size : 1, sizeof(float)))), size_(size) {
        if (!data_) throw std::bad_alloc();
    }

    float& operator[](size_t i) noexcept { return data_.get()[i]; }
    const float& operator[](size_t i) const noexcept { return data_.get()[i]; }
    float* begin() noexcept { return data_.get(); }
    float* end() noexcept { return data_.get() + size_; }
    size_t size() const noexcept { return size_; }

private:
    struct Free {
        void operator()(float* p) const noexcept { std::free(p); }
    };
    std::unique_ptr<float, Free> data_;
    size_t size_;
};

}  // namespace mixora
