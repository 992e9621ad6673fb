// The event type that stored descriptions bind: a handler of the root's class
// called with the component that raised the event.
#pragma once

#include <functional>

class TComponent;

using TNotifyEvent = std::function<void(TComponent* sender)>;
