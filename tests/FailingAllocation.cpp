#include "FailingAllocation.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <thread>

namespace {

std::atomic<int64_t> Countdown{0}; // 0: unarmed
std::atomic<bool> Failed{false};
std::atomic<bool> OtherThreads{false};
std::atomic<std::size_t> MinBytes{0};
std::thread::id Armer;

bool ShouldFail(std::size_t size) {
    if (Countdown.load(std::memory_order_relaxed) <= 0) return false;
    if (size < MinBytes.load(std::memory_order_relaxed)) return false;
    if (OtherThreads.load(std::memory_order_relaxed) && std::this_thread::get_id() == Armer)
        return false;
    if (Countdown.fetch_sub(1) != 1) return false;
    Failed = true;
    return true;
}

void* Allocate(std::size_t size, std::size_t align) {
    if (ShouldFail(size)) return nullptr;
    if (size == 0) size = 1;
    void* p = align > alignof(std::max_align_t)
                  ? std::aligned_alloc(align, (size + align - 1) / align * align)
                  : std::malloc(size);
    return p;
}

} // namespace

void FailAllocation(int64_t nth, bool otherThreads, std::size_t minBytes) {
    Armer = std::this_thread::get_id();
    MinBytes = minBytes;
    OtherThreads = otherThreads;
    Failed = false;
    Countdown = nth;
}

bool StopFailingAllocations() {
    Countdown = 0;
    return Failed.load();
}

void* operator new(std::size_t size) {
    if (void* p = Allocate(size, 0)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, std::align_val_t align) {
    if (void* p = Allocate(size, static_cast<std::size_t>(align))) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t align) {
    return operator new(size, align);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size, 0);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size, 0);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
