// References from one window or module to components of another. A reference
// that the reader cannot bind inside the object it reads, and whose name has
// a period, waits in the process-wide list of pending references (guarded by
// a lock of its own) until the named module exists and has been read; the
// reader walks the list at the end of every read.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TComponent;
struct TPropertyInfo;

struct TPendingReference {
  TComponent* root = nullptr;      // the window or module whose description made it
  TComponent* instance = nullptr;  // the component whose property it is
  std::shared_ptr<const TPropertyInfo> property;
  std::string moduleName;  // the name before the first period
  std::string rest;        // the path after it, inside that module
};

// The component that `path` names inside `root`: each period-separated part
// is looked up among the components owned by the one found so far, without
// regard to case. Null if any part is missing.
TComponent* FindNestedComponent(TComponent* root, std::string_view path);

void AddPendingReference(TPendingReference reference);

// Walks the list from the front. For each reference, the named module is
// looked up among the windows (not being read), then the data modules:
//  - found and not being read: the property is set to the component that the
//    rest names, or to null if there is none, and the reference leaves the list;
//  - found but still being read: the reference stays;
//  - not found: it stays, unless its property holds a value by now, in which
//    case it is dropped and the property keeps that value.
// A setter's exception leaves the walk with that reference already removed.
void BindPendingReferences();

// Drops the references that `root`'s description made.
void DropPendingReferences(const TComponent* root);
// Drops the references of one component; its root calls this when the
// component goes away before the reference could be bound.
void DropPendingReferencesOf(const TComponent* instance);

// What waits, in list order: "Instance.Property -> Module.Rest".
std::vector<std::string> PendingReferenceNames();
