#pragma once
// 64-bit FNV-1a over bytes: the fingerprint of an image that the determinism check
// compares between builds.
#include <cstdint>
#include <vector>

namespace mivex::ostrela {

inline std::uint64_t HashBytes(const std::uint8_t* data, std::size_t size) {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (std::size_t i = 0; i < size; ++i) {
    h ^= data[i];
    h *= 0x100000001b3ULL;
  }
  return h;
}

inline std::uint64_t HashBytes(const std::vector<std::uint8_t>& data) { return HashBytes(data.data(), data.size()); }

}  // namespace mivex::ostrela
