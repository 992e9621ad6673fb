#include "framework/core/reference_binding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>

#include "framework/core/name_space.h"
#include "tests/framework/core/core_test_classes.h"

namespace {

std::unique_ptr<TProbeModule> nestedModule;

TProbe* ProbeIn(TComponent& root, std::string_view name) { return dynamic_cast<TProbe*>(root.FindComponent(name)); }

class ReferenceBindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterProbeClasses();
    ProbeLog().clear();
  }
  void TearDown() override { EXPECT_TRUE(PendingReferenceNames().empty()); }
};

constexpr std::string_view kWindow = R"(
TPlainForm fmMain {
  TProbe DBText2 { Link = dmActive.dsIndex }
  TProbe Bar { Link = DMOLD.DSPATIENT }
  TProbe Never { Link = dmNever.dsSomething }
  TProbe Gone { Link = dmOld.dsMissing }
})";

TEST_F(ReferenceBindingTest, AWindowReadBeforeItsModulesIsBoundAsEachModuleIsRead) {
  auto window = std::make_unique<TPlainForm>(nullptr);
  window->ReadDescription(kWindow, "main.fwd");
  EXPECT_EQ(PendingReferenceNames(),
            (std::vector<std::string>{"DBText2.Link -> dmActive.dsIndex", "Bar.Link -> DMOLD.DSPATIENT",
                                      "Never.Link -> dmNever.dsSomething", "Gone.Link -> dmOld.dsMissing"}));
  EXPECT_EQ(ProbeIn(*window, "Bar")->link, nullptr);

  // The old module binds what names it, without regard to case; a component it
  // lacks leaves the property empty, and that reference is done with too.
  auto old = std::make_unique<TProbeModule>(nullptr);
  old->ReadDescription("TProbeModule dmOld { TProbe dsPatient { } }", "old.fwd");
  EXPECT_EQ(ProbeIn(*window, "Bar")->link, old->FindComponent("dsPatient"));
  EXPECT_EQ(ProbeIn(*window, "Gone")->link, nullptr);
  EXPECT_EQ(PendingReferenceNames(),
            (std::vector<std::string>{"DBText2.Link -> dmActive.dsIndex", "Never.Link -> dmNever.dsSomething"}));

  // The active module's references are bound before its creation handler runs.
  TProbe* counterLabel = ProbeIn(*window, "DBText2");
  auto active = std::make_unique<TProbeModule>(nullptr);
  active->SetOnCreate([&](TComponent*) {
    ProbeLog().push_back(std::string("create sees ") + (counterLabel->link ? counterLabel->link->Name() : "nothing"));
  });
  ProbeLog().clear();
  active->ReadDescription("TProbeModule dmActive { TProbe dsIndex { } }", "active.fwd");
  EXPECT_EQ(ProbeLog(), (std::vector<std::string>{"DBText2.Link=dsIndex", "loaded dsIndex", "create sees dsIndex"}));

  // A module never created: the reference stays unbound and the property empty.
  EXPECT_EQ(PendingReferenceNames(), std::vector<std::string>{"Never.Link -> dmNever.dsSomething"});
  EXPECT_EQ(ProbeIn(*window, "Never")->link, nullptr);

  // Destroying the window drops its pending references.
  window.reset();
  EXPECT_TRUE(PendingReferenceNames().empty());
}

TEST_F(ReferenceBindingTest, AReferenceWhosePropertyGotAValueMeanwhileIsDroppedAtTheNextWalk) {
  TPlainForm window(nullptr);
  window.ReadDescription("TPlainForm fmA { TProbe P { Link = dmLater.X } TProbe Q { } }", "a.fwd");
  TProbe* p = ProbeIn(window, "P");
  p->SetLink(ProbeIn(window, "Q"));
  ASSERT_EQ(PendingReferenceNames().size(), 1u);
  TProbeModule unrelated(nullptr);
  unrelated.ReadDescription("TProbeModule dmUnrelated { }", "u.fwd");
  EXPECT_TRUE(PendingReferenceNames().empty());
  EXPECT_EQ(p->link, ProbeIn(window, "Q"));
  // The module that arrives later does not overwrite it.
  TProbeModule later(nullptr);
  later.ReadDescription("TProbeModule dmLater { TProbe X { } }", "l.fwd");
  EXPECT_EQ(p->link, ProbeIn(window, "Q"));
}

