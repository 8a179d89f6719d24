#pragma once
// The one simulated sensor of the process, behind the exported bAPI4_ entry points.
//
// Its scenario (see Scenario.h for the text form) comes from the environment when the
// first entry point is called:
//   OSTRELA_SCENARIO       the scenario text itself ("press 3 L2 good x2; unplug")
//   OSTRELA_SCENARIO_FILE  the name of a file holding the scenario text
// OSTRELA_SCENARIO wins when both are set. With neither, the sensor presses the
// default finger (subject 1, R2) well, forever. An unreadable file, a malformed text or
// an image the text names that cannot be read is reported on standard error and to the
// debugger, and the sensor never opens.
//
// A scenario file is followed while the sensor runs: when its text has changed by the
// time a frame is armed (bAPI4_StartImage), the sensor plays the new text from its
// beginning. A program that drives the dialogs (the demo) switches fingers between
// captures this way.
#include <string>

#include "SimSensor.h"

namespace mivex::ostrela {

// The process's sensor, created from the environment on first use.
TSimSensor& TheSensor();

// Forgets the sensor and its run; the next TheSensor() reads the environment again.
// Unloading the library has the same effect.
void ResetSensorHost();

// Reads the scenario from the environment; false with `error` set when it is unusable.
bool ScenarioFromEnvironment(TScenario& scenario, std::string& error);

// Called when a frame is armed: replays a scenario file whose text has changed.
void FollowScenarioFile();

}  // namespace mivex::ostrela
