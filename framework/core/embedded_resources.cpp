#include "framework/core/embedded_resources.h"

#include <map>

#include "framework/core/exceptions.h"

namespace {

std::map<std::string, std::string_view, std::less<>>& Resources() {
  static std::map<std::string, std::string_view, std::less<>> resources;
  return resources;
}

}  // namespace

void RegisterEmbeddedResource(std::string_view name, std::string_view bytes) {
  Resources()[std::string(name)] = bytes;
}

std::string_view EmbeddedResource(std::string_view name) {
  auto it = Resources().find(name);
  if (it == Resources().end()) throw EReadError("Resource " + std::string(name) + " not found");
  return it->second;
}
