// What holds controls: a window or a panel. It keeps its child controls in
// the order they were inserted and places the aligned ones: top-aligned
// controls stack from the top edge in the order of their tops, bottom-aligned
// ones from the bottom edge, left and right likewise, and a client-aligned
// control fills what is left. Invisible controls take no room.
#pragma once

#include <vector>

#include "framework/controls/color.h"
#include "framework/controls/font.h"
#include "framework/controls/geometry.h"

class TContainerPeer;
class TControl;

class TControlContainer {
 public:
  virtual ~TControlContainer() = default;

  // The native window the children's widgets live in.
  virtual TContainerPeer& ContainerPeer() const = 0;
  // The client area's size in design pixels.
  virtual TSize ClientSize() const = 0;
  // The container this one sits in, or null for a window.
  virtual TControlContainer* ParentContainer() const = 0;
  // Whether layout waits: while loading (the end of loading lays out) and
  // while being destroyed.
  virtual bool LayoutSuspended() const = 0;
  // The font that children with ParentFont take.
  virtual TResolvedFont ResolvedFont() const = 0;
  // The background children are drawn on.
  virtual TColor Color() const = 0;

  const std::vector<TControl*>& Controls() const { return controls_; }

  // Places the aligned children inside the client area, then lets each child
  // that holds controls place its own.
  void Realign();
  // The children in tab order: by TabOrder, then by insertion.
  std::vector<TControl*> TabOrderedControls() const;

 protected:
  // Takes every child out (their widgets lose their parent); for destructors.
  void ReleaseControls();
  // Tells the window that the order of the focus chain may have changed.
  virtual void TabOrderChanged();
  // The container's font or colour changed: the children take it anew.
  void FontChanged();
  void ColorChanged();

 private:
  friend class TControl;
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);

  std::vector<TControl*> controls_;
  bool aligning_ = false;
};
