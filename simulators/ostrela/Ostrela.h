#pragma once
// Ostrela.dll: the simulated fingerprint sensor. It stands in for the closed
// sensor-access library so that the whole system runs, is demonstrated and is tested
// without hardware, and so that a host developer can build an integration before the
// scanner arrives. It behaves like a sensor, not like a file reader: images come only
// while a (synthetic) finger lies on it, and every image request blocks for one frame
// time.
//
// All entry points use the platform's standard calling convention; Booleans are 32-bit
// 1 (true) or 0 (false). Images are 256 x 288 bytes of 8-bit grey at 500 dpi (0 black:
// ridges are dark), delivered bottom row first, as the sensor scans; a host flips them.
//
// What the sensor sees is a scenario, read from the environment on first use:
//   OSTRELA_SCENARIO       the scenario text
//   OSTRELA_SCENARIO_FILE  a file holding the scenario text (OSTRELA_SCENARIO wins)
// Without either, the default finger (subject 1, right forefinger) is pressed well,
// again and again. Scenario.h describes the text form.
#include <cstdint>

#include "base/Stdcall.h"

// Opens the sensor. False while it is unplugged or when the scenario is unusable.
MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_OpenSensor();
// Closes the sensor (and the sensor-side matcher). Returns 1.
MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_CloseSensor();
// Arms the sensor for image requests. False when it is not open.
MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_StartImage();
// Waits one frame time and delivers the frame when a finger lies on the armed sensor.
// image: the caller's area; mode: 0 (8-bit grey; other modes are not supported); dpi:
// 500; width, height: in, the size of the caller's area (at least 256 x 288); out, the
// image size. True only when an image was delivered; false after the frame time when no
// finger lies on the sensor, when it is not open or not armed, or for bad arguments.
MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_GetBinaryImage(std::uint8_t* image, std::int32_t mode, std::int32_t dpi,
                                                             std::int32_t* width, std::int32_t* height);
// Disarms the sensor. Returns 1.
MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_StopImage();
// Copies the last image that bAPI4_GetBinaryImage delivered since the sensor was opened,
// without waiting; width and height as there. False when there is none.
MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_GetImage(std::uint8_t* image, std::int32_t* width, std::int32_t* height);
// -2 unusable scenario, -1 unplugged, 0 closed, 1 open, 2 open with a finger on it at the
// last poll. Does not wait and does not advance the scenario.
MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_CheckSensorStatus();

// Sensor-side matcher. It keeps 16 template slots (0..15) for the life of the process and,
// being part of a simulation, knows which finger lies on the sensor: it matches the
// finger itself, not its image. Light presses are too faint for it.
// Starts the matcher; the sensor must be open.
MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_HMFVOpenLib();
// Stops the matcher and abandons an unfinished enrolment; the slots stay. False when it
// was not running.
MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_HMFVCLoseLib();
// Empties slot `slot` and starts an enrolment into it.
MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_HMFVStartEnroll(std::int32_t slot);
// One poll (one frame time) of an enrolment: true when it took a sample, which must come
// from a new press; *progress is the number of samples taken (3 stores the slot and ends
// the enrolment; a different finger starts the count again at 1).
MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_HMFVEnroll(std::int32_t* progress);
// One poll (one frame time): true when a finger was read; *matched is 1 when it is the
// finger stored in `slot`, else 0.
MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_HMFVVerify(std::int32_t slot, std::int32_t* matched);
// Sets a sensor parameter: 1 frame time in ms (1..1000), 2 frames per press (1..100),
// 3 polls without finger before each press (0..1000). False for another id or value.
MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_HMFVSetParas(std::int32_t id, std::int32_t value);
// Reads a parameter (ids 1..3 as above) or a counter: 10 polls answered while open,
// 11 finger images delivered, 12 presses begun, 13 scenario step (from 0), 14 subject on
// the sensor at the last poll (-1 none), 15 its finger 1..10 (0 none), 16 its press kind
// (0 good, 1 poor, 2 light; -1 none). False for an unknown id or a null pointer.
MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_HMFVGetParas(std::int32_t id, std::int32_t* value);
