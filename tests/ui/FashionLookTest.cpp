// The fashion looks hosted by a test control under Wine: layout, fingers, steps, status,
// the thread hand-over, screenshots and GDI handle use.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "../support/ProcessObjects.h"
#include "LookHost.h"
#include "PngFile.h"
#include "base/win/Form.h"
#include "base/win/MessagePump.h"
#include "ui/ColorBtn.h"
#include "ui/Edit.h"
#include "ui/Image.h"
#include "ui/MultiLabel.h"
#include "ui/PolygonWnd.h"
#include "workflow/Catalogue.h"

using namespace mivex;
using namespace mivex::win;
using mivex::test::HostedLook;
using mivex::test::LookHost;
using mivex::test::Screenshot;

namespace {

std::vector<int> VisibleStepLefts(TFashionEnrollUI* look) {
  std::vector<int> lefts;
  for (TImage* p : look->StepPictures())
    if (p->Visible() && p->Width() > 0) lefts.push_back(p->Left());
  return lefts;
}

void ExpectBounds(TControl* c, int left, int top, int width, int height) {
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->Left(), left);
  EXPECT_EQ(c->Top(), top);
  EXPECT_EQ(c->Width(), width);
  EXPECT_EQ(c->Height(), height);
}

}  // namespace

TEST(FashionEnrollUI, WidgetsAndFingerAreasAsLaidOut) {
  HostedLook h(true);
  TFashionEnrollUI* look = h.host->enroll_look;
  // Before the control's window exists the fingers keep the table's sizes.
  EXPECT_EQ(h.Button(2)->Width(), 60);
  EXPECT_EQ(h.Button(2)->Height(), 39);
  ASSERT_TRUE(h.Open());
  EXPECT_EQ(h.Button(2)->Width(), 67);
  EXPECT_EQ(h.Button(2)->Height(), 39);
  const int mask_sizes[10][2] = {{37, 46}, {67, 39}, {56, 41}, {43, 39}, {48, 43},
                                 {38, 46}, {68, 39}, {57, 41}, {44, 39}, {46, 42}};
  for (int k = 1; k <= 10; ++k) {
    TPolygonBtn* b = h.Button(k);
    EXPECT_EQ(b->Width(), mask_sizes[k - 1][0]) << k;
    EXPECT_EQ(b->Height(), mask_sizes[k - 1][1]) << k;
    EXPECT_EQ(b->Tag(), k);
    EXPECT_FALSE(b->Enabled());
    EXPECT_EQ(b->SelectedColor(), 0x00FF0000u);
    EXPECT_NE(b->Wnd().Region(), nullptr);
  }
  ExpectBounds(h.Button(1), 129, 108, 37, 46);
  ExpectBounds(look->Widget(0), 0, 0, 0, 0);
  ExpectBounds(look->IDLabel, 336, 47, 65, 17);
  ExpectBounds(look->UserIDBox, 364, 47, 130, 20);
  ExpectBounds(look->StatusLabel, 10, 308, 322, 65);
  ExpectBounds(look->Widget(4), 0, 0, 530, 400);
  ExpectBounds(look->CancelButton, 358, 268, 65, 25);
  ExpectBounds(look->FinishButton, 435, 268, 65, 25);
  ExpectBounds(look->Widget(11), 364, 130, 120, 113);
  EXPECT_EQ(look->Widget(11), h.host->device);
  EXPECT_FALSE(look->UserIDBox->Enabled());
  EXPECT_FALSE(look->CancelButton->Enabled());
  EXPECT_EQ(look->CancelButton->Hint(), LoadStr(207));
  EXPECT_EQ(look->FinishButton->Hint(), LoadStr(203));
  EXPECT_EQ(look->IDLabel->Lines(), (std::vector<std::string>{"ID"}));
  // The quality policy announces 8 presses: four pictures centred on x = 170.
  EXPECT_EQ(look->SampleCount, 8);
  EXPECT_EQ(VisibleStepLefts(look), (std::vector<int>{10, 90, 170, 250}));
  for (int i = 0; i < 4; ++i) {
    ExpectBounds(look->StepPictures()[static_cast<size_t>(i)], 10 + 80 * i, 245, 80, 59);
    EXPECT_EQ(look->StepPictures()[static_cast<size_t>(i)]->PictureId(), 103 + i);
  }
  // Laying out again changes nothing.
  look->RefreshLook();
  EXPECT_EQ(VisibleStepLefts(look), (std::vector<int>{10, 90, 170, 250}));
  EXPECT_EQ(h.Button(2)->Width(), 67);
}

