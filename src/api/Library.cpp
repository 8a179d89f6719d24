#include "api/Library.h"

#include <windows.h>
#include <objbase.h>

#include <mutex>

#include "base/win/Controls.h"
#include "capture/KV310.h"
#include "capture/Log.h"
#include "capture/VFBase.h"
#include "capture/VFEngine.h"
#include "crypto/Aes.h"
#include "crypto/Cipher.h"
#include "crypto/Integers.h"
#include "crypto/Quelmarin.h"
#include "crypto/QuelmarinRSA.h"

namespace mivex {

namespace {

// COM is initialised once, for the thread that starts the library.
DWORD g_com_thread = 0;
bool g_com_initialised = false;

void StartCom() {
  HRESULT hr = ::CoInitialize(nullptr);
  g_com_initialised = SUCCEEDED(hr);
  g_com_thread = ::GetCurrentThreadId();
}

void StopCom() {
  // COM's reference is per thread: only the starting thread can give it back.
  if (g_com_initialised && ::GetCurrentThreadId() == g_com_thread) ::CoUninitialize();
  g_com_initialised = false;
}

void StopWindowClasses() { win::UnregisterWindowClasses(); }
void Nothing() {}
void LoadEngine() { LoadEngineLibrary(); }
void LoadSensor() { LoadSensorLibrary(); }

struct Step {
  void (*start)();
  void (*stop)();
};

// The units' steps in their start-up order; shutdown walks the list backwards.
const Step kSteps[] = {
    {Nothing, StopWindowClasses},
    // Crypto: the framework's registries, each algorithm unit's own entries, the
    // big-integer ticker and the facade's class list.
    {StartCipherFramework, StopCipherFramework},
    {StartAES, Nothing},
    {StartIntegers, StopIntegers},
    {StartRSA, Nothing},
    {StartCipherFacade, StopCipherFacade},
    // Capture: the log (with its retention sweep), the feature engine and sensor
    // libraries, then the engine itself.
    {StartLog, StopLog},
    {LoadEngine, FreeEngineLibrary},
    {LoadSensor, FreeSensorLibrary},
    {StartEnrollmentEngine, StopEnrollmentEngine},
    // Workflow: COM for the starting thread.
    {StartCom, StopCom},
};

std::once_flag g_started_once;
bool g_started = false;
std::mutex g_stop_mutex;

}  // namespace

void EnsureLibraryStarted() {
  std::call_once(g_started_once, [] {
    for (const Step& step : kSteps) step.start();
    g_started = true;
  });
}

void StopLibrary() {
  std::lock_guard<std::mutex> lock(g_stop_mutex);
  if (!g_started) return;
  g_started = false;
  for (size_t i = sizeof(kSteps) / sizeof(kSteps[0]); i-- > 0;) kSteps[i].stop();
}

}  // namespace mivex
