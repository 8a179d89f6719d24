#pragma once
// A minutia as the engine handles it between extraction, matching and generalization.
#include <cstdint>

namespace mivex::vandrel {

enum class MinutiaKind : std::uint8_t { Ending = 0, Bifurcation = 1 };

struct Minutia {
  float x = 0;
  float y = 0;
  float direction = 0;  // radians, 0 = +x, pi/2 = +y (down); where the ridge (or valley) ends
  MinutiaKind kind = MinutiaKind::Ending;
  float quality = 0;    // 0..1
};

struct SingularPoint {
  float x = 0;
  float y = 0;
  int type = 0;         // 1 core, 2 delta, 3 whorl centre
  float direction = 0;  // radians
};

}  // namespace mivex::vandrel
