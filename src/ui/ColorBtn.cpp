#include "ui/ColorBtn.h"

#include "ui/FashionLayout.h"
#include "ui/Sounds.h"

namespace mivex {

LRESULT TSoundBtn::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_LBUTTONDOWN: {
      const LRESULT r = TBitBtn::WndProc(msg, wp, lp);
      PlayWave(fashion::kPressSound);
      return r;
    }
    case WM_LBUTTONUP: {
      // The system button handling raises the click (through the parent's reflected
      // notification) before it returns.
      const LRESULT r = TBitBtn::WndProc(msg, wp, lp);
      PlayWave(fashion::kReleaseSound);
      return r;
    }
    default:
      return TBitBtn::WndProc(msg, wp, lp);
  }
}

void TSoundBtn::PlayWave(int id) { PlayResourceSound(id); }

}  // namespace mivex
