#include "ui/Sounds.h"

#include <windows.h>
#include <mmsystem.h>

#include "base/win/Controls.h"

namespace mivex {

bool PlayResourceSound(int id) {
  return ::PlaySoundW(MAKEINTRESOURCEW(id), win::ThisModule(), SND_RESOURCE | SND_SYNC | SND_NODEFAULT) != FALSE;
}

}  // namespace mivex
