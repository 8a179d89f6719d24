#pragma once
// The minutia pairs of two templates whose cylinders are alike: the first step of
// matching, and the one that compares the most (every minutia of one print with every
// minutia of the other turned about as far).
#include <bit>
#include <cstdint>

#include "Kernels.h"
#include "LocalStructures.h"

namespace mivex::vandrel {

// A pair is one 64-bit key that orders pairs best first: by similarity, highest first
// (a similarity in [0, 1] orders as its bits do), then by the index in A, then in B;
// indices take 16 bits (records hold at most 80 minutiae).
class SimilarPair {
 public:
  SimilarPair() = default;
  SimilarPair(float similarity, int a, int b)
      : key_(std::uint64_t{~std::bit_cast<std::uint32_t>(similarity)} << 32 |
             static_cast<std::uint64_t>(static_cast<std::uint16_t>(a)) << 16 | static_cast<std::uint16_t>(b)) {}
  float similarity() const { return std::bit_cast<float>(~static_cast<std::uint32_t>(key_ >> 32)); }
  int a() const { return static_cast<int>(key_ >> 16 & 0xFFFF); }
  int b() const { return static_cast<int>(key_ & 0xFFFF); }
  std::uint64_t key() const { return key_; }
  bool operator<(const SimilarPair& other) const { return key_ < other.key_; }

 private:
  std::uint64_t key_;
};

// The minutia pairs of A and B whose cylinders are at least `least` alike, written to
// `out` (room for A's times B's minutiae); returns how many. Pairs that cannot match
// are left out: an unusable cylinder, or directions further apart than
// kMinPairTurnCos allows. The pairs are listed in the same order by every kernel: by
// A's direction order, then B's ordered rows. The vector kernels compare several pairs
// at a time.
int SimilarPairs(const MatchTemplate& A, const MatchTemplate& B, float least, SimilarPair* out,
                 Kernel kernel = FastestKernel());

// Sorts n pairs, all different (no two of A's and B's same minutiae), best first.
// The vector kernels take up to kMostSortedAtOnce pairs at once: each pair's place is
// the number of pairs before it, counted without a branch.
constexpr int kMostSortedAtOnce = 64;
void SortPairs(SimilarPair* pairs, int n, Kernel kernel = FastestKernel());

// Sorts the best `keep` of n pairs, all different, best first into the first places
// (the same pairs in the same order as sorting all n would put there); what is left
// past them is unspecified. keep is at most kMostSortedAtOnce. The 512-bit kernel
// places up to kMostRankedAtOnce pairs at once, each by counting the keys below its
// own: choosing the best by comparisons costs a wrong guess at every other one.
constexpr int kMostRankedAtOnce = 128;
void SortBestPairs(SimilarPair* pairs, int n, int keep, Kernel kernel = FastestKernel());

}  // namespace mivex::vandrel
