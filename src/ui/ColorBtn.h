#pragma once
// A glyph button that sounds when it is pressed (sound 301) and when it is released
// (sound 302). Both sounds play to the end before the button goes on; the click
// handler runs before the release sound.
#include "ui/BitBtn.h"

namespace mivex {

class TSoundBtn : public TBitBtn {
 public:
  explicit TSoundBtn(TComponent* owner) : TBitBtn(owner) {}

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  // Plays one of this library's wave resources synchronously.
  virtual void PlayWave(int id);
};

}  // namespace mivex
