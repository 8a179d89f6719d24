#pragma once
// Wave resources of this library, played to the end before the call returns.

namespace mivex {

// Plays WAVE resource `id`; false when it cannot be played (no sound device, missing
// resource). Never falls back to the system's default sound.
bool PlayResourceSound(int id);

}  // namespace mivex
