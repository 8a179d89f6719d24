#include "SensorHost.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace mivex::ostrela {
namespace {

// Every poll lasts one frame time on the steady clock.
class TSteadyFrameClock final : public TFrameClock {
 public:
  std::int64_t BeginFrame() override {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void EndFrame(std::int64_t start, std::int32_t frameMs) override {
    const std::chrono::steady_clock::time_point until{std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::nanoseconds(start) + std::chrono::milliseconds(frameMs))};
    std::this_thread::sleep_until(until);
  }
};

// Process-wide state; both have constant initialisation and do no work before use.
std::mutex gHostLock;
std::unique_ptr<TSimSensor> gSensor;
std::string gFileText;  // the scenario file's text the sensor plays, when it came from a file

bool ReadVariable(const char* name, std::string& value) {
#ifdef _WIN32
  // The process environment block, which also sees variables set after start-up.
  const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
  if (size == 0) return false;
  std::string buffer(size, '\0');
  const DWORD got = GetEnvironmentVariableA(name, buffer.data(), size);
  if (got == 0 || got >= size) return false;
  buffer.resize(got);
  value = buffer;
  return true;
#else
  const char* v = std::getenv(name);
  if (v == nullptr) return false;
  value = v;
  return true;
#endif
}

void Report(const std::string& text) {
  const std::string line = "Ostrela: " + text + "\n";
  std::fputs(line.c_str(), stderr);
#ifdef _WIN32
  OutputDebugStringA(line.c_str());
#endif
}

}  // namespace

bool ReadScenarioFile(std::string& text, std::string& folder, std::string& error) {
  std::string path;
  if (!ReadVariable("OSTRELA_SCENARIO_FILE", path)) return false;
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  if (!file || !(content << file.rdbuf())) {
    error = "cannot read scenario file " + path;
    return false;
  }
  text = content.str();
  folder = std::filesystem::path(path).parent_path().string();
  return true;
}

// Parses `text` and loads the images it names, relative to `folder`.
bool ScenarioOfText(const std::string& text, const std::string& folder, TScenario& scenario, std::string& error) {
  if (!ParseScenario(text, scenario, error) || !LoadScenarioImages(scenario, folder, error)) {
    error = "scenario " + error;
    return false;
  }
  return true;
}

// As ScenarioFromEnvironment; `file_text` receives the file's text when it came from one.
bool ScenarioAndSource(TScenario& scenario, std::string& error, std::string& file_text) {
  std::string text, folder;
  file_text.clear();
  if (!ReadVariable("OSTRELA_SCENARIO", text)) {
    if (ReadScenarioFile(text, folder, error))
      file_text = text;
    else if (!error.empty())
      return false;
  }
  return ScenarioOfText(text, folder, scenario, error);
}

bool ScenarioFromEnvironment(TScenario& scenario, std::string& error) {
  std::string file_text;
  return ScenarioAndSource(scenario, error, file_text);
}

TSimSensor& TheSensor() {
  std::lock_guard<std::mutex> guard(gHostLock);
  if (!gSensor) {
    TScenario scenario;
    std::string error;
    if (ScenarioAndSource(scenario, error, gFileText)) {
      gSensor = std::make_unique<TSimSensor>(scenario, std::make_unique<TSteadyFrameClock>());
    } else {
      Report(error);
      gSensor = std::make_unique<TSimSensor>(error, std::make_unique<TSteadyFrameClock>());
    }
  }
  return *gSensor;
}

void ResetSensorHost() {
  std::lock_guard<std::mutex> guard(gHostLock);
  gSensor.reset();
  gFileText.clear();
}

void FollowScenarioFile() {
  std::string ignored;
  if (ReadVariable("OSTRELA_SCENARIO", ignored)) return;
  std::string text, folder, error;
  if (!ReadScenarioFile(text, folder, error)) return;  // a file being rewritten: keep playing
  std::lock_guard<std::mutex> guard(gHostLock);
  if (!gSensor || text == gFileText) return;
  TScenario scenario;
  if (!ScenarioOfText(text, folder, scenario, error)) {
    Report(error + " (the sensor keeps its scenario)");
    gFileText = text;  // reported once, not at every frame
    return;
  }
  gSensor->ReplaceScenario(scenario);
  gFileText = text;
}

}  // namespace mivex::ostrela
