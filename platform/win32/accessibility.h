// What a screen reader reads of a window through MSAA. A window answers WM_GETOBJECT for its client area
// with an object that is the system's own (oleacc's) for that window but for what the window says of
// itself: a name, a value, a role. oleacc is loaded only when a client first asks, so without assistive
// technology nothing of this runs.
#pragma once

#include <windows.h>

#include "base/text.h"

namespace tintvale::win32 {

// What a window says of itself where the system's object would say otherwise (or nothing).
class AccessibleSource {
 public:
  virtual bool AccessibleName(Text& name) const = 0;    // false: the system's own name
  virtual bool AccessibleValue(Text& value) const = 0;  // false: the system's own value
  virtual long AccessibleRole() const = 0;              // 0: the system's own role

 protected:
  ~AccessibleSource() = default;
};

class AccessibleObject;

// Answers one window's WM_GETOBJECT. The object it hands out may outlive the window in a client's hands;
// once the server is gone, it says the window is gone.
class AccessibleServer {
 public:
  explicit AccessibleServer(const AccessibleSource& source) : source_(source) {}
  ~AccessibleServer();
  AccessibleServer(const AccessibleServer&) = delete;
  AccessibleServer& operator=(const AccessibleServer&) = delete;

  // The answer to WM_GETOBJECT: the object for OBJID_CLIENT, 0 for anything else (the system answers
  // those itself) or when oleacc cannot be had.
  LRESULT Answer(HWND hwnd, WPARAM wParam, LPARAM lParam);

 private:
  const AccessibleSource& source_;
  AccessibleObject* object_ = nullptr;  // one reference held here
};

}  // namespace tintvale::win32
