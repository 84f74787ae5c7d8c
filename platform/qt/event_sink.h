// Where a window's events go. The sink is shared with the widgets' callbacks, which outlive the
// NativeWindow until the widgets are deleted; its events pointer is null once the window is destroyed.
#pragma once

#include <memory>

#include "platform/platform.h"
#include "platform/qt/toolkit.h"

namespace tintvale::qt {

struct Sink {
  WindowEvents* events = nullptr;
  QtToolkit* toolkit = nullptr;
};
using SinkPtr = std::shared_ptr<Sink>;

// Calls a handler of the window through the toolkit, unless the window is gone.
template <typename F>
void Raise(const SinkPtr& sink, F&& call) {
  SinkPtr keep = sink;  // the callback that holds it may be deleted by the handler
  if (!keep->events) return;
  keep->toolkit->Dispatch([&] {
    if (keep->events) call(*keep->events);
  });
}

}  // namespace tintvale::qt
