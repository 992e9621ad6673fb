// Reads a stored description (description_parser.h has the format) into an
// existing root object: a window or a data module, whose class must be the
// one the description names. Every object nested in it is created by its
// registered class with the root as owner, named, placed in the object it is
// written inside (SetParentComponent), given its properties in the order
// written and then its nested objects. The root's members registered under a
// component's name receive that component.
//
// References are bound when every object has been read: a name is looked up
// inside the root (see FindNestedComponent); one that is not found stays
// empty, or, if it has a period, becomes a pending reference into another
// window or module (reference_binding.h). Then the root's reading flag is
// cleared, the pending list is walked, and each component read is told
// Loaded(), the root last. The whole read holds the name-space lock.
#pragma once

#include <string_view>

class TComponent;

class TDescriptionReader {
 public:
  // Throws EReadError for a description that does not fit the registered
  // classes; components created before the error stay owned by the root.
  static void Read(TComponent& root, std::string_view text, std::string_view source);

 private:
  class Session;
};

inline void ReadDescription(TComponent& root, std::string_view text, std::string_view source) {
  TDescriptionReader::Read(root, text, source);
}
