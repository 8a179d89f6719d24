#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "base/win/Controls.h"
#include "base/win/Form.h"
#include "base/win/MessagePump.h"

using namespace mivex;
using namespace mivex::win;

namespace {
// A windowless control that fills itself with one colour.
struct Swatch : TControl {
  Swatch(TComponent* owner, COLORREF c) : TControl(owner), colour(c) {}
  void Paint(HDC dc) override {
    ScopedBrush b(::CreateSolidBrush(colour));
    RECT r{0, 0, Width(), Height()};
    ::FillRect(dc, &r, b.get());
  }
  COLORREF colour;
};

struct Surface : TCustomControl {
  using TCustomControl::TCustomControl;
  int handle_created = 0;
  void HandleCreated() override { ++handle_created; }
};
}  // namespace

TEST(Controls, WindowlessChildrenPaintInZOrderAndBringToFrontReorders) {
  TForm form(nullptr);
  Surface* surface = form.Create<Surface>();
  surface->SetBounds(0, 0, 100, 50);
  surface->SetColor(clWhite);
  Swatch* red = form.Create<Swatch>(RGB(255, 0, 0));
  Swatch* blue = form.Create<Swatch>(RGB(0, 0, 255));
  red->SetBounds(10, 10, 40, 20);
  blue->SetBounds(30, 10, 40, 20);
  red->SetParent(surface);
  blue->SetParent(surface);

  OffscreenBitmap canvas(100, 50);
  surface->PaintTo(canvas.dc());
  EXPECT_EQ(canvas.Pixel(5, 5), RGB(255, 255, 255));
  EXPECT_EQ(canvas.Pixel(15, 15), RGB(255, 0, 0));
  EXPECT_EQ(canvas.Pixel(40, 15), RGB(0, 0, 255));  // blue lies on top

  red->BringToFront();
  surface->PaintTo(canvas.dc());
  EXPECT_EQ(canvas.Pixel(40, 15), RGB(255, 0, 0));
}

TEST(Controls, ChildWindowsAreCreatedWithTheParentsWindow) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  Surface* surface = form.Create<Surface>();
  surface->SetBounds(0, 0, 100, 50);
  surface->SetParent(&form);
  EXPECT_FALSE(surface->HandleAllocated());
  ASSERT_TRUE(form.HandleNeeded());
  EXPECT_TRUE(surface->HandleAllocated());
  EXPECT_EQ(surface->handle_created, 1);
  EXPECT_EQ(::GetParent(surface->HandleIfAllocated()), form.HandleIfAllocated());
}

TEST(Controls, AChildAskedForItsWindowFirstGetsExactlyOne) {
  // The child's request creates the parent's window, which creates the child's.
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  Surface* surface = form.Create<Surface>();
  surface->SetBounds(0, 0, 100, 50);
  surface->SetParent(&form);
  ASSERT_TRUE(surface->HandleNeeded());
  EXPECT_EQ(surface->handle_created, 1);
  int children = 0;
  for (HWND c = ::GetWindow(form.HandleIfAllocated(), GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) ++children;
  EXPECT_EQ(children, 1);
  EXPECT_EQ(::GetWindow(form.HandleIfAllocated(), GW_CHILD), surface->HandleIfAllocated());
}

TEST(Controls, InvokeAsyncRunsOnTheWindowThreadInOrder) {
  TForm form(nullptr);
  ASSERT_TRUE(form.HandleNeeded());
  std::vector<int> order;
  std::vector<DWORD> threads;
  std::thread worker([&] {
    for (int i = 0; i < 50; ++i)
      form.InvokeAsync([&, i] {
        order.push_back(i);
        threads.push_back(::GetCurrentThreadId());
      });
  });
  worker.join();
  ProcessMessages();
  ASSERT_EQ(order.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(order[i], i);
  for (DWORD t : threads) EXPECT_EQ(t, ::GetCurrentThreadId());
}

TEST(Controls, ModalLoopEndsWhenAnotherThreadSetsTheResult) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  form.SetCaption("modal test");
  std::thread closer([&] {
    ::Sleep(300);
    form.SetModalResult(mrOk);
  });
  DWORD start = ::GetTickCount();
  int result = form.ShowModal();
  closer.join();
  EXPECT_EQ(result, mrOk);
  EXPECT_LT(::GetTickCount() - start, 5000u);  // woken by the posted message, not by input
}

TEST(Controls, CloseBoxEndsTheModalLoopWithCancel) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  ASSERT_TRUE(form.HandleNeeded());
  ::PostMessageW(form.HandleIfAllocated(), WM_CLOSE, 0, 0);
  EXPECT_EQ(form.ShowModal(), mrCancel);
}
