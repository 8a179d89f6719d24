#pragma once
// Storage of image-sized planes, kept between extractions. An extraction builds a
// dozen planes of the image's size and frees them all at its end; the C library's heap
// then hands those pages back to the system (glibc trims the top of its heap, the
// Windows heap decommits large free blocks), and the next extraction takes a page fault
// on every page it writes again: on a virtual machine that is more than the filtering
// itself. Blocks of the sizes last used are kept instead, up to a bound, and handed out
// again to the next plane of the same size.
#include <cstddef>

namespace mivex::vandrel {

// Room for `bytes`, recycled when a block of exactly that size is kept; throws
// std::bad_alloc as operator new does.
void* TakePlaneMemory(std::size_t bytes);
// Returns a block from TakePlaneMemory of the same size: kept for reuse, or freed.
void GivePlaneMemory(void* block, std::size_t bytes) noexcept;

template <typename T>
struct PlaneAllocator {
  using value_type = T;
  PlaneAllocator() = default;
  template <typename U>
  PlaneAllocator(const PlaneAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) { return static_cast<T*>(TakePlaneMemory(n * sizeof(T))); }
  void deallocate(T* p, std::size_t n) noexcept { GivePlaneMemory(p, n * sizeof(T)); }
  friend bool operator==(PlaneAllocator, PlaneAllocator) { return true; }
};

}  // namespace mivex::vandrel
