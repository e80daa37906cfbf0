#include "tests/reliability/failing_new.h"

#include <cstdlib>
#include <new>

#include "host/plugin_code.h"

namespace swrel {

namespace {

std::uint64_t gFailAt = 0;
std::uint64_t gCounted = 0;
bool gFailed = false;

// Counts an allocation of the plug-in's code; true when it is the one to fail.
bool shouldFail() {
  if (!swhost::pluginCodeRunning()) return false;
  ++gCounted;
  if (gFailAt == 0 || gCounted != gFailAt) return false;
  gFailed = true;
  return true;
}

void* allocate(std::size_t size) noexcept {
  if (shouldFail()) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

void* allocateAligned(std::size_t size, std::align_val_t alignment) noexcept {
  if (shouldFail()) return nullptr;
  const auto align = static_cast<std::size_t>(alignment);
  // aligned_alloc wants a size that is a multiple of the alignment.
  const std::size_t rounded = (size == 0 ? align : (size + align - 1) / align * align);
  return std::aligned_alloc(align, rounded);
}

void* allocateOrThrow(std::size_t size) {
  void* memory = allocate(size);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

void* allocateAlignedOrThrow(std::size_t size, std::align_val_t alignment) {
  void* memory = allocateAligned(size, alignment);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

}  // namespace

void failPluginAllocation(std::uint64_t nth) {
  gFailAt = nth;
  gCounted = 0;
  gFailed = false;
}

std::uint64_t pluginAllocations() { return gCounted; }

bool pluginAllocationFailed() { return gFailed; }

}  // namespace swrel

// --- The replaced global forms ----------------------------------------------

void* operator new(std::size_t size) { return swrel::allocateOrThrow(size); }
void* operator new[](std::size_t size) { return swrel::allocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return swrel::allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return swrel::allocate(size); }
void* operator new(std::size_t size, std::align_val_t alignment) {
  return swrel::allocateAlignedOrThrow(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return swrel::allocateAlignedOrThrow(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return swrel::allocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return swrel::allocateAligned(size, alignment);
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept { std::free(memory); }
