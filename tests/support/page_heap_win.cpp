// Linked into a test build of the program only: every operator new gets pages
// of its own, and delete makes them inaccessible for good, so that the first
// read or write of a deleted object faults instead of passing unnoticed.
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

constexpr size_t PAGE = 4096;
constexpr size_t HEADER = 16;  // the block's page count; keeps the object 16-byte aligned
constexpr size_t ARENA = size_t{512} << 20;  // address space taken once, never given back

std::atomic<char*> arena{nullptr};
std::atomic<size_t> used{0};

char* arenaBase() {
  char* base = arena.load();
  if (base) return base;
  char* fresh = static_cast<char*>(VirtualAlloc(nullptr, ARENA, MEM_RESERVE, PAGE_NOACCESS));
  if (fresh && !arena.compare_exchange_strong(base, fresh)) VirtualFree(fresh, 0, MEM_RELEASE);
  return arena.load();
}

bool inArena(void* p) {
  char* base = arena.load();
  return base && static_cast<char*>(p) >= base && static_cast<char*>(p) < base + ARENA;
}

void* allocate(size_t size) noexcept {
  const size_t pages = (size + HEADER + PAGE - 1) / PAGE;
  char* base = arenaBase();
  const size_t at = base ? used.fetch_add(pages * PAGE) : ARENA;
  if (at + pages * PAGE > ARENA || !VirtualAlloc(base + at, pages * PAGE, MEM_COMMIT, PAGE_READWRITE))
    return std::malloc(size ? size : 1);  // the arena is used up: no guard for the rest
  *reinterpret_cast<size_t*>(base + at) = pages;
  return base + at + HEADER;
}

void release(void* p) noexcept {
  if (!p) return;
  if (!inArena(p)) {
    std::free(p);
    return;
  }
  char* block = static_cast<char*>(p) - HEADER;
  VirtualFree(block, *reinterpret_cast<size_t*>(block) * PAGE, MEM_DECOMMIT);
}

void* allocateOrThrow(size_t size) {
  if (void* p = allocate(size)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(size_t size) { return allocateOrThrow(size); }
void* operator new[](size_t size) { return allocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, size_t) noexcept { release(p); }
void operator delete[](void* p, size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
