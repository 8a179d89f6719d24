#pragma once
// Enrollment from three samples. The sample that agrees best with the other two is the
// anchor. The others are refused unless both reach the generalization threshold against
// it; a sample that misses it against the anchor alone may reach it against the anchor
// and the other sample merged (when that one agrees), as a press shifted or bent off
// the anchor may share enough of the finger with the two together. A sample tied to the anchor strongly enough to trust its alignment (at 1 % false
// acceptance or better) is carried into the anchor's frame elastically and joins the
// record; a more weakly tied one (a host may set a lower threshold) only counted towards
// agreement, as its minutiae could land in the wrong places.
//
// Minutiae of the joined samples that fall together (at most one per sample) become
// one minutia at their mean place and direction. A minutia seen once stands (one press
// may miss a minutia, or cover a part of the finger the others did not) unless both
// other samples joined, cover its place and neither shows it (two rarely miss the same
// one). Minutiae seen more often rank higher and survive the cap on the record's
// minutiae.
#include "FeatureRecord.h"

namespace mivex::vandrel {

struct GeneralizeResult {
  bool agreed = false;
  int weakestScore = 0;  // the lower of the two scores that tie the samples to the anchor (or to both)
  Features features;
};

GeneralizeResult GeneralizeSamples(const Features* const samples[3], int threshold);

}  // namespace mivex::vandrel
