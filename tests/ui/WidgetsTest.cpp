// The look's widgets under Wine: polygon buttons, the multi-line label with real fonts,
// the sound button.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/win/Controls.h"
// after windows.h
#include <commctrl.h>
#include "base/win/Form.h"
#include "base/win/MessagePump.h"
#include "ui/ColorBtn.h"
#include "ui/MultiLabel.h"
#include "ui/PolygonWnd.h"

using namespace mivex;
using namespace mivex::win;

namespace {

constexpr TPixel kWhite = PixelRGB(255, 255, 255);
constexpr TPixel kGrey = PixelRGB(95, 95, 95);

// A 10 x 8 mask: a 6 x 8 block at columns 2..7 reaching the bottom row.
PixelGrid BlockMask() {
  PixelGrid g(10, 8, kWhite);
  for (int y = 0; y < 8; ++y)
    for (int x = 2; x < 8; ++x) g.Set(x, y, kGrey);
  return g;
}

struct Host {
  TForm form{nullptr};
  Host() {
    form.SetBorderStyle(TBorderStyle::bsNone);
    form.SetBounds(0, 0, 200, 120);
  }
};

bool RegionContains(HWND hwnd, int x, int y) {
  ScopedRegion rgn(::CreateRectRgn(0, 0, 0, 0));
  if (::GetWindowRgn(hwnd, rgn.get()) == ERROR) return true;  // no region: whole window
  return ::PtInRegion(rgn.get(), x, y) != FALSE;
}

}  // namespace

TEST(PolygonBtn, RegionFollowsTheMaskAndTheButtonTakesItsSize) {
  Host host;
  auto* button = host.form.Create<TPolygonBtn>();
  button->SetBounds(5, 5, 60, 39);
  button->SetParent(&host.form);
  ASSERT_TRUE(host.form.HandleNeeded());
  button->Wnd().SetMask(BlockMask());
  EXPECT_EQ(button->Width(), 60);  // loading the mask alone changes nothing
  button->RefreshShape();
  EXPECT_EQ(button->Width(), 10);
  EXPECT_EQ(button->Height(), 8);
  RECT r;
  ::GetWindowRect(button->HandleIfAllocated(), &r);
  EXPECT_EQ(r.right - r.left, 10);
  HWND h = button->HandleIfAllocated();
  EXPECT_TRUE(RegionContains(h, 2, 0));
  EXPECT_TRUE(RegionContains(h, 7, 6));
  EXPECT_FALSE(RegionContains(h, 1, 3));
  EXPECT_FALSE(RegionContains(h, 8, 3));
  EXPECT_FALSE(RegionContains(h, 4, 7));  // the bottom row stays outside
  EXPECT_NE(button->Wnd().Region(), nullptr);
}

TEST(PolygonBtn, EmptyMaskLeavesRegionAndSizeAlone) {
  Host host;
  auto* button = host.form.Create<TPolygonBtn>();
  button->SetBounds(5, 5, 30, 20);
  button->SetParent(&host.form);
  ASSERT_TRUE(host.form.HandleNeeded());
  button->SetMask(PixelGrid(12, 12, kWhite));
  EXPECT_EQ(button->Wnd().Region(), nullptr);
  EXPECT_EQ(button->Width(), 30);
  ScopedRegion rgn(::CreateRectRgn(0, 0, 0, 0));
  EXPECT_EQ(::GetWindowRgn(button->HandleIfAllocated(), rgn.get()), ERROR);
  // Without a window (no parent yet) applying a shape fails quietly.
  auto* loose = host.form.Create<TPolygonBtn>();
  loose->SetBounds(0, 0, 30, 20);
  loose->SetMask(BlockMask());
  EXPECT_FALSE(loose->HandleAllocated());
  EXPECT_EQ(loose->Width(), 30);
}

TEST(PolygonBtn, PaintsMaskSelectionAndHover) {
  Host host;
  auto* button = host.form.Create<TPolygonBtn>();
  button->SetParent(&host.form);
  ASSERT_TRUE(host.form.HandleNeeded());
  button->SetMask(BlockMask());
  button->RefreshShape();
  OffscreenBitmap canvas(10, 8);
  button->PaintTo(canvas.dc());
  EXPECT_EQ(canvas.Pixel(4, 4), RGB(95, 95, 95));

  button->SetSelectedColor(0x00FF0000u);
  button->SetSelected(true);
  button->PaintTo(canvas.dc());
  EXPECT_EQ(canvas.Pixel(4, 4), RGB(0, 0, 255));
  // Hover picture of a selected button: the bevelled shape in the selection colour.
  const PixelGrid* hover = button->Wnd().HoverImage();
  ASSERT_NE(hover, nullptr);
  EXPECT_EQ(hover->At(4, 4), PixelRGB(0, 0, 255));
  EXPECT_EQ(hover->At(2, 0), static_cast<TPixel>(ColorToRGB(cl3DLight)));
  // RefreshShape makes the hover picture from the plain mask again.
  button->RefreshShape();
  EXPECT_EQ(button->Wnd().HoverImage()->At(4, 4), kGrey);
  // A new transparent colour is not in force before the next RefreshShape.
  button->SetTransparentColor(0x00FF00FFu);
  EXPECT_EQ(button->Wnd().Region() != nullptr, true);
  EXPECT_FALSE(RegionContains(button->HandleIfAllocated(), 0, 0));
}

