// Parses the text of a stored description into a tree of objects with their
// property values; the reader (description_reader.h) gives the tree meaning.
//
// A description holds one object: its class, its name and a body in braces.
// A body holds properties ("Name = value") and nested objects, in any order
// and without separators; line breaks and blanks only separate tokens, and a
// "#" outside a text starts a comment that runs to the end of the line.
//
//   TForm2 Form2 {
//     Caption = "VELDATEST Mergetool"     # text; escapes \" \\ \n \r \t
//     ClientWidth = 476                   # whole number, also -5 or 0x1F
//     Visible = false                     # true or false
//     BorderStyle = bsToolWindow          # identifier: enumeration value,
//     OnClick = ButtonSTARTClick          #   handler of the root's class,
//     DataSource = dmRA5.dsIndex          #   or component path
//     Font.Style = [fsBold]               # set of identifiers, may be []
//     Items = ("one", "two")              # list of values
//     Caption = "line 1\r\n" + "line 2"   # texts joined with +
//     TSimplePanel SimplePanel1 {         # nested object
//       Align = alTop
//     }
//   }
//
// Names of classes, objects and properties are identifiers: a letter or "_",
// then letters, digits and "_"; property names and identifier values may be
// dotted ("Font.Style"). Texts are UTF-8 and may not span lines; join pieces
// with "+" instead.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "framework/core/property_value.h"

struct TDescriptionProperty {
  std::string name;
  TPropertyValue value;
  int line = 0;
};

struct TDescriptionObject {
  std::string className;
  std::string name;
  std::vector<TDescriptionProperty> properties;  // in the order written
  std::vector<TDescriptionObject> children;      // in the order written
  int line = 0;
};

// Throws EReadError "<source>:<line>: <what is wrong>" on a syntax error.
TDescriptionObject ParseDescription(std::string_view text, std::string_view source);
