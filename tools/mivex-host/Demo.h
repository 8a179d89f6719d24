#pragma once
#include <windows.h>

#include "HostArgs.h"

namespace mivex::host {

// The library's main job, scripted: enrols two fingers of one simulated person through
// GetFPEnrollTemp while a second thread works the dialog like that person, verifies the
// same person and then another one through GetFPVerifyTemp, compares the templates with
// the engine's VFVerify and prints a report. With a folder of real prints in `options`,
// a second part enrols a real finger from three of its images played as presses and
// verifies it with a fourth and with another finger. `library` is the loaded Mivex.dll.
// Returns the process exit code: 0 when every step gave the expected answer.
int RunDemo(HMODULE library, const Options& options);

}  // namespace mivex::host
