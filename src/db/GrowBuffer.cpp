#include "db/GrowBuffer.h"

#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace krvs::db::grow {

namespace {
// From this size on a block is a mapping of its own; below it the heap's copying costs
// little, and a small result takes no mapping per column.
constexpr std::size_t kMapFrom = std::size_t{1} << 20;

std::size_t pages(std::size_t bytes) {
    static const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}
} // namespace

void* resize(void* block, std::size_t oldBytes, std::size_t newBytes) {
    if (newBytes < kMapFrom) {
        void* grown = std::realloc(block, newBytes);
        if (!grown) throw std::bad_alloc();
        return grown;
    }
    if (oldBytes >= kMapFrom) {
        void* moved = mremap(block, pages(oldBytes), pages(newBytes), MREMAP_MAYMOVE);
        if (moved == MAP_FAILED) throw std::bad_alloc();
        return moved;
    }
    void* mapped =
        mmap(nullptr, pages(newBytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    if (oldBytes) std::memcpy(mapped, block, oldBytes);
    std::free(block);
    return mapped;
}

void release(void* block, std::size_t bytes) noexcept {
    if (!block) return;
    if (bytes >= kMapFrom)
        munmap(block, pages(bytes));
    else
        std::free(block);
}

} // namespace krvs::db::grow
