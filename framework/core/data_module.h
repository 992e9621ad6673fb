// A data module: a non-visual container of table views, data sources and the
// like, described by a stored description. Its creation handler (OnCreate)
// runs once the description has been read and its references bound; an
// exception there goes to the exception display and the module still counts
// as created. A module takes its place in the name space for its lifetime.
#pragma once

#include <string_view>

#include "framework/core/component.h"
#include "framework/core/events.h"

class TDataModule : public TComponent {
 public:
  explicit TDataModule(TComponent* owner);
  ~TDataModule() override;
  std::string_view ClassName() const override { return "TDataModule"; }

  // Reads the module's description, then runs OnCreate. The constructor of
  // the derived class calls it as its last step.
  void ReadDescription(std::string_view text, std::string_view source);

  void SetOnCreate(TNotifyEvent handler) { onCreate_ = std::move(handler); }

 protected:
  // Clears the members that held a component going away and drops its
  // pending references.
  void Notification(TComponent* component, TOperation operation) override;

 private:
  TNotifyEvent onCreate_;
};
