#include "workflow/Fingers.h"

#include <bit>
#include <cstring>

#include "capture/ImageConvert.h"
#include "ui/XUIBase.h"
#include "workflow/Catalogue.h"
#include "workflow/Jpeg.h"

namespace mivex {
namespace {

// Catalogue text of the delete question.
constexpr int kDeleteQuestion = 226;

}  // namespace

int MemberCount(TValidFingers set) { return std::popcount(static_cast<unsigned>(set & kAllFingers)); }

// ---------------------------------------------------------------------------------------
// TFinger

TFinger::TFinger(std::unique_ptr<TComponent> button) : Button(std::move(button)) {}

TFinger::~TFinger() = default;

void TFinger::DropTemplates() {
  EnrollTemplate.reset();
  VerifyTemplate.reset();
}

void TFinger::ClearImages() { Images.clear(); }

// ---------------------------------------------------------------------------------------
// TFingers

TFingers::TFingers(TFingersOwner* owner) : VerifyImage(std::make_unique<TJpegImage>()), owner_(owner) {
  TBaseUI* look = owner_ != nullptr ? owner_->Look() : nullptr;
  for (int k = 1; k <= kFingerCount; ++k) {
    std::unique_ptr<TFinger> finger = look != nullptr ? look->CreateFinger(k) : nullptr;
    // A look that builds no finger still leaves the collection its ten items.
    if (!finger) finger = std::make_unique<TFinger>(nullptr);
    items_.push_back(std::move(finger));
  }
}

TFingers::~TFingers() = default;

TFinger* TFingers::Item(int index) const {
  if (index < 1 || index > kFingerCount) return nullptr;
  return items_[static_cast<std::size_t>(index - 1)].get();
}

void TFingers::Clear() {
  for (const auto& f : items_) {
    f->State = TFingerState::fgNone;
    f->DropTemplates();
  }
  RedrawAll();
}

void TFingers::Select(int index) {
  TFinger* finger = Item(index);
  if (finger == nullptr) return;
  Current = index;
  MessageOwner = owner_ != nullptr ? owner_->ContainingWindow() : nullptr;
  switch (finger->State) {
    case TFingerState::fgNone:
    case TFingerState::fgDeleted:
      PrevState = finger->State;
      finger->State = TFingerState::fgSelected;
      EnableButtons(false);
      break;
    case TFingerState::fgSelected:
      finger->State = TFingerState::fgNone;
      EnableButtons(true);
      break;
    case TFingerState::fgEnrolled:
      if (owner_ != nullptr && owner_->AskYesNo(MessageOwner, LoadStr(kDeleteQuestion))) {
        finger->State = TFingerState::fgDeleted;
        finger->DropTemplates();
        finger->ClearImages();
      }
      break;
  }
  Redraw(index);
}

void TFingers::CancelCurrent() {
  TFinger* finger = CurrentFinger();
  if (finger == nullptr) return;
  finger->State = PrevState;
  Redraw(Current);
  EnableButtons(true);
}

bool TFingers::NoneEnrolled() const { return EnrolledCount() == 0; }

int TFingers::EnrolledCount() const {
  int n = 0;
  for (const auto& f : items_) n += f->State == TFingerState::fgEnrolled ? 1 : 0;
  return n;
}

void TFingers::EnableButtons(bool on) {
  TBaseUI* look = owner_ != nullptr ? owner_->Look() : nullptr;
  if (look == nullptr) return;
  const TValidFingers valid = on ? owner_->ValidFingers() : 0;
  for (int k = 1; k <= kFingerCount; ++k) {
    if (!on) {
      look->EnableFinger(Item(k), false);
    } else if ((valid & FingerBit(k)) != 0) {
      look->EnableFinger(Item(k), true);
    }
  }
}

void TFingers::StoreTemplate(const std::uint8_t* data) {
  TFinger* finger = CurrentFinger();
  if (finger == nullptr) return;
  finger->TemplateLen = TemplateLen;
  const std::size_t len = TemplateLen > 0 && data != nullptr ? static_cast<std::size_t>(TemplateLen) : 0;
  const bool verify = owner_ != nullptr && owner_->DeviceGetsVerifyTemplate();
  std::unique_ptr<TByteBlock>& target = verify ? finger->VerifyTemplate : finger->EnrollTemplate;
  if (!target) target = std::make_unique<TByteBlock>();
  target->assign(data, data + len);
  finger->State = TFingerState::fgEnrolled;
  Redraw(Current);
}

void TFingers::Redraw(int index) {
  TFinger* finger = Item(index);
  TBaseUI* look = owner_ != nullptr ? owner_->Look() : nullptr;
  if (finger != nullptr && look != nullptr) look->ShowFinger(finger);
}

void TFingers::RedrawAll() {
  for (int k = 1; k <= kFingerCount; ++k) Redraw(k);
}

// ---------------------------------------------------------------------------------------
// Text forms

std::string FingerCode(int index) {
  if (index < 1 || index > kFingerCount) return {};
  return std::string(kFingerCodes[static_cast<std::size_t>(index)]);
}

int FingerIndexOfCode(std::string_view code) {
  for (int k = 1; k <= kFingerCount; ++k) {
    if (kFingerCodes[static_cast<std::size_t>(k)] == code) return k;
  }
  return 0;
}

TValidFingers FingerSetFromText(std::string_view text) {
  if (text.empty()) return kAllFingers;
  TValidFingers set = 0;
  for (int k = 1; k <= kFingerCount; ++k) {
    if (text.find(kFingerCodes[static_cast<std::size_t>(k)]) != std::string_view::npos) set |= FingerBit(k);
  }
  return set;
}

TEnrolledListResult ReadEnrolledFingers(std::string_view text, TFingers& fingers, TWasEnrolled& wasEnrolled) {
  wasEnrolled.fill(false);
  fingers.Clear();
  if (text.empty() || text.size() % 2 != 0) return TEnrolledListResult::kIgnored;
  for (std::size_t at = 0; at < text.size(); at += 2) {
    const char side = text[at];
    const char digit = text[at + 1];
    if (digit < '0' || digit > '9') return TEnrolledListResult::kMalformed;
    // Each hand has fingers 1..5: L0, R0 and L6..R9 name no finger (R0 is not L5).
    if (digit < '1' || digit > '5') return TEnrolledListResult::kMalformed;
    int index;
    if (side == 'R') {
      index = digit - '0' + 5;
    } else if (side == 'L') {
      index = digit - '0';
    } else {
      return TEnrolledListResult::kMalformed;
    }
    TFinger* finger = fingers.Item(index);
    finger->State = TFingerState::fgEnrolled;
    wasEnrolled[static_cast<std::size_t>(index)] = true;
  }
  fingers.RedrawAll();
  return TEnrolledListResult::kRead;
}

bool AppendEnrollEntry(std::string& enrollTempStr, int index, const std::uint8_t* data, std::int32_t len) {
  if (index < 1 || index > kFingerCount || len < 0 || (len > 0 && data == nullptr)) return false;
  std::string entry = FingerCode(index) + ";" + std::to_string(len) + ";";
  EncodeBase64(data, static_cast<std::size_t>(len), entry);
  entry += ";";
  enrollTempStr += entry;
  return true;
}

std::string VerifyTemplateText(const std::uint8_t* data, std::int32_t len) {
  if (len <= 0 || data == nullptr) return {};
  return EncodeBase64(data, static_cast<std::size_t>(len));
}

}  // namespace mivex
