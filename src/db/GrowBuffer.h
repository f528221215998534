#pragma once
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>

namespace krvs::db {

namespace grow {
// Gives block (of oldBytes, nullptr when 0) newBytes, keeping its first oldBytes; throws
// std::bad_alloc. Small blocks come from the heap; a large one is a mapping of its own that
// grows by moving pages, not bytes: a snapshot's buffer never exists twice, and its pages are
// only touched as they fill.
void* resize(void* block, std::size_t oldBytes, std::size_t newBytes);
// Gives back a block of bytes that resize made.
void release(void* block, std::size_t bytes) noexcept;
} // namespace grow

// A growing array of trivially copyable values on grow::resize (see above).
template <class T> class GrowBuffer {
    static_assert(std::is_trivially_copyable_v<T>);

  public:
    GrowBuffer() = default;
    GrowBuffer(GrowBuffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    GrowBuffer& operator=(GrowBuffer&& other) noexcept {
        GrowBuffer gone(std::move(*this));
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
        return *this;
    }
    GrowBuffer(const GrowBuffer&) = delete;
    GrowBuffer& operator=(const GrowBuffer&) = delete;
    ~GrowBuffer() { grow::release(data_, capacity_ * sizeof(T)); }

    std::size_t size() const { return size_; }
    const T* data() const { return data_; }
    T operator[](std::size_t i) const { return data_[i]; }

    void push_back(T value) {
        if (size_ == capacity_) growFor(1);
        data_[size_++] = value;
    }
    void append(const T* values, std::size_t n) {
        if (n > capacity_ - size_) growFor(n);
        if (n) std::memcpy(data_ + size_, values, n * sizeof(T));
        size_ += n;
    }
    // Empties the buffer and gives its memory back.
    void release() { GrowBuffer gone(std::move(*this)); }

  private:
    void growFor(std::size_t n) {
        constexpr std::size_t most = std::numeric_limits<std::size_t>::max() / sizeof(T) / 2;
        if (n > most - size_) throw std::bad_alloc();
        const std::size_t want = std::max({capacity_ * 2, size_ + n, 1024 / sizeof(T)});
        data_ = static_cast<T*>(
            grow::resize(data_, capacity_ * sizeof(T), std::min(want, most) * sizeof(T)));
        capacity_ = std::min(want, most);
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

} // namespace krvs::db
