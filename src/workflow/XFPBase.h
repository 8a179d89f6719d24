#pragma once
// Workflow controls as the dialog hosts see them. This first version carries the
// enrollment and verification controls' published properties with their conversions
// and clamps and a plain 530 x 400 surface with the user identifier; the capture
// workflow (look, fingers, device) is added on top of it without changing this face.
#include <cstdint>
#include <functional>
#include <string>

#include "base/win/Controls.h"

namespace mivex {

enum class TEnrollPurpose : std::uint8_t { epNewEnroll, epUpdateEnroll };
enum class TVerifyPurpose : std::uint8_t { vpVerify, vpIdentify };

using TUIErrorEvent = std::function<void(TObject* sender, std::int32_t errCode, const std::string& errMsg)>;

class TUserIDBox;

class TXFPBase : public win::TCustomControl {
 public:
  explicit TXFPBase(TComponent* owner);
  ~TXFPBase() override;

  TUIErrorEvent onError;
  TNotifyEvent onAfterExecute;

  const std::string& UserID() const { return user_id_; }
  void SetUserID(const std::string& text);
  bool ShowUserID() const { return show_user_id_; }
  void SetShowUserID(bool on);
  void StartWithUser(const std::string& text);
  virtual void Start() {}
  virtual void Stop() { user_id_set_ = false; }
  std::int32_t LastError() const { return last_error_; }

 protected:
  void DoPaint(HDC dc) override;
  virtual std::string Title() const = 0;

  std::string user_id_;
  bool user_id_set_ = false;
  bool show_user_id_ = true;
  std::int32_t last_error_ = 0;
  TUserIDBox* user_id_box_ = nullptr;
};

namespace XFPBase {

class TXFPEnroll : public TXFPBase {
 public:
  explicit TXFPEnroll(TComponent* owner) : TXFPBase(owner) {}

  void ClearFingers() {}
  void SetEnrolledFingers(const std::string& text) { enrolled_fingers_ = text; }
  TEnrollPurpose Purpose() const { return purpose_; }
  void SetPurpose(TEnrollPurpose p) { purpose_ = p; }
  std::uint16_t ValidFingers() const { return valid_fingers_; }
  // An empty set is ignored; a set smaller than Minimum lowers Minimum first.
  void SetValidFingers(std::uint16_t set);
  std::int32_t Minimum() const { return minimum_; }
  // Below 1 gives 1; above the number of selectable fingers gives that number.
  void SetMinimum(std::int32_t value);
  std::int32_t Maximum() const { return maximum_; }
  // Outside 1..10 gives 10.
  void SetMaximum(std::int32_t value) { maximum_ = (value < 1 || value > 10) ? 10 : value; }
  const std::string& FingerSequence() const { return finger_sequence_; }
  void SetFingerSequence(const std::string& text) { finger_sequence_ = text; }
  const std::string& EnrolledFingers() const { return enrolled_fingers_; }
  const std::string& EnrollTempStr() const { return enroll_temp_str_; }

 protected:
  std::string Title() const override { return "Fingerprint enrollment"; }

 private:
  std::string enrolled_fingers_, finger_sequence_, enroll_temp_str_;
  TEnrollPurpose purpose_ = TEnrollPurpose::epNewEnroll;
  std::uint16_t valid_fingers_ = 1023;
  std::int32_t minimum_ = 1, maximum_ = 10;
};

}  // namespace XFPBase

class TXFPVerify : public TXFPBase {
 public:
  explicit TXFPVerify(TComponent* owner) : TXFPBase(owner) {}

  // The verification component's preparation: mode 1 or 3 hide the user identifier;
  // mode 1 without a user identifier means identification.
  void PrepareVerify(const std::string& user_id, const std::string& enrolled, std::string& output, int mode);
  TVerifyPurpose Purpose() const { return purpose_; }
  const std::string& VerifyTempStr() const { return verify_temp_str_; }

 protected:
  std::string Title() const override { return "Fingerprint verification"; }

 private:
  TVerifyPurpose purpose_ = TVerifyPurpose::vpVerify;
  std::string verify_temp_str_;
};

}  // namespace mivex
