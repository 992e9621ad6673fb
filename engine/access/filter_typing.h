// How a filter's values are typed: the class that each field type's values
// compare as, and how constants read. Shared by the filter's compiler and
// evaluator; not part of the engine's interface.
#pragma once

#include <string>

#include "engine/format/field_type.h"
#include "engine/format/value.h"

namespace px::filter_typing {

// What a field's values are compared as; a constant must be of its field's class.
enum class ValueClass { Text, Number, Date, Time, Timestamp, Logical, None };

ValueClass classOf(FieldType type);

// A decimal text ("12.5", "+3") as a double; false when it is not one.
bool parseDecimal(const std::string& text, double& out);

// A constant as messages show it: 'text', 12, true, NULL.
std::string describe(const Value& value);

}  // namespace px::filter_typing
