#include "tableaccess/db_errors.h"

#include "framework/core/component.h"

std::string FormatText(const std::string& format, const std::string& argument) {
  std::string out = format;
  auto at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, argument);
  return out;
}

void DatabaseError(const std::string& text, const TComponent* component) {
  if (component != nullptr && !component->Name().empty()) throw EDatabaseError(component->Name() + ": " + text);
  throw EDatabaseError(text);
}

void DatabaseErrorFmt(const std::string& format, const std::string& argument, const TComponent* component) {
  DatabaseError(FormatText(format, argument), component);
}
