// The filter-expression builder: turns a view's filter text into the engine's
// filter tree, typed by the view's field objects. Nothing reaches the engine
// when the text does not parse: every failure is an exception.
#pragma once

#include <string_view>

#include "engine/access/filter_tree.h"
#include "tableaccess/filter_field.h"
#include "tableaccess/filter_locale.h"
#include "tableaccess/filter_options.h"

class TComponent;

// Parses, types and writes `text`. Throws EDatabaseError with the bare message
// text ("Field '%s' not found" prefixed with the name of `view` when it has
// one), or EConvertError for a constant whose text its field's type cannot
// read. An empty text is no condition and fails like any other; a view with an
// empty filter builds none. `view` may be null.
px::FilterNode::Ptr BuildFilterTree(std::string_view text, TFilterOptions options, const FilterFieldLookup& lookup,
                                    const TComponent* view, const FilterLocale& locale = FilterLocale::User());
