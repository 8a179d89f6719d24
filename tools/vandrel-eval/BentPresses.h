#pragma once
// Presses of the same fingers bent another way. A change to the engine that helps one
// set of images may read fingers better, or may only suit the very pixels of that set;
// bent copies of the set tell the two apart, as they show the same fingers through
// other pixels. They also measure how the engine copes with distortion, which decides
// many genuine comparisons of sets taken without care.
//
// Skin stretches as a finger is pressed: the middle stays where it touched first and
// the periphery is dragged aside. BendPress bends an image that way: the middle stays,
// the periphery is moved by a shift, smoothly in between (control points blended by
// their inverse squared distance), and a margin as wide as the shift is cut, so that
// no place the bend pulled in from beyond the image shows. Places are in pixels at
// 500 dpi.
#include <cstdint>
#include <string>

#include "PngGray.h"

namespace mivex::vandrel {

constexpr float kBendStillRadius = 30;   // the ring around the middle that stays
constexpr float kBendInnerRadius = 130;  // rings that move by the whole shift
constexpr float kBendOuterRadius = 220;

// The image bent by moving its periphery by (dx, dy) pixels, then cut by BendMargin on
// every side. An image too small to cut is returned as it is.
GrayImage BendPress(const GrayImage& image, float dx, float dy);
// Pixels cut from each side: the shift, rounded up.
int BendMargin(float dx, float dy);

// The direction in which a press is bent, in radians: drawn from the seed and the
// image's name, so that each image of a set bends its own way, the same in every run.
float BendDirection(std::uint32_t seed, const std::string& name);

}  // namespace mivex::vandrel
