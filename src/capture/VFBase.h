#pragma once
// The engine-backed capture device: captures fingerprint samples through a sensor that
// a concrete device supplies, turns them into feature records with the feature engine,
// checks that enrollment samples agree, generalizes three samples into one enrollment
// template and matches for verification. It also opens and closes the sensor under a
// cross-process in-use marker (a global atom named after the device model).
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "capture/FPBase.h"
#include "capture/VFEngine.h"

namespace mivex {

enum class TTemplateType : std::uint8_t { ttDefault, ttNormalize, ttTPE, ttAbig };
// Which features extraction produces (engine parameter 110).
enum class TExtractParameter : std::uint8_t { epAllFeatures, epOmitBO, epOmitBOAndC };
// dtFrameImage shows live frames while an operation runs.
enum class TDisplayType : std::uint8_t { dtFullImage, dtFrameImage };

// The three sample feature records an enrollment collects, in sample order.
struct TPreTemplate {
  const std::uint8_t* Samples[3];
};

using TBeforeGeneralize = std::function<void(TObject* sender, TPreTemplate& preTemplate, bool& canExec)>;
using TAfterGeneralize = std::function<void(TObject* sender, TPreTemplate& preTemplate, std::uint8_t* tmpl,
                                            std::int32_t& length, bool& canExec)>;
using TEnrollProgressEvent = std::function<void(TObject* sender, std::int32_t position, std::int32_t max)>;

class TGetFrameThread;

class TVFBase : public TFPBase {
 public:
  explicit TVFBase(TComponent* owner);
  // The most derived device calls ShutDown() first: closing needs its sensor.
  ~TVFBase() override;

  // Published properties.
  TTemplateType TemplateType() const { return template_type_; }
  // A change reallocates the image buffers; ttAbig forces epOmitBO.
  void SetTemplateType(TTemplateType type);
  std::int32_t ExtractThreshold() { return GetExtractThreshold(); }
  // Values below 80 are ignored.
  void SetExtractThreshold(std::int32_t threshold);
  TExtractParameter ExtractParameter() const { return extract_parameter_; }
  // Also tells the engine (parameter 110; its result is not checked).
  void SetExtractParameter(TExtractParameter parameter);
  // The engine's generalization threshold as a false-acceptance rate. Both raise the
  // engine binding's exceptions.
  double GeneralizeFAR();
  void SetGeneralizeFAR(double rate);
  std::int32_t MinMinutiaeCount() const { return min_minutiae_count_; }
  void SetMinMinutiaeCount(std::int32_t count) { min_minutiae_count_ = count; }
  // Stores the level and sets the engine's generalization and matching thresholds
  // from its rate; raises the engine binding's exceptions.
  void SetSecurityLevel(TSecurityLevel level) override;
  std::int32_t MaxEnrollTry() const { return max_enroll_try_; }
  void SetMaxEnrollTry(std::int32_t count) { max_enroll_try_ = count; }
  TDisplayType DisplayType() const { return display_type_; }
  void SetDisplayType(TDisplayType type) { display_type_ = type; }

  TAfterGeneralize OnAfterGeneralize;
  TBeforeGeneralize OnBeforeGeneralize;
  TEnrollProgressEvent OnEnrollProgress;

  // Bytes of the template that OnDone hands out (valid bytes of the template buffer).
  std::int32_t TemplateSize() const { return template_size_; }
  VFContext Context() const { return context_; }

  // Overrides of the device base.
  void ExecuteOperation() override;
  const std::uint8_t* GetTemplate() override { return template_buffer_.data(); }
  void SetEnrollPolicy(TEnrollPolicy policy) override { enroll_policy_ = policy; }
  bool Open() override;
  void Close() override;
  std::int32_t GetSampleCount() override;
  void DrawBackground() override;

 protected:
  friend class TGetFrameThread;

  virtual void AllocateBuffers();
  virtual std::int32_t GetResolution();
  virtual std::int32_t GetImageWidth() = 0;
  virtual std::int32_t GetImageHeight() = 0;
  // Waits for one acceptable finger image and copies it into `buffer`
  // (GetImageWidth() x GetImageHeight() bytes).
  virtual bool GetImage(std::uint8_t* buffer) = 0;
  virtual std::int32_t GetFrameWidth() = 0;
  virtual std::int32_t GetFrameHeight() = 0;
  virtual bool GetFrame(std::uint8_t* buffer) = 0;
  virtual bool OpenDevice() = 0;
  virtual void CloseDevice() = 0;
  virtual std::int32_t GetExtractThreshold() { return extract_threshold_; }
  // Shows the image buffer (the frame buffer in dtFrameImage) on the control.
  virtual void DrawImage();

  // Operation bodies (worker thread): 0 on success, -1 when stopped or failed.
  std::int32_t CaptureSample();
  std::int32_t Enroll();

  // Stops, closes the sensor (waiting for a running operation) and ends the worker.
  // Called first by the most derived device's destructor; harmless twice.
  void ShutDown();
  void RaiseStatus(std::int32_t status);
  void DoPaint(HDC dc) override;
  // Hands a copy of an 8-bit grey image to the window's thread, which shows it
  // stretched over the control until the next image or DrawBackground.
  void ShowImage(const std::uint8_t* pixels, std::int32_t width, std::int32_t height);

  std::vector<std::uint8_t> image_buffer_;
  std::vector<std::uint8_t> frame_buffer_;
  // Guards frame_buffer_ between the frame thread and the worker.
  std::mutex frame_mutex_;
  std::vector<std::uint8_t> template_buffer_;
  std::int32_t template_size_ = 0;
  TTemplateType template_type_ = TTemplateType::ttNormalize;

 private:
  struct ShownImage {
    std::vector<std::uint8_t> pixels;
    std::int32_t width = 0;
    std::int32_t height = 0;
  };

  void RunOperation();
  void WaitUntilIdle();
  void StartFrameThread();
  void StopFrameThread();
  void ShowGeneralizeFailure(std::int32_t trial);

  VFContext context_ = 0;
  std::int32_t extract_threshold_ = 0;
  TExtractParameter extract_parameter_ = TExtractParameter::epOmitBO;
  std::int32_t min_minutiae_count_ = 0;
  std::int32_t max_enroll_try_ = 0;
  TDisplayType display_type_ = TDisplayType::dtFullImage;
  // Extraction output and generalization output, reused by every capture.
  std::vector<std::uint8_t> feature_buffer_;
  std::vector<std::uint8_t> generalize_buffer_;
  std::unique_ptr<TGetFrameThread> frame_thread_;
  // Touched only on the window's thread.
  ShownImage shown_;
};

// Library start, after LoadEngineLibrary: starts the engine (VFInitialize when bound).
void StartEnrollmentEngine();
// Library unload, after every device is gone: removes the in-use marker if this process
// made it, stops the engine (VFFinalize when bound).
void StopEnrollmentEngine();

// Whether this process holds the in-use marker of any device model.
bool InUseMarkerHeld();

}  // namespace mivex
