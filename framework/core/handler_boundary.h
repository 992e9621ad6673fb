// The one boundary through which every event handler is called: an exception
// that leaves the handler goes to the exception display and the caller (the
// message loop) goes on. No exception ever leaves CallHandler.
#pragma once

#include <functional>

class TComponent;

void CallHandler(TComponent* sender, const std::function<void()>& handler) noexcept;
