#pragma once
// The verification control: one press on the sensor becomes a verification template,
// offered as VerifyTempStr; the dialog then ends by itself.
#include <cstdint>
#include <string>

#include "workflow/XFPBase.h"

namespace mivex {

class TXFPVerify : public TXFPBase {
 public:
  explicit TXFPVerify(TComponent* owner);
  ~TXFPVerify() override;

  void SetLook(TBaseUI* look) override;
  void SetDevice(TVFBase* device) override;
  void Start() override;
  void SetState(TProcessState state) override { State_ = state; }
  void HandleSampleQuality(std::int32_t quality) override;
  void HandleSample(const TBitmap* bitmap) override;
  void HandleDone(const std::uint8_t* tmpl) override;
  void HandleDeviceError(std::int32_t code) override;

  // The component's preparation: mode 1 or 3 hide the user identifier box; mode 1
  // without a user identifier means identification. `output` is emptied.
  void PrepareVerify(const std::string& user_id, const std::string& enrolled, std::string& output, int mode);

  TVerifyPurpose Purpose() const { return Purpose_; }
  void SetPurpose(TVerifyPurpose purpose) { Purpose_ = purpose; }
  const std::string& VerifyTempStr() const { return VerifyTempStr_; }
  std::int32_t VerifyTempLen() const { return VerifyTempLen_; }
  void SetPictureFolder(const std::string& path) { picture_folder_ = path; }

 protected:
  void HandleControlMessage(UINT msg, WPARAM wp) override;
  bool IdentifyWithoutUser() const override { return Purpose_ == TVerifyPurpose::vpIdentify; }

 private:
  TVerifyPurpose Purpose_ = TVerifyPurpose::vpVerify;
  std::string VerifyTempStr_;
  std::int32_t VerifyTempLen_ = 0;
  std::string picture_folder_;
};

}  // namespace mivex
