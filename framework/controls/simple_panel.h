// A borderless panel that holds controls; with Align it docks to an edge of
// its parent or fills what the other aligned controls leave. It takes its
// parent's colour.
#pragma once

#include "framework/controls/control.h"
#include "framework/controls/control_container.h"

class TSimplePanel : public TControl, public TControlContainer {
 public:
  explicit TSimplePanel(TComponent* owner);
  ~TSimplePanel() override;
  std::string_view ClassName() const override { return "TSimplePanel"; }

  TControlContainer* AsContainer() override { return this; }
  TContainerPeer& ContainerPeer() const override { return *peer_; }
  TSize ClientSize() const override { return Bounds().Size(); }
  TControlContainer* ParentContainer() const override { return Parent(); }
  bool LayoutSuspended() const override;
  TResolvedFont ResolvedFont() const override { return TControl::ResolvedFont(); }
  TColor Color() const override;

  static void Register();

 protected:
  void FontOrParentChanged() override;

 private:
  TPanelPeer* peer_;
};
