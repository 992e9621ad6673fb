// A borderless panel that holds controls; with Align it docks to an edge of
// its parent or fills what the other aligned controls leave.
#pragma once

#include "framework/ui/control.h"
#include "framework/ui/control_container.h"

class TSimplePanel : public TControl, public TControlContainer {
 public:
  explicit TSimplePanel(TComponent* owner);
  ~TSimplePanel() override;
  std::string_view ClassName() const override { return "TSimplePanel"; }

  TControlContainer* AsContainer() override { return this; }
  QWidget* ClientWidget() const override { return Widget(); }
  TControlContainer* ParentContainer() const override { return Parent(); }
  bool LayoutSuspended() const override;

  static void Register();
};
