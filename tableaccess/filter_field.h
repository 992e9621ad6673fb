// What the filter-expression builder needs to know of a view's field objects,
// and how it finds them: a lookup by name (letter case ignored) that the view
// supplies, so that the builder depends on no view class.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "tableaccess/field_types.h"

struct FilterField {
  std::string name;     // the field object's FieldName
  TFieldType dataType = TFieldType::ftUnknown;
  int size = 0;         // data size: characters for text, bytes for bytes and BCD, else 0
  int fieldNo = 0;      // 1-based number of the table field the object reads
  bool usable = false;  // of kind data or internal-calculated
};

// The field object of that name, or null when the view has none. The pointer
// must stay valid for the duration of one build.
using FilterFieldLookup = std::function<const FilterField*(std::string_view name)>;
