// Replaces every form of the global operator new and delete for the whole test binary, which links
// the library's objects itself: a replacement in an executable does not reach into a Windows DLL.
#include "allocation/FailingAllocator.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace korflowid::test {
namespace {

std::atomic<bool> armed{false};
std::atomic<std::size_t> counted{0};
std::atomic<std::size_t> failAt{0};
std::atomic<bool> failed{false};

/// True when this allocation is the one to fail.
bool countAndDecide() {
  if (!armed.load(std::memory_order_relaxed)) return false;
  const std::size_t n = counted.fetch_add(1, std::memory_order_relaxed) + 1;
  if (n != failAt.load(std::memory_order_relaxed)) return false;
  failed.store(true, std::memory_order_relaxed);
  return true;
}

void* allocate(std::size_t size) noexcept {
  if (countAndDecide()) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

// Aligned forms by hand: the C runtimes disagree on aligned allocation (MinGW has no aligned_alloc).
// The block returned is preceded by the pointer malloc gave.
void* allocateAligned(std::size_t size, std::align_val_t alignment) noexcept {
  if (countAndDecide()) return nullptr;
  const auto align = static_cast<std::size_t>(alignment);
  void* raw = std::malloc(size + align + sizeof(void*));
  if (raw == nullptr) return nullptr;
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
  void* aligned = reinterpret_cast<void*>((start + align - 1) / align * align);
  static_cast<void**>(aligned)[-1] = raw;
  return aligned;
}

void releaseAligned(void* block) noexcept {
  if (block != nullptr) std::free(static_cast<void**>(block)[-1]);
}

void* allocateOrThrow(std::size_t size) {
  void* block = allocate(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* allocateAlignedOrThrow(std::size_t size, std::align_val_t alignment) {
  void* block = allocateAligned(size, alignment);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace

void armAllocationFailure(std::size_t n) {
  counted.store(0, std::memory_order_relaxed);
  failed.store(false, std::memory_order_relaxed);
  failAt.store(n, std::memory_order_relaxed);
  armed.store(true, std::memory_order_seq_cst);
}

std::size_t disarmAllocationFailure() {
  armed.store(false, std::memory_order_seq_cst);
  return counted.load(std::memory_order_relaxed);
}

bool allocationFailed() {
  return failed.load(std::memory_order_relaxed);
}

}  // namespace korflowid::test

using korflowid::test::allocate;
using korflowid::test::allocateAligned;
using korflowid::test::allocateAlignedOrThrow;
using korflowid::test::allocateOrThrow;
using korflowid::test::releaseAligned;

void* operator new(std::size_t size) {
  return allocateOrThrow(size);
}
void* operator new[](std::size_t size) {
  return allocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}
void* operator new(std::size_t size, std::align_val_t a) {
  return allocateAlignedOrThrow(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a) {
  return allocateAlignedOrThrow(size, a);
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return allocateAligned(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return allocateAligned(size, a);
}

void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
  releaseAligned(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
  releaseAligned(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
  releaseAligned(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
  releaseAligned(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  releaseAligned(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  releaseAligned(block);
}
