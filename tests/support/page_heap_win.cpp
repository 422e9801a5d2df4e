// Linked into a test build of the program only: every operator new gets pages
// of its own, and delete decommits them for good (the address range stays
// reserved), so that the first use of a deleted object faults instead of
// passing unnoticed.
#include <windows.h>

#include <cstdlib>
#include <new>

namespace {

constexpr size_t HEADER = 16;  // the block's size, 0 for a heap block; keeps the object 16-byte aligned

void* allocate(size_t size) noexcept {
  char* block = static_cast<char*>(VirtualAlloc(nullptr, size + HEADER, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  const bool paged = block != nullptr;
  if (!paged && !(block = static_cast<char*>(std::malloc(size + HEADER)))) return nullptr;  // address space used up
  *reinterpret_cast<size_t*>(block) = paged ? size + HEADER : 0;
  return block + HEADER;
}

void release(void* p) noexcept {
  if (!p) return;
  char* block = static_cast<char*>(p) - HEADER;
  if (const size_t size = *reinterpret_cast<size_t*>(block))
    VirtualFree(block, size, MEM_DECOMMIT);
  else
    std::free(block);
}

}  // namespace

void* operator new(size_t size) { void* p = allocate(size); return p ? p : throw std::bad_alloc(); }
void* operator new[](size_t size) { void* p = allocate(size); return p ? p : throw std::bad_alloc(); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, size_t) noexcept { release(p); }
void operator delete[](void* p, size_t) noexcept { release(p); }
