#include "base/Component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace mivex;

namespace {
struct Probe : TComponent {
  Probe(TComponent* owner, std::string name, std::vector<std::string>* log)
      : TComponent(owner), name(std::move(name)), log(log) {}
  ~Probe() override { log->push_back(name); }
  std::string name;
  std::vector<std::string>* log;
};
}  // namespace

TEST(Component, OwnerDestroysOwnedNewestFirst) {
  std::vector<std::string> log;
  {
    TComponent owner;
    Probe* a = owner.Create<Probe>("a", &log);
    a->Create<Probe>("a.child", &log);
    owner.Create<Probe>("b", &log);
    EXPECT_EQ(a->Owner(), &owner);
  }
  EXPECT_EQ(log, (std::vector<std::string>{"b", "a", "a.child"}));
}

TEST(Component, ReleaseHandsOwnershipBack) {
  std::vector<std::string> log;
  std::unique_ptr<TComponent> kept;
  {
    TComponent owner;
    Probe* a = owner.Create<Probe>("a", &log);
    kept = owner.Release(a);
    EXPECT_EQ(owner.Release(a), nullptr);
  }
  EXPECT_TRUE(log.empty());
  kept.reset();
  EXPECT_EQ(log, std::vector<std::string>{"a"});
}
