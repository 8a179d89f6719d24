#include "base/Component.h"

#include <algorithm>

namespace mivex {

TComponent::~TComponent() {
  destroying_ = true;
  DestroyOwned();
}

void TComponent::DestroyOwned() {
  while (!owned_.empty()) {
    // Take it out first: a child's destructor may look at its owner's list.
    std::unique_ptr<TComponent> last = std::move(owned_.back());
    owned_.pop_back();
    last.reset();
  }
}

std::unique_ptr<TComponent> TComponent::Release(TComponent* child) {
  auto it = std::find_if(owned_.begin(), owned_.end(),
                         [child](const std::unique_ptr<TComponent>& p) { return p.get() == child; });
  if (it == owned_.end()) return nullptr;
  std::unique_ptr<TComponent> out = std::move(*it);
  owned_.erase(it);
  return out;
}

}  // namespace mivex
