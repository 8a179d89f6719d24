#pragma once
// Minutia matching: local similarities of all minutia pairs from their cylinders,
// then consolidation into the largest set of pairs whose mutual distances and angles
// agree in both prints (tolerant of elastic distortion, as only pairwise geometry is
// compared), and the calibrated similarity score.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "LocalStructures.h"
#include "SimilarPairs.h"

namespace mivex::vandrel {

struct MatchResult {
  float raw = 0;     // consolidated similarity before calibration
  int score = 0;     // on the false-acceptance scale
  std::vector<std::pair<int, int>> pairs;  // (index in a, index in b)
  float similaritySum = 0;  // local similarities of the consolidated pairs
  float overlapA = 0, overlapB = 0;  // minutiae of each print well inside the other's region, by quality
  int rigidPairs = 0;  // minutiae each other's nearest under the consolidated pairs' rigid motion
};

// The consolidated similarity from the number of paired minutiae (all, and those found
// by consolidation), their local similarities, how many minutiae could have paired
// (weighted by their quality) and how many the consolidated pairs' rigid motion pairs
// by itself.
float RawSimilarity(int paired, int consolidated, float similaritySum, float overlapA, float overlapB, int rigid);

MatchResult MatchTemplates(const MatchTemplate& a, const MatchTemplate& b);

// A minutia pair under consideration for the consolidated set.
struct MatchCandidate {
  float similarity;
  int a, b;
  float cosRot, sinRot;  // rotation taking the minutia of a onto that of b
  float ax, ay, bx, by;   // the two minutiae's positions, at hand for the pairwise tests
};

// Whether pair c agrees with pair p: the consolidation's and expansion's pairwise
// test (about the same rotation, and the segments between the two pairs' minutiae in
// each print of about the same length and turned by about that rotation). Symmetric.
bool PairsAgree(const MatchCandidate& p, const MatchCandidate& c);

// PairsAgree(p, c[l]) for four candidates at once, as bits 0 to 3, exactly.
unsigned PairsAgreeFour(const MatchCandidate& p, const std::array<MatchCandidate, 4>& c);

// PairsAgree(p, others[k]) as bit k for up to 63 others, judged as a growing set judges
// a candidate that joins it against all those still open, with `kernel` (sixteen or
// eight at a time where it has the vectors): exactly the single test's answers.
std::uint64_t PairsAgreeAtOnce(const MatchCandidate& p, std::span<const MatchCandidate> others, Kernel kernel);

// The working rows of one comparison. A caller comparing many templates on one
// thread keeps one and hands it to every comparison, which then allocates nothing
// once the rows have grown to the largest templates seen.
struct MatchScratch {
  // Room for the alike pairs, left uninitialised: a comparison writes before it reads.
  std::unique_ptr<SimilarPair[]> similar;
  std::size_t similarCapacity = 0;
  std::vector<std::uint64_t> sharing;
  std::vector<MatchCandidate> pairs;
  std::vector<std::uint8_t> used;
  std::vector<int> nearest, near;
  std::vector<float> reach;
};

// The same comparison into `result` (its pairs' storage reused), with `scratch`'s rows;
// every kernel gives the same result.
void MatchTemplates(const MatchTemplate& a, const MatchTemplate& b, MatchScratch& scratch, MatchResult& result,
                    Kernel kernel = FastestKernel());

// Maps a consolidated similarity to the score scale on which the share of impostor
// comparisons reaching score s is about the false-acceptance rate of s.
int CalibratedScore(float raw);

}  // namespace mivex::vandrel
