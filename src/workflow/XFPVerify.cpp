#include "workflow/XFPVerify.h"

#include "capture/KV310.h"
#include "ui/XUIFashion.h"
#include "workflow/Catalogue.h"
#include "workflow/Jpeg.h"
#include "workflow/PictureFiles.h"

namespace mivex {

TXFPVerify::TXFPVerify(TComponent* owner) : TXFPBase(owner), picture_folder_(kPictureFolder) {
  SetLook(Create<TFashionVerifyUI>());
}

TXFPVerify::~TXFPVerify() {
  MarkDestroying();
  FFPDevice.reset();
}

void TXFPVerify::SetLook(TBaseUI* look) {
  look_ = look;
  TXFPBase::SetLook(look);
  FFPDevice = CreateSensorDevice();
  SetDevice(FFPDevice.get());
  try {
    if (win::TControl* widget = look->Widget(5)) widget->SetParent(this);
  } catch (...) {
  }
  for (int k = 1; k <= kFingerCount; ++k) look->AttachFinger(fingers_->Item(k));
  look->RefreshLook();
}

void TXFPVerify::SetDevice(TVFBase* device) {
  TXFPBase::SetDevice(device);
  device->SetOperation(FT_OPERATION::ftGetVerifyTemplate);
  look_->BindDevice(device);
  look_->RefreshLook();
}

void TXFPVerify::PrepareVerify(const std::string& user_id, const std::string& enrolled, std::string& output,
                               int mode) {
  output.clear();
  if (mode == 1 || mode == 3) SetShowUserID(false);
  if (mode == 1 && user_id.empty()) Purpose_ = TVerifyPurpose::vpIdentify;
  SetUserID(user_id);
  SetEnrolledFingers(enrolled);
  Run();
}

void TXFPVerify::Start() {
  TXFPBase::Start();
  look_->EnableUserIDBox(false);
  // Also after a refusal for a missing user identifier once the sensor is open: the
  // template then meets the same refusal in HandleDone.
  if (FFPDevice->IsOpened()) FFPDevice->Start();
}

void TXFPVerify::HandleSampleQuality(std::int32_t quality) { ShowStatusLine(LoadStr(QualityMessage(quality))); }

void TXFPVerify::HandleSample(const TBitmap* bitmap) {
  if (!bitmap) return;
  std::unique_ptr<TJpegImage> picture = ToJpeg(*bitmap);
  if (!picture) return;
  fingers_->VerifyImage = std::move(picture);
  TPictureFolder(picture_folder_).WriteVerifyPicture(*fingers_->VerifyImage);
}

void TXFPVerify::HandleDone(const std::uint8_t* tmpl) {
  if (UserID_.empty() && Purpose_ != TVerifyPurpose::vpIdentify) {
    LastError_ = kErrNoUser;
    ReportError(1, kErrNoUser);
    return;
  }
  try {
    const std::int32_t size = FFPDevice->TemplateSize();
    VerifyBuffer.assign(tmpl, tmpl + size);
    VerifyTempLen_ = size;
    VerifyTempStr_ = VerifyTemplateText(VerifyBuffer.data(), size);
    PostToSelf(kMsgVerifyDone);
  } catch (...) {
    // Building the text failed (memory): the dialog ends with error 306.
    ReportError(1, kErrTemplateText);
  }
}

void TXFPVerify::HandleDeviceError(std::int32_t code) {
  if (Destroying() || State() == TProcessState::psIdle) return;
  const bool old_family = static_cast<int>(FFPDevice->DeviceType()) == 0 && code == -19;
  ReportError(1, old_family ? kErrConnection : kErrVerifyDevice);
}

void TXFPVerify::HandleControlMessage(UINT msg, WPARAM) {
  if (msg != kMsgVerifyDone) return;
  SetState(TProcessState::psFingerDone);
  ShowStatusLine(LoadStr(231));
  Stop();
  if (onAfterExecute) onAfterExecute(this);
}

}  // namespace mivex
