// Small pieces every part of the Win32 backend shares: Text <-> wide strings (both UTF-16 here) and owning
// wrappers for GDI objects and kernel handles.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "forms/layout.h"

namespace tintvale::win32 {

inline std::wstring Wide(const Text& text) { return std::wstring(text.begin(), text.end()); }
inline Text FromWide(const wchar_t* text, std::size_t length) { return Text(text, text + length); }
inline Text FromWide(const std::wstring& text) { return Text(text.begin(), text.end()); }

// Deletes a GDI object (font, brush, pen) when it goes out of scope.
template <typename T>
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(T object) : object_(object) {}
  ~GdiObject() { Reset(); }
  GdiObject(GdiObject&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  GdiObject& operator=(GdiObject&& other) noexcept {
    if (this != &other) {
      Reset();
      object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  T Get() const { return object_; }
  void Reset(T object = nullptr) {
    if (object_) DeleteObject(object_);
    object_ = object;
  }

 private:
  T object_ = nullptr;
};

// Closes a kernel handle when it goes out of scope.
class KernelHandle {
 public:
  explicit KernelHandle(HANDLE handle) : handle_(handle) {}
  ~KernelHandle() {
    if (handle_ && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  KernelHandle(const KernelHandle&) = delete;
  KernelHandle& operator=(const KernelHandle&) = delete;

 private:
  HANDLE handle_;
};

}  // namespace tintvale::win32