TEST(FashionEnrollUI, StepRowFollowsTheDevicesPressCount) {
  HostedLook h(true, TEnrollPolicy::epEnrollCount, 3);
  ASSERT_TRUE(h.Open());
  TFashionEnrollUI* look = h.host->enroll_look;
  EXPECT_EQ(look->SampleCount, 3);
  EXPECT_EQ(VisibleStepLefts(look), (std::vector<int>{40, 130, 220}));
  EXPECT_EQ(look->StepPictures()[3]->Width(), 0);
}

TEST(FashionEnrollUI, StepPicturesOnTwoPages) {
  HostedLook h(true);
  ASSERT_TRUE(h.Open());
  TFashionEnrollUI* look = h.host->enroll_look;
  const auto& pics = look->StepPictures();
  look->StepCurrent(1);
  look->StepDone(2);
  look->StepFailed(3);
  look->StepPending(4);
  EXPECT_EQ(pics[0]->PictureId(), 107);
  EXPECT_EQ(pics[1]->PictureId(), 112);
  EXPECT_EQ(pics[2]->PictureId(), 117);
  EXPECT_EQ(pics[3]->PictureId(), 106);
  // Steps 5..8 reuse the same four widgets.
  look->StepCurrent(5);
  look->StepPending(6);
  look->StepDone(7);
  look->StepFailed(8);
  EXPECT_EQ(pics[0]->PictureId(), 131);
  EXPECT_EQ(pics[1]->PictureId(), 136);
  EXPECT_EQ(pics[2]->PictureId(), 141);
  EXPECT_EQ(pics[3]->PictureId(), 146);
  look->StepHidden(6);
  EXPECT_FALSE(pics[1]->Visible());
  look->StepDone(6);
  EXPECT_TRUE(pics[1]->Visible());
  EXPECT_EQ(pics[1]->PictureId(), 140);
  EXPECT_EQ(pics[1]->Picture().Width(), 64);
  // No picture exists beyond step 8.
  look->StepDone(9);
  look->StepHidden(0);
  EXPECT_EQ(pics[0]->PictureId(), 131);
  EXPECT_TRUE(pics[3]->Visible());
}

