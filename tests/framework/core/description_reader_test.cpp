#include "framework/core/description_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "framework/core/exceptions.h"
#include "framework/core/reference_binding.h"
#include "tests/framework/core/core_test_classes.h"

namespace {

class DescriptionReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterProbeClasses();
    ProbeLog().clear();
  }

  std::string ErrorOf(std::string_view text) {
    TProbeModule module(nullptr);
    try {
      module.ReadDescription(text, "m.fwd");
    } catch (const EReadError& e) {
      return e.Message();
    }
    return "no error";
  }
};

TEST_F(DescriptionReaderTest, CreatesComponentsOwnedByTheRootWithTheirProperties) {
  TProbeModule module(nullptr);
  module.ReadDescription(R"(
TProbeModule dmProbe {
  TProbe Probe1 {
    Caption = "Zustimmung"
    Size = -17
    Flag = true
    Mode = PMFAST
    Options = [poRed, poBlue]
    Lines = ("a", "b")
    TProbe Inner { Lines = "single" }
  }
  TProbe Probe2 { }
})",
                         "m.fwd");
  EXPECT_EQ(module.Name(), "dmProbe");
  ASSERT_EQ(module.ComponentCount(), 3u);
  // Everything is owned by the root, in reading order; nesting sets the parent.
  EXPECT_EQ(module.Components(0)->Name(), "Probe1");
  EXPECT_EQ(module.Components(1)->Name(), "Inner");
  EXPECT_EQ(module.Components(2)->Name(), "Probe2");
  ASSERT_NE(module.Probe1, nullptr);
  EXPECT_EQ(module.Probe1, module.Components(0));
  EXPECT_EQ(module.Probe2, module.Components(2));
  EXPECT_EQ(module.Probe1->parent, &module);
  auto* inner = static_cast<TProbe*>(module.Components(1));
  EXPECT_EQ(inner->parent, module.Probe1);
  EXPECT_EQ(inner->lines, std::vector<std::string>{"single"});
  EXPECT_EQ(module.Probe1->caption, "Zustimmung");
  EXPECT_EQ(module.Probe1->size, -17);
  EXPECT_TRUE(module.Probe1->flag);
  EXPECT_EQ(module.Probe1->mode, TProbeMode::pmFast);
  EXPECT_EQ(module.Probe1->options, (std::set<TProbeOption>{TProbeOption::poRed, TProbeOption::poBlue}));
  EXPECT_EQ(module.Probe1->lines, (std::vector<std::string>{"a", "b"}));
  // Every component is told Loaded once all is read, not loading any more, the root last.
  EXPECT_EQ(ProbeLog(), (std::vector<std::string>{"loaded Probe1", "loaded Inner", "loaded Probe2"}));
  EXPECT_FALSE(module.Loading());
  EXPECT_FALSE(module.Reading());
}

TEST_F(DescriptionReaderTest, EventsCallTheHandlerOfTheRootWithTheSender) {
  TProbeModule module(nullptr);
  module.ReadDescription("TProbeModule dm { TProbe Probe1 { OnFire = fired } }", "m.fwd");
  ASSERT_TRUE(module.Probe1->onFire);
  module.Probe1->onFire(module.Probe1);
  ASSERT_EQ(module.fired.size(), 1u);
  EXPECT_EQ(module.fired[0], module.Probe1);
}

TEST_F(DescriptionReaderTest, ReferencesInsideTheRootBindForwardAndByPath) {
  TProbeModule module(nullptr);
  module.ReadDescription(R"(
TProbeModule dm {
  TProbe Probe1 { Link = PROBE2 }
  TProbe Probe2 { Link = missing  Peer = Probe1 }
  TProbe Holder { Link = Probe1.Nothing }
})",
                         "m.fwd");
  EXPECT_EQ(module.Probe1->link, module.Probe2);
  EXPECT_EQ(module.Probe2->link, module.Probe1);  // "missing" left it empty; Peer set it
  // A dotted name is first looked up inside the root: Probe1 owns nothing, so
  // it waits for a module named Probe1.
  EXPECT_EQ(PendingReferenceNames(), std::vector<std::string>{"Holder.Link -> Probe1.Nothing"});
}