TEST(PolygonBtn, PointerEnterOnlyWhenEnabled) {
  Host host;
  auto* button = host.form.Create<TPolygonBtn>();
  button->SetParent(&host.form);
  button->SetBounds(10, 10, 10, 8);
  ASSERT_TRUE(host.form.HandleNeeded());
  button->SetMask(BlockMask());
  button->RefreshShape();
  int entered = 0;
  button->OnMouseEnter = [&](TObject* sender) {
    EXPECT_EQ(sender, button);
    ++entered;
  };
  HWND h = button->HandleIfAllocated();
  button->SetEnabled(false);
  ::SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
  EXPECT_EQ(entered, 0);
  EXPECT_FALSE(button->Hovering());
  ::SendMessageW(h, WM_MOUSELEAVE, 0, 0);
  button->SetEnabled(true);
  ::SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
  EXPECT_EQ(entered, 1);
  EXPECT_TRUE(button->Hovering());
  OffscreenBitmap canvas(10, 8);
  button->PaintTo(canvas.dc());
  EXPECT_EQ(canvas.Pixel(2, 0), ColorToRGB(cl3DLight));  // the hover picture
  ::SendMessageW(h, WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(button->Hovering());
}

TEST(MultiLabel, RealFontShrinksTheIDCaptionIntoItsRow) {
  Host host;
  auto* label = host.form.Create<TMultiLabel>();
  label->SetBounds(0, 0, 65, 17);
  label->Font() = TFont("Times New Roman", 16, true, 0x00FFFFF1u);
  label->SetWantFit(true);
  label->SetWantReturn(true);
  label->AddLine("ID");
  OffscreenBitmap canvas(65, 17);
  LabelLayout layout = label->Layout(canvas.dc());
  EXPECT_LT(layout.font_size, 16);
  EXPECT_GE(layout.font_size, 8);
  EXPECT_TRUE(layout.fits);
  ASSERT_EQ(layout.texts.size(), 1u);
  EXPECT_EQ(layout.texts[0].text, "ID");
  // The next size up would not have fitted.
  label->Font().SetSize(layout.font_size + 1);
  label->SetWantFit(false);
  EXPECT_FALSE(label->Layout(canvas.dc()).fits);
}

TEST(MultiLabel, TransparentCopyKeepsWhatLiesBehind) {
  Host host;
  host.form.SetColor(0x00804020u);
  auto* label = host.form.Create<TMultiLabel>();
  label->SetParent(&host.form);
  label->SetBounds(10, 10, 120, 40);
  label->Font() = TFont("Times New Roman", 14, true, 0x46999900u);  // teal
  label->SetTransparent(true);
  label->SetRowSpace(2);
  label->AddLine("WWWW");
  OffscreenBitmap canvas(200, 120);
  host.form.PaintTo(canvas.dc());
  int teal = 0, behind = 0, white = 0;
  for (int y = 10; y < 50; ++y)
    for (int x = 10; x < 130; ++x) {
      const COLORREF c = canvas.Pixel(x, y);
      teal += c == RGB(0, 153, 153);
      behind += c == RGB(0x20, 0x40, 0x80);
      white += c == RGB(255, 255, 255);
    }
  EXPECT_GT(teal, 20);
  EXPECT_GT(behind, 2000);
  EXPECT_EQ(white, 0);
  // Empty lines draw nothing at all.
  label->ClearLines();
  host.form.PaintTo(canvas.dc());
  EXPECT_EQ(canvas.Pixel(20, 20), RGB(0x20, 0x40, 0x80));
  // A negative spacing is ignored.
  label->SetRowSpace(-1);
  EXPECT_EQ(label->RowSpace(), 2);
}

TEST(ColorToRGB, PlainColourWithBitsInTheTopByte) {
  EXPECT_EQ(ColorToRGB(0x46999900u), RGB(0, 153, 153));
  EXPECT_EQ(ColorToRGB(clWindow), ::GetSysColor(COLOR_WINDOW));
}

namespace {
// Records its sounds instead of playing them.
struct RecordingSoundBtn : TSoundBtn {
  using TSoundBtn::TSoundBtn;
  std::vector<std::string>* events = nullptr;
  void PlayWave(int id) override { events->push_back("sound " + std::to_string(id)); }
};
}  // namespace

TEST(SoundBtn, PressAndReleaseSoundAroundTheClick) {
  Host host;
  std::vector<std::string> events;
  auto* button = host.form.Create<RecordingSoundBtn>();
  button->events = &events;
  button->SetParent(&host.form);
  button->SetBounds(10, 10, 65, 25);
  button->SetShowHint(true);
  button->SetHint("Exit");
  button->OnClick = [&](TObject*) { events.push_back("click"); };
  ASSERT_TRUE(host.form.HandleNeeded());
  host.form.SetVisible(true);
  HWND h = button->HandleIfAllocated();
  ASSERT_NE(h, nullptr);
  ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ::SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  ProcessMessages();
  EXPECT_EQ(events, (std::vector<std::string>{"sound 301", "click", "sound 302"}));
  // The hint is the tooltip's text.
  ASSERT_NE(button->Tooltip(), nullptr);
  wchar_t text[64] = {};
  TOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.hwnd = host.form.HandleIfAllocated();
  info.uId = reinterpret_cast<UINT_PTR>(h);
  info.lpszText = text;
  ::SendMessageW(button->Tooltip(), TTM_GETTEXTW, 64, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(std::wstring(text), L"Exit");
  button->SetHint("Cancel");
  ::SendMessageW(button->Tooltip(), TTM_GETTEXTW, 64, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(std::wstring(text), L"Cancel");
}