TEST(FashionEnrollUI, FingersStatusAndButtons) {
  HostedLook h(true);
  ASSERT_TRUE(h.Open());
  TFashionEnrollUI* look = h.host->enroll_look;
  TFinger* finger = h.host->fingers[1].get();
  finger->State = TFingerState::fgSelected;
  look->ShowFinger(finger);
  EXPECT_TRUE(h.Button(2)->Selected());
  finger->State = TFingerState::fgDeleted;
  look->ShowFinger(finger);
  EXPECT_FALSE(h.Button(2)->Selected());
  finger->State = TFingerState::fgEnrolled;
  look->ShowFinger(finger);
  EXPECT_TRUE(h.Button(2)->Selected());
  look->EnableFinger(finger, true);
  EXPECT_TRUE(h.Button(2)->Enabled());
  h.Button(2)->Click();
  EXPECT_EQ(h.host->finger_clicks, 1);

  look->ShowStatus("first\r\nsecond");
  EXPECT_EQ(look->StatusLabel->Lines(), (std::vector<std::string>{"first\r\nsecond"}));
  const auto& order = h.host->Controls();
  auto pos = [&](TControl* c) { return std::find(order.begin(), order.end(), c) - order.begin(); };
  EXPECT_GT(pos(look->StatusLabel), pos(look->Widget(4)));
  EXPECT_GT(pos(look->IDLabel), pos(look->StatusLabel));
  look->ShowStatus("");
  EXPECT_TRUE(look->StatusLabel->Lines().empty());

  look->SetUserIDText("A1234");
  EXPECT_EQ(look->GetUserIDText(), "A1234");
  EXPECT_GE(h.host->user_id_changes, 1);
  look->EnableUserIDBox(true);
  EXPECT_TRUE(look->UserIDBox->Enabled());
  look->ShowUserIDBox(false);
  EXPECT_FALSE(look->UserIDBox->Visible());
  EXPECT_FALSE(look->IDLabel->Visible());

  int cancels = 0, finishes = 0;
  look->OnCancelClick = [&](TObject*) { ++cancels; };
  look->OnFinishClick = [&](TObject*) { ++finishes; };
  look->BindDevice(h.host->device);
  look->EnableCancel(true);
  EXPECT_TRUE(look->CancelButton->Enabled());
  look->SetCancelHint("Cancel");
  EXPECT_EQ(look->CancelButton->Hint(), "Cancel");
  look->CancelButton->Click();
  look->EnableFinish(true);
  EXPECT_TRUE(look->FinishButton->Enabled());
  EXPECT_TRUE(look->FinishButton->Focused());
  look->FinishButton->Click();
  EXPECT_EQ(cancels, 1);
  EXPECT_EQ(finishes, 1);
  look->EnableFinish(false);
  EXPECT_FALSE(look->FinishButton->Enabled());
}

TEST(FashionEnrollUI, OtherThreadsCallsRunOnTheWindowThreadInOrder) {
  HostedLook h(true);
  ASSERT_TRUE(h.Open());
  TFashionEnrollUI* look = h.host->enroll_look;
  std::thread worker([&] {
    look->ShowStatus("one");
    look->StepCurrent(1);
    look->StepDone(1);
    look->ShowStatus("two");
    look->EnableCancel(true);
  });
  worker.join();
  // Nothing has happened yet: the calls wait for the window's thread.
  EXPECT_TRUE(look->StatusLabel->Lines().empty());
  EXPECT_FALSE(look->CancelButton->Enabled());
  ProcessMessages();
  EXPECT_EQ(look->StatusLabel->Lines(), (std::vector<std::string>{"two"}));
  EXPECT_EQ(look->StepPictures()[0]->PictureId(), 111);
  EXPECT_TRUE(look->CancelButton->Enabled());
}

TEST(FashionVerifyUI, LaysOutSixWidgetsAndIgnoresStepsAndButtons) {
  HostedLook h(false);
  ASSERT_TRUE(h.Open());
  TFashionUI* look = h.host->look;
  EXPECT_EQ(h.Button(2)->Width(), 67);
  EXPECT_EQ(look->Widget(5), h.host->device);
  ExpectBounds(look->Widget(5), 364, 130, 120, 113);
  ExpectBounds(look->Widget(3), 10, 308, 322, 65);
  for (int i = 6; i < TBaseUI::kWidgetCount; ++i) EXPECT_EQ(look->Widget(i), nullptr);
  // Snapshot every child's state; the step, cancel and finish operations change none.
  struct State {
    bool visible, enabled;
    RECT bounds;
  };
  auto snapshot = [&] {
    std::vector<State> s;
    for (TControl* c : h.host->Controls()) s.push_back(State{c->Visible(), c->Enabled(), c->BoundsRect()});
    return s;
  };
  const std::vector<State> before = snapshot();
  const size_t children = h.host->Controls().size();
  for (int n = 1; n <= 8; ++n) {
    look->StepDone(n);
    look->StepFailed(n);
    look->StepCurrent(n);
    look->StepPending(n);
    look->StepHidden(n);
  }
  look->EnableCancel(true);
  look->SetCancelHint("x");
  look->EnableFinish(true);
  ProcessMessages();
  const std::vector<State> after = snapshot();
  ASSERT_EQ(h.host->Controls().size(), children);
  for (size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(before[i].visible, after[i].visible) << i;
    EXPECT_EQ(before[i].enabled, after[i].enabled) << i;
    EXPECT_TRUE(::EqualRect(&before[i].bounds, &after[i].bounds)) << i;
  }
}

