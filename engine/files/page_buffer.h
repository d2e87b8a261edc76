#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>

namespace partwright {

// Bytes the kernel copies a file in: a read or write runs fastest when the
// buffer's address and the file offset agree modulo this.
inline constexpr std::size_t kPageBytes = 4096;

// Uninitialised room for `count` Ts that starts on a page boundary.
//
// Some processors (AMD's Zen, for one) copy at a third of their speed or less
// with `rep movsb`, which glibc's memcpy and the kernel's reads use for large
// copies, when the destination lies a few bytes past the source modulo a
// page (bench/page_offset_bench and bench/RESULTS.md measure it).
// Buffers that start on a page let the reader keep their offsets in step with
// the file's (and with each other's) whatever the allocator hands out.
template <class T>
class PageBuffer {
    static_assert(std::is_trivially_default_constructible_v<T> && std::is_trivially_destructible_v<T>);

public:
    PageBuffer() = default;
    explicit PageBuffer(std::size_t count)
        : data_(static_cast<T*>(::operator new (count * sizeof(T), std::align_val_t{kPageBytes}))), size_(count) {}

    [[nodiscard]] T* data() { return data_.get(); }
    [[nodiscard]] const T* data() const { return data_.get(); }
    [[nodiscard]] std::size_t size() const { return size_; }
    T& operator[](std::size_t index) { return data_[index]; }

private:
    struct Free {
        void operator()(T* p) const { ::operator delete (p, std::align_val_t{kPageBytes}); }
    };
    std::unique_ptr<T[], Free> data_;
    std::size_t size_ = 0;
};

}  // namespace partwright
