// Reads a Tintvale window as a screen reader's MSAA client does: AccessibleObjectFromWindow from oleacc for
// the client area of the window and of each child, then the object's role, state, name and value.
//   msaa_client TITLE   one line for the window, "window ROLE STATE name=NAME", then one a child in z-order,
//                       "ID ROLE STATE name=NAME value=VALUE" (role as its number, -1 when not given; state
//                       in hexadecimal; "ID none" when the child gives no object)
// Ends with 1 when there is no such window, 3 when oleacc gives no object for the window itself.
#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* w, int n) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, w, n, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, n, s.data(), size, nullptr, nullptr);
  return s;
}

std::string FromBstr(BSTR b) {
  if (!b) return std::string();
  std::string s = Utf8(b, static_cast<int>(SysStringLen(b)));
  SysFreeString(b);
  return s;
}

struct Read {
  long role = -1;
  long state = 0;
  std::string name, value;
};

bool ReadObject(HWND hwnd, LONG objectId, Read& out) {
  IAccessible* acc = nullptr;
  const HRESULT hr = AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(objectId), __uuidof(IAccessible),
                                                reinterpret_cast<void**>(&acc));
  if (FAILED(hr) || !acc) {
    std::fprintf(stderr, "AccessibleObjectFromWindow: %lx\n", static_cast<unsigned long>(hr));
    return false;
  }
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr, value = nullptr;
  if (SUCCEEDED(acc->get_accName(self, &name))) out.name = FromBstr(name);
  if (SUCCEEDED(acc->get_accValue(self, &value))) out.value = FromBstr(value);
  VARIANT role, state;
  VariantInit(&role);
  VariantInit(&state);
  if (SUCCEEDED(acc->get_accRole(self, &role)) && role.vt == VT_I4) out.role = role.lVal;
  if (SUCCEEDED(acc->get_accState(self, &state)) && state.vt == VT_I4) out.state = state.lVal;
  acc->Release();
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  HWND top = nullptr;
  for (int i = 0; i < 100 && !top; ++i) {  // the window may be on its way: up to 5 s
    top = FindWindowW(L"TintvaleForm", argv[1]);
    if (!top) Sleep(50);
  }
  if (!top) {
    std::printf("no window\n");
    return 1;
  }
  CoInitialize(nullptr);
  Read window;
  if (!ReadObject(top, OBJID_CLIENT, window)) {
    std::printf("no accessible object\n");
    return 3;
  }
  std::printf("window %ld %lx name=%s\n", window.role, window.state, window.name.c_str());
  for (HWND child = GetWindow(top, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    Read r;
    if (!ReadObject(child, OBJID_CLIENT, r)) {
      std::printf("%d none\n", GetDlgCtrlID(child));
      continue;
    }
    std::printf("%d %ld %lx name=%s value=%s\n", GetDlgCtrlID(child), r.role, r.state, r.name.c_str(), r.value.c_str());
  }
  CoUninitialize();
  return 0;
}