TEST_F(DescriptionReaderTest, RemovedComponentsClearTheRootsMembers) {
  TProbeModule module(nullptr);
  module.ReadDescription("TProbeModule dm { TProbe Probe1 { } }", "m.fwd");
  delete module.Probe1;
  EXPECT_EQ(module.Probe1, nullptr);
}

TEST_F(DescriptionReaderTest, ReportsWhatDoesNotFitTheClasses) {
  EXPECT_EQ(ErrorOf("TProbeModule dm {\n TWidget W { } }"), "m.fwd:2: Class TWidget not found");
  EXPECT_EQ(ErrorOf("TDataModule dm { }"), "m.fwd:1: the description is of class TDataModule, the object of class TProbeModule");
  EXPECT_EQ(ErrorOf("TProbeModule dm {\n\n TProbe P { Colour = 1 } }"), "m.fwd:3: class TProbe has no property Colour");
  EXPECT_EQ(ErrorOf("TProbeModule dm { TProbe P { Size = \"x\" } }"), "m.fwd:1: P.Size: expected whole number, found text");
  EXPECT_EQ(ErrorOf("TProbeModule dm { TProbe P { Size = 3000000000 } }"), "m.fwd:1: P.Size: 3000000000 is out of range");
  EXPECT_EQ(ErrorOf("TProbeModule dm { TProbe P { Mode = pmMedium } }"),
            "m.fwd:1: P.Mode: 'pmMedium' is none of pmOff, pmSlow, pmFast");
  EXPECT_EQ(ErrorOf("TProbeModule dm { TProbe P { OnFire = Missing } }"),
            "m.fwd:1: P.OnFire: class TProbeModule has no handler Missing");
  EXPECT_EQ(ErrorOf("TProbeModule dm { TProbe P { } TProbe p { } }"),
            "m.fwd:1: p: A component named p already exists");
  EXPECT_EQ(ErrorOf("TProbeModule dm {\n TProbe P { }\n TDataModule Probe1 { }\n}"),
            "m.fwd:3: Probe1: the component Probe1 of class TDataModule does not fit here");
  EXPECT_EQ(ErrorOf("TProbeModule dm { TProbe P { Peer = dm2 } TDataModule dm2 { } }"),
            "m.fwd:1: P.Peer: the component dm2 of class TDataModule does not fit here");
  EXPECT_EQ(ErrorOf("TProbeModule dm { TProbe P { Link = \"P\" } }"), "m.fwd:1: P.Link: expected identifier, found text");
  EXPECT_EQ(ErrorOf("TProbeModule dm { TCustomForm F { } }"), "m.fwd:1: class TCustomForm cannot be created");
}

TEST_F(DescriptionReaderTest, AFailedReadLeavesNothingLoadingAndNothingPending) {
  TProbeModule module(nullptr);
  EXPECT_THROW(module.ReadDescription("TProbeModule dm { TProbe A { Link = dmOther.X } TProbe B { Size = no } }", "m.fwd"),
               EReadError);
  EXPECT_FALSE(module.Loading());
  ASSERT_EQ(module.ComponentCount(), 2u);
  EXPECT_FALSE(module.Components(0)->Loading());
  EXPECT_TRUE(PendingReferenceNames().empty());
  EXPECT_TRUE(ProbeLog().empty());
}

TEST_F(DescriptionReaderTest, ARootOfAnUnregisteredOrMisnamedClassIsRefused) {
  class TUnregistered : public TDataModule {
   public:
    using TDataModule::TDataModule;
    std::string_view ClassName() const override { return "TUnregistered"; }
  };
  TUnregistered unregistered(nullptr);
  EXPECT_THROW(unregistered.ReadDescription("TUnregistered x { }", "m.fwd"), EReadError);
  // A class that claims the name of a class it is not.
  class TImpostor : public TDataModule {
   public:
    using TDataModule::TDataModule;
    std::string_view ClassName() const override { return "TProbeModule"; }
  };
  TImpostor impostor(nullptr);
  EXPECT_THROW(impostor.ReadDescription("TProbeModule x { }", "m.fwd"), EReadError);
}

}  // namespace