TEST(FashionLooks, Screenshots) {
  {
    HostedLook h(true);
    ASSERT_TRUE(h.Open());
    TFashionEnrollUI* look = h.host->enroll_look;
    look->SetUserIDText("100-2345");
    look->EnableUserIDBox(true);
    for (auto& f : h.host->fingers) look->EnableFinger(f.get(), true);
    h.host->fingers[5]->State = TFingerState::fgEnrolled;
    look->ShowFinger(h.host->fingers[5].get());
    h.host->fingers[1]->State = TFingerState::fgSelected;
    look->ShowFinger(h.host->fingers[1].get());
    look->StepDone(1);
    look->StepCurrent(2);
    look->StepPending(3);
    look->StepPending(4);
    look->EnableCancel(true);
    look->ShowStatus(
        "1. The finger you chose: Left Forefinger\r\n2. Press the finger orderly. Press Times: 8\r\n"
        "3. To change your fingerprint, please click [Cancel]");
    Screenshot(h, "enroll-look.png");
  }
  {
    HostedLook h(false);
    ASSERT_TRUE(h.Open());
    h.host->look->SetUserIDText("100-2345");
    h.host->look->ShowStatus("Please place previously enrolled fingerprint on image to initiate user ID verification.");
    Screenshot(h, "verify-look.png");
  }
}

using mivex::testing::GdiObjectCount;

TEST(FashionLooks, RepeatedCreationLeaksNoGdiObject) {
  ASSERT_GE(GdiObjectCount(), 0);
  {
    // The count must see objects come and go, or the check below proves nothing.
    const long base = GdiObjectCount();
    std::vector<ScopedRegion> probes;
    for (int i = 0; i < 50; ++i) probes.emplace_back(::CreateRectRgn(0, 0, 1, 1));
    EXPECT_EQ(GdiObjectCount(), base + 50);
    probes.clear();
    EXPECT_EQ(GdiObjectCount(), base);
  }
  // One form hosts each look in turn: the look, its widgets and fingers are what is
  // created and destroyed.
  TForm form(nullptr);
  form.SetBorderStyle(TBorderStyle::bsNone);
  form.SetBounds(16, 16, 530, 400);
  ASSERT_TRUE(form.HandleNeeded());
  auto cycle = [&form](bool enroll, bool paint) {
    auto* host = form.Create<LookHost>(enroll);
    host->SetParent(&form);
    host->look->ShowStatus("status");
    if (host->enroll_look) {
      host->enroll_look->StepCurrent(1);
      host->enroll_look->EnableFinish(true);
    }
    TPolygonBtn* button = TFashionUI::ButtonOf(host->fingers[1].get());
    button->SetSelected(true);
    if (paint) {
      OffscreenBitmap canvas(530, 400);
      host->PaintTo(canvas.dc());
      button->PaintTo(canvas.dc());
    }
    ProcessMessages();
    form.Release(host).reset();
  };
  // Warm up: first uses create the process's shared objects (stock fonts, classes).
  cycle(true, true);
  cycle(false, true);
  ProcessMessages();
  const long before = GdiObjectCount();
  for (int i = 0; i < 500; ++i) {
    // Painting every tenth time: a paint that leaked would still leave 50 objects.
    cycle(true, i % 10 == 0);
    cycle(false, i % 10 == 0);
  }
  ProcessMessages();
  const long after = GdiObjectCount();
  std::printf("GDI objects before %ld, after 500 creations of both looks %ld\n", before, after);
  EXPECT_LE(after, before);
}
