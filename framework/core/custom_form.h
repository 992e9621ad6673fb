// What the application object knows of a window, without a window system:
// showing, hiding and closing it, and reading its stored description. The
// window of the component set (framework/controls/form.h) derives from it.
// A window takes its place in the name space (name_space.h) for its lifetime.
#pragma once

#include <string_view>

#include "framework/core/component.h"
#include "framework/core/events.h"

class TCustomForm : public TComponent {
 public:
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;
  std::string_view ClassName() const override { return "TCustomForm"; }

  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual bool Visible() const = 0;
  // Creates the window system's window, if it has not been created yet.
  virtual void HandleNeeded() {}

  // Asks the window whether it may close (OnCloseQuery); then the main window
  // ends the program (Application.Terminate), without being hidden, and
  // any other window is hidden.
  void Close();

  // Reads the window's description, then runs OnCreate through the handler
  // boundary. The constructor of the derived class calls it as its last step.
  void ReadDescription(std::string_view text, std::string_view source);

  void SetOnCreate(TNotifyEvent handler) { onCreate_ = std::move(handler); }
  // Sets `canClose` false to keep the window open.
  void SetOnCloseQuery(std::function<void(TComponent* sender, bool& canClose)> handler) {
    onCloseQuery_ = std::move(handler);
  }

 protected:
  // Clears the members that held a component going away and drops its
  // pending references.
  void Notification(TComponent* component, TOperation operation) override;
  // The start of a derived destructor: leaves the name space and destroys the
  // controls while the derived window still exists.
  void DestroyWindowContents();

 private:
  TNotifyEvent onCreate_;
  std::function<void(TComponent*, bool&)> onCloseQuery_;
};
