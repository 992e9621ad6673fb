#include "framework/core/handler_boundary.h"

#include "framework/core/application.h"

void CallHandler(TComponent* sender, const std::function<void()>& handler) noexcept {
  try {
    handler();
  } catch (...) {
    Application.HandleException(sender);
  }
}
