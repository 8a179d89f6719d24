#pragma once
// Carries the minutiae of one press into the frame of another along landmarks (the
// places of minutiae paired between the two). A single rigid motion cannot follow a
// finger that was pressed and bent differently: far from the centre of the landmarks
// its error grows past the distance at which two minutiae are taken for one, so one
// minutia turns into two and pairs are averaged to places neither press showed. Here
// every point gets its own rigid motion, fitted to the landmarks weighted by their
// nearness (moving least squares), so the map bends smoothly with the finger.
#include <vector>

#include "Minutia.h"

namespace mivex::vandrel {

struct Landmark {
  float fromX = 0, fromY = 0;  // in the press being carried over
  float toX = 0, toY = 0;      // the same place in the target press
};

class ElasticAlignment {
 public:
  // `stiffness` (pixels): landmarks much closer than this weigh about alike, so the map
  // is nearly rigid within that reach and bends only over longer distances.
  ElasticAlignment(std::vector<Landmark> landmarks, float stiffness);

  // The minutia at its place in the target press, its direction turned with the map.
  // Without landmarks the minutia is returned unchanged.
  Minutia Apply(const Minutia& m) const;

 private:
  std::vector<Landmark> landmarks_;
  float stiffness2_;
};

}  // namespace mivex::vandrel
