// The component base: a named object that may own other components. Owned
// components are kept in creation order and destroyed with their owner, the
// last created first; any component can ask to be told when another one goes
// away (removal notice), so that references to it can be dropped.
// Components live on the user-interface thread; nothing here is thread-safe.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

enum class TOperation { opInsert, opRemove };

class TComponent {
 public:
  explicit TComponent(TComponent* owner = nullptr);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  // The registered class name, as stored descriptions name it ("TTable").
  virtual std::string_view ClassName() const { return "TComponent"; }

  const std::string& Name() const { return name_; }
  // Names of components with one owner differ without regard to case; an
  // empty name may repeat. Throws EComponentError for a clash.
  virtual void SetName(const std::string& name);

  TComponent* Owner() const { return owner_; }
  std::size_t ComponentCount() const { return components_.size(); }
  TComponent* Components(std::size_t index) const { return components_.at(index); }
  // The owned component of that name, compared without regard to case, or null.
  TComponent* FindComponent(std::string_view name) const;

  // Takes `component` over from its current owner (if any).
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  // Asks for a removal notice when `component` is destroyed, and the other
  // way round: each of the two then hears of the other's destruction.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // True from the start of the destructor on.
  bool Destroying() const { return destroying_; }

  // Destroys every owned component, the last created first.
  void DestroyComponents();

  // Set while a stored description is read into this component's root;
  // Reading() ends when the root's components have been read, Loading() when
  // this component has been told by Loaded().
  bool Loading() const { return loading_; }
  bool Reading() const { return reading_; }

  // Nesting in a stored description: the component written inside `parent`.
  // Controls take it as their parent control, field objects as their data
  // set; the default ignores it.
  virtual void SetParentComponent(TComponent* parent);

 protected:
  // Told when an owned component is inserted or removed, and when a component
  // that asked for (or was asked for) removal notices is destroyed.
  virtual void Notification(TComponent* component, TOperation operation);
  // Called once the description this component came from has been read
  // and its references bound; Loading() is already false here.
  virtual void Loaded();
  // Marks this component as being destroyed; a derived destructor that has
  // work to do before the base runs calls it first.
  void BeginDestroy() { destroying_ = true; }

 private:
  void Unlink(TComponent* component);

  std::string name_;
  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;     // owned, in creation order
  std::vector<TComponent*> notifications_;  // to be told of each other's destruction
  bool destroying_ = false;
  bool loading_ = false;
  bool reading_ = false;

  friend class TDescriptionReader;
};

// Case-insensitive comparison of component and field names (ASCII letters).
bool SameText(std::string_view a, std::string_view b);
