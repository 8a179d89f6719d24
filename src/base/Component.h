#pragma once
#include <functional>
#include <memory>
#include <vector>

namespace mivex {

// Root of every object that is passed as the sender of an event.
class TObject {
 public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* sender)>;

// Owner-based lifetime: a component made through an owner's Create<T>() belongs to that
// owner and is destroyed with it, newest first. A component made without an owner
// belongs to whoever holds its std::unique_ptr.
class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner = nullptr) : owner_(owner) {}
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }

  // Makes a new component owned by this one: T's constructor receives `this` first.
  template <typename T, typename... Args>
  T* Create(Args&&... args) {
    auto child = std::make_unique<T>(this, std::forward<Args>(args)...);
    T* raw = child.get();
    owned_.push_back(std::move(child));
    return raw;
  }

  // Hands an owned component back to the caller (nullptr when not owned here).
  std::unique_ptr<TComponent> Release(TComponent* child);

  // True once destruction has begun; derived destructors call MarkDestroying() first so
  // that events raised while tearing down can tell.
  bool Destroying() const { return destroying_; }

  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }

 protected:
  void MarkDestroying() { destroying_ = true; }
  // Destroys the owned components now (newest first); derived destructors call it when
  // their owned components must go before their own fields.
  void DestroyOwned();

 private:
  TComponent* owner_;
  std::vector<std::unique_ptr<TComponent>> owned_;
  int tag_ = 0;
  bool destroying_ = false;
};

}  // namespace mivex
