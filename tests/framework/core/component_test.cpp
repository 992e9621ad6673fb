#include "framework/core/component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/exceptions.h"

namespace {

// Records its destruction in a shared log, and the removal notices it hears.
class Probe : public TComponent {
 public:
  Probe(TComponent* owner, std::string name, std::vector<std::string>& log) : TComponent(owner), log_(log) {
    SetName(name);
  }
  ~Probe() override { log_.push_back("destroy " + Name()); }
  void Notification(TComponent* component, TOperation operation) override {
    if (operation == TOperation::opRemove && component != nullptr && Owner() != component) {
      log_.push_back(Name() + " hears " + component->Name());
    }
  }

 private:
  std::vector<std::string>& log_;
};

TEST(ComponentTest, OwnedComponentsAreDestroyedLastCreatedFirst) {
  std::vector<std::string> log;
  auto* root = new Probe(nullptr, "root", log);
  new Probe(root, "a", log);
  auto* b = new Probe(root, "b", log);
  new Probe(b, "b1", log);
  new Probe(root, "c", log);
  ASSERT_EQ(root->ComponentCount(), 3u);
  EXPECT_EQ(root->Components(0)->Name(), "a");
  EXPECT_EQ(root->Components(2)->Name(), "c");
  delete root;
  // A derived destructor runs before the base destroys what it owns.
  EXPECT_EQ(log, (std::vector<std::string>{"destroy root", "destroy c", "destroy b", "destroy b1", "destroy a"}));
}

TEST(ComponentTest, FindsOwnedComponentsWithoutRegardToCase) {
  std::vector<std::string> log;
  TComponent owner;
  auto* table = new Probe(&owner, "dPatient", log);
  EXPECT_EQ(owner.FindComponent("DPATIENT"), table);
  EXPECT_EQ(owner.FindComponent("dpatient"), table);
  EXPECT_EQ(owner.FindComponent("dSession"), nullptr);
  EXPECT_EQ(owner.FindComponent(""), nullptr);
}

TEST(ComponentTest, RefusesASecondComponentOfTheSameNameInOneOwner) {
  std::vector<std::string> log;
  TComponent owner;
  new Probe(&owner, "dData", log);
  auto* other = new Probe(&owner, "dSession", log);
  EXPECT_THROW(other->SetName("DDATA"), EComponentError);
  EXPECT_EQ(other->Name(), "dSession");
  // Two unnamed components may share an owner.
  new Probe(&owner, "", log);
  EXPECT_NO_THROW(new Probe(&owner, "", log));
}

TEST(ComponentTest, DestroyedComponentLeavesItsOwnerAndNotifiesListeners) {
  std::vector<std::string> log;
  TComponent owner;
  auto* source = new Probe(&owner, "dsIndex", log);
  auto* label = new Probe(&owner, "LabelPat", log);
  label->FreeNotification(source);
  delete source;
  EXPECT_EQ(owner.ComponentCount(), 1u);
  EXPECT_EQ(owner.FindComponent("dsIndex"), nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"destroy dsIndex", "LabelPat hears dsIndex"}));
}

TEST(ComponentTest, RemovedFreeNotificationIsNotDelivered) {
  std::vector<std::string> log;
  TComponent owner;
  auto* source = new Probe(&owner, "a", log);
  auto* listener = new Probe(&owner, "b", log);
  listener->FreeNotification(source);
  listener->RemoveFreeNotification(source);
  delete source;
  EXPECT_EQ(log, (std::vector<std::string>{"destroy a"}));
}

TEST(ComponentTest, InsertComponentMovesOwnership) {
  std::vector<std::string> log;
  TComponent first, second;
  auto* item = new Probe(&first, "item", log);
  second.InsertComponent(item);
  EXPECT_EQ(item->Owner(), &second);
  EXPECT_EQ(first.ComponentCount(), 0u);
  EXPECT_EQ(second.FindComponent("ITEM"), item);
}

TEST(ComponentTest, AbortThrowsTheSilentException) {
  EXPECT_THROW(Abort(), EAbort);
}

}  // namespace