TEST_F(ReferenceBindingTest, AComponentDestroyedBeforeItsModuleArrivesTakesItsReferenceAlong) {
  TPlainForm window(nullptr);
  window.ReadDescription("TPlainForm fmB { TProbe P { Link = dmSoon.X } TProbe Q { Link = dmSoon.X } }", "b.fwd");
  delete window.FindComponent("P");
  EXPECT_EQ(PendingReferenceNames(), std::vector<std::string>{"Q.Link -> dmSoon.X"});
  TProbeModule soon(nullptr);
  soon.ReadDescription("TProbeModule dmSoon { TProbe X { } }", "s.fwd");
  EXPECT_EQ(ProbeIn(window, "Q")->link, soon.FindComponent("X"));
}

TEST_F(ReferenceBindingTest, AModuleStillBeingReadIsNotBoundIntoUntilItsReadEnds) {
  // dmOuter's description, while being read, has a second module read (as a
  // component's constructor might); that one refers back into dmOuter.
  RegisterComponentClass<TProbe>("TNester").Boolean("Nest", [](TProbe&, bool) {
    nestedModule = std::make_unique<TProbeModule>(nullptr);
    nestedModule->ReadDescription("TProbeModule dmInner { TProbe Back { Link = dmOuter.Target } }", "inner.fwd");
    ProbeLog().push_back(std::string("inner read, ") + std::to_string(PendingReferenceNames().size()) + " pending");
  });
  TProbeModule outer(nullptr);
  outer.ReadDescription("TProbeModule dmOuter { TProbe Target { } TNester N { Nest = true } }", "outer.fwd");
  // When the inner read ended, its reference into dmOuter was still waiting.
  EXPECT_NE(std::find(ProbeLog().begin(), ProbeLog().end(), "inner read, 1 pending"), ProbeLog().end());
  EXPECT_EQ(ProbeIn(*nestedModule, "Back")->link, outer.FindComponent("Target"));
  nestedModule.reset();
}

TEST_F(ReferenceBindingTest, ModulesReadOnTwoThreadsBindEachOther) {
  std::unique_ptr<TProbeModule> left, right;
  std::thread a([&] {
    left = std::make_unique<TProbeModule>(nullptr);
    left->ReadDescription("TProbeModule dmLeft { TProbe Probe1 { Link = dmRight.Probe1 } }", "left.fwd");
  });
  std::thread b([&] {
    right = std::make_unique<TProbeModule>(nullptr);
    right->ReadDescription("TProbeModule dmRight { TProbe Probe1 { Link = dmLeft.Probe1 } }", "right.fwd");
  });
  a.join();
  b.join();
  EXPECT_EQ(left->Probe1->link, right->Probe1);
  EXPECT_EQ(right->Probe1->link, left->Probe1);
  // Destroyed targets clear the probes' references through removal notices.
  right.reset();
  EXPECT_EQ(left->Probe1->link, nullptr);
}

TEST_F(ReferenceBindingTest, WindowsAreFoundBeforeDataModulesOfTheSameName) {
  TProbeModule module(nullptr);
  module.ReadDescription("TProbeModule dmTwin { TProbe X { } }", "m.fwd");
  TPlainForm window(nullptr);
  window.ReadDescription("TPlainForm dmTwin { TProbe X { } }", "w.fwd");
  TProbeModule user(nullptr);
  user.ReadDescription("TProbeModule dmUser { TProbe P { Link = dmTwin.X } }", "u.fwd");
  EXPECT_EQ(ProbeIn(user, "P")->link, window.FindComponent("X"));
  EXPECT_EQ(FindGlobalComponent("DMTWIN"), &window);
}

TEST(FindNestedComponentTest, WalksOwnedComponentsPartByPart) {
  TComponent root;
  auto* a = new TComponent(&root);
  a->SetName("a");
  auto* b = new TComponent(a);
  b->SetName("B");
  EXPECT_EQ(FindNestedComponent(&root, "A.b"), b);
  EXPECT_EQ(FindNestedComponent(&root, "a"), a);
  EXPECT_EQ(FindNestedComponent(&root, "b"), nullptr);
  EXPECT_EQ(FindNestedComponent(&root, "a.b.c"), nullptr);
  EXPECT_EQ(FindNestedComponent(&root, ""), nullptr);
}

}  // namespace
