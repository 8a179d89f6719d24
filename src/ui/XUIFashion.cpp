#include "ui/XUIFashion.h"

#include <stdexcept>

#include "base/win/Controls.h"
#include "capture/FPBase.h"
#include "ui/ColorBtn.h"
#include "ui/Edit.h"
#include "ui/FashionLayout.h"
#include "ui/GridImage.h"
#include "ui/Image.h"
#include "ui/MultiLabel.h"
#include "ui/PolygonWnd.h"
#include "ui/Sounds.h"
#include "workflow/Catalogue.h"
#include "workflow/Fingers.h"

namespace mivex {

namespace {

// Fonts and colours of the widget table.
constexpr win::TColor kIDColor = 0x00FFFFF1u;    // red 241, green 255, blue 255
constexpr win::TColor kTealColor = 0x46999900u;  // red 0, green 153, blue 153
constexpr win::TColor kSelectedFingerColor = 0x00FF0000u;  // pure blue
constexpr const char* kLookFont = "Times New Roman";

win::TWinControl* WindowedControl(TComponent* control) {
  auto* windowed = dynamic_cast<win::TWinControl*>(control);
  if (!windowed) throw std::invalid_argument("a look needs a windowed control");
  return windowed;
}

TMultiLabel* NewLabel(win::TWinControl* control, int row_space) {
  auto* label = control->Create<TMultiLabel>();
  label->SetRowSpace(row_space);
  label->SetTransparent(true);
  label->SetWantFit(true);
  label->SetWantReturn(true);
  return label;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TFashionUI

TFashionUI::TFashionUI(TComponent* control) : TBaseUI(control), Control(WindowedControl(control)) {
  BlankImage = Control->Create<TImage>();
  Widgets[0] = BlankImage;

  IDLabel = NewLabel(Control, 0);
  IDLabel->Font() = win::TFont(kLookFont, 16, true, kIDColor);
  IDLabel->SetBounds(0, 0, fashion::kIDLabelWidth, fashion::kIDLabelHeight);
  IDLabel->AddLine("ID");
  Widgets[1] = IDLabel;

  UserIDBox = Control->Create<TEdit>();
  UserIDBox->SetEnabled(false);
  UserIDBox->SetBorderStyle(false);
  UserIDBox->Font() = win::TFont(kLookFont, 11, true, kTealColor);
  Widgets[2] = UserIDBox;

  StatusLabel = NewLabel(Control, 5);
  StatusLabel->Font() = win::TFont(kLookFont, 10, true, kTealColor);
  Widgets[3] = StatusLabel;

  auto* background = Control->Create<TImage>();
  background->SetTransparent(true);
  background->LoadPicture(fashion::kBackgroundBitmap);
  Widgets[4] = background;
}

void TFashionUI::Run(std::function<void()> fn) {
  // Until the control has had a window no thread draws it: run at once. Afterwards the
  // window's thread runs the calls in order (and drops them once the window is gone).
  if (!Control->HandleAllocated() && Control->WindowThreadId() == 0) {
    fn();
    return;
  }
  Control->InvokeAsync(std::move(fn));
}

void TFashionUI::Place(int index, const fashion::WidgetPlace& p) {
  win::TControl* w = Widgets[static_cast<size_t>(index)];
  if (!w) return;  // a slot the control has not filled (the device view before BindDevice)
  w->SetBounds(p.left == fashion::kKeep ? w->Left() : p.left, p.top == fashion::kKeep ? w->Top() : p.top,
               p.width == fashion::kKeep ? w->Width() : p.width, p.height == fashion::kKeep ? w->Height() : p.height);
  w->SetVisible(true);
}

void TFashionUI::BindCommonEvents() {
  BlankImage->OnClick = nullptr;
  UserIDBox->OnChange = OnUserIDChange;
}

int TFashionUI::LookWidth() { return fashion::kLookWidth; }
int TFashionUI::LookHeight() { return fashion::kLookHeight; }

std::unique_ptr<TFinger> TFashionUI::CreateFinger(int k) {
  if (k < 1 || k > static_cast<int>(fashion::kFingers.size())) return nullptr;
  const fashion::FingerArea& area = fashion::kFingers[static_cast<size_t>(k - 1)];
  auto owned = std::make_unique<TPolygonBtn>(Control);
  TPolygonBtn* button = owned.get();
  auto finger = std::make_unique<TFinger>(std::move(owned));

  button->OnClick = OnFingerClick;
  button->OnMouseEnter = [](TObject*) { PlayResourceSound(fashion::kHoverSound); };
  button->SetParent(Control);
  button->SetBounds(area.left, area.top, area.width, area.height);
  button->SetEnabled(false);
  button->SetTag(k);
  // The mask alone: its region is built by AttachFinger once the windows exist.
  button->Wnd().SetMask(LoadBitmapGrid(area.mask_id));
  button->SetTransparentColor(win::clWhite);
  button->SetSelected(false);
  button->SetSelectedColor(kSelectedFingerColor);
  return finger;
}

TPolygonBtn* TFashionUI::ButtonOf(TFinger* finger) {
  return finger ? dynamic_cast<TPolygonBtn*>(finger->Button.get()) : nullptr;
}

void TFashionUI::ShowFinger(TFinger* finger) {
  TPolygonBtn* button = ButtonOf(finger);
  if (!button) return;
  switch (finger->State) {
    case TFingerState::fgNone:
    case TFingerState::fgDeleted:
      Run([button] { button->SetSelected(false); });
      break;
    case TFingerState::fgSelected:
    case TFingerState::fgEnrolled:
      Run([button] { button->SetSelected(true); });
      break;
    default:
      break;
  }
}

void TFashionUI::AttachFinger(TFinger* finger) {
  if (TPolygonBtn* button = ButtonOf(finger)) Run([button] { button->RefreshShape(); });
}

void TFashionUI::EnableFinger(TFinger* finger, bool on) {
  if (TPolygonBtn* button = ButtonOf(finger)) Run([button, on] { button->SetEnabled(on); });
}

std::string TFashionUI::GetUserIDText() { return UserIDBox->Text(); }

void TFashionUI::SetUserIDText(const std::string& text) {
  Run([this, text] { UserIDBox->SetText(text); });
}

void TFashionUI::ShowUserIDBox(bool on) {
  Run([this, on] {
    UserIDBox->SetVisible(on);
    IDLabel->SetVisible(on);
  });
}

void TFashionUI::EnableUserIDBox(bool on) {
  Run([this, on] { UserIDBox->SetEnabled(on); });
}

void TFashionUI::ShowStatus(const std::string& text) {
  Run([this, text] {
    StatusLabel->ClearLines();
    if (!text.empty()) StatusLabel->AddLine(text);
    // In front of the background picture, so the texts stay readable.
    StatusLabel->BringToFront();
    IDLabel->BringToFront();
  });
}

win::TControl* TFashionUI::Widget(int index) {
  if (index < 0 || index >= kWidgetCount) return nullptr;
  return Widgets[static_cast<size_t>(index)];
}

// ---------------------------------------------------------------------------------------
// TFashionEnrollUI

TFashionEnrollUI::TFashionEnrollUI(TComponent* control) : TFashionUI(control) {
  auto new_button = [this](const char* glyphs) {
    auto* button = Control->Create<TSoundBtn>();
    button->SetEnabled(false);
    button->SetShowHint(true);
    button->SetNumGlyphs(2);
    button->LoadGlyph(glyphs);
    return button;
  };
  CancelButton = new_button(fashion::kCancelGlyphs);
  Widgets[5] = CancelButton;
  FinishButton = new_button(fashion::kFinishGlyphs);
  Widgets[6] = FinishButton;
  for (int i = 1; i <= fashion::kStepWidgets; ++i) {
    auto* picture = Control->Create<TImage>();
    picture->SetVisible(false);
    picture->LoadPicture(102 + i);
    step_pictures_[static_cast<size_t>(i - 1)] = picture;
    Widgets[static_cast<size_t>(6 + i)] = picture;
  }
}

void TFashionEnrollUI::RefreshLook() {
  Run([this] {
    CancelButton->SetHint(LoadStr(fashion::kCancelHintText));
    FinishButton->SetHint(LoadStr(fashion::kFinishHintText));
    for (int i = 0; i < kWidgetCount; ++i) Place(i, fashion::kEnrollPlaces[static_cast<size_t>(i)]);
    const auto cells = fashion::StepRow(SampleCount);
    for (size_t j = 0; j < cells.size(); ++j)
      if (cells[j].width > 0)
        step_pictures_[j]->SetBounds(cells[j].left, step_pictures_[j]->Top(), cells[j].width, cells[j].height);
  });
}

void TFashionEnrollUI::ShowStep(int n, fashion::StepState state) {
  const int widget = fashion::StepWidget(n);
  if (widget < 0) return;  // steps beyond 8 have no picture
  const int picture_id = fashion::StepPicture(state, n);
  TImage* picture = step_pictures_[static_cast<size_t>(widget)];
  Run([picture, picture_id] {
    picture->SetVisible(true);
    picture->LoadPicture(picture_id);
  });
}

void TFashionEnrollUI::StepDone(int n) { ShowStep(n, fashion::StepState::Done); }
void TFashionEnrollUI::StepFailed(int n) { ShowStep(n, fashion::StepState::Failed); }
void TFashionEnrollUI::StepCurrent(int n) { ShowStep(n, fashion::StepState::Current); }
void TFashionEnrollUI::StepPending(int n) { ShowStep(n, fashion::StepState::Pending); }

void TFashionEnrollUI::StepHidden(int n) {
  const int widget = fashion::StepWidget(n);
  if (widget < 0) return;
  TImage* picture = step_pictures_[static_cast<size_t>(widget)];
  Run([picture] { picture->SetVisible(false); });
}

void TFashionEnrollUI::BindDevice(TFPBase* device) {
  Run([this, device] {
    BindCommonEvents();
    if (!device) return;
    Widgets[11] = device;
    SampleCount = device->EnrollPolicy() == TEnrollPolicy::epEnrollQuality ? 8 : device->GetSampleCount();
    CancelButton->OnClick = OnCancelClick;
    FinishButton->OnClick = OnFinishClick;
  });
}

void TFashionEnrollUI::EnableCancel(bool on) {
  Run([this, on] { CancelButton->SetEnabled(on); });
}

void TFashionEnrollUI::SetCancelHint(const std::string& text) {
  Run([this, text] { CancelButton->SetHint(text); });
}

void TFashionEnrollUI::EnableFinish(bool on) {
  Run([this, on] {
    FinishButton->SetEnabled(on);
    if (FinishButton->CanFocus()) FinishButton->SetFocus();
  });
}

// ---------------------------------------------------------------------------------------
// TFashionVerifyUI

void TFashionVerifyUI::RefreshLook() {
  Run([this] {
    for (size_t i = 0; i < fashion::kVerifyPlaces.size(); ++i) Place(static_cast<int>(i), fashion::kVerifyPlaces[i]);
  });
}

void TFashionVerifyUI::BindDevice(TFPBase* device) {
  Run([this, device] {
    BindCommonEvents();
    if (device) Widgets[5] = device;
  });
}

}  // namespace mivex
