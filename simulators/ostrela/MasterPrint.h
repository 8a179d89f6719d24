#pragma once
// A master fingerprint: the whole ridge pattern of one finger, from which every
// impression on the sensor is taken. Generated from a seed per (subject, finger).
#include <cstdint>
#include <vector>

#include "FingerDesign.h"
#include "GaborBank.h"

namespace mivex::ostrela {

struct TMasterPrint {
  TFingerDesign Design;
  std::int32_t Width = 0;   // canvas pixels
  std::int32_t Height = 0;
  // Ridge height per pixel: positive on a ridge (dark on the sensor), negative in a
  // valley, a smooth profile so that pressure can change the ridge width.
  std::vector<std::int8_t> Ridges;
  // Skin profile per pixel (0 outside the finger .. 255 well inside).
  std::vector<std::uint8_t> Skin;
};

// Grows the master: orientation and period maps from the design, a few random ridge
// seeds, then iterated oriented Gabor filtering with saturation until the ridges fill
// the finger; creases and scars then cut across the ridges.
TMasterPrint GenerateMaster(const TGaborBank& bank, std::uint32_t subject, std::int32_t finger);

// Takes one stretch of ridge away: from a point near (x, y), along the crest of the
// nearest ridge (following its bends, by the angle map along the ridges and the period
// map in Q8 pixels) for `length` pixels, forward along the angle or, with `backward`,
// the other way; valley is left where it ran, and a ridge ending at either end.
void BreakRidge(TMasterPrint& m, const std::vector<std::int32_t>& angle, const std::vector<std::int32_t>& period,
                std::int32_t x, std::int32_t y, std::int32_t length, bool backward);

}  // namespace mivex::ostrela
