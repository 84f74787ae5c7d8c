// Looks at Tintvale's windows from outside, as a test needs to, and shows windows of a known colour.
//   probe client TITLE            prints the client width and height of the top-level window TITLE
//   probe texts TITLE             prints class, control id and text of each child of TITLE
//   probe dialog TITLE            prints the texts of the message box (dialog class) titled TITLE
//   probe focus TITLE             prints class and control id of the window with the keyboard focus in the
//                                 thread of the top-level window TITLE ("none" when it has none)
//   probe menu TITLE              succeeds when a popup menu is on the screen and the thread of the window
//                                 TITLE is in its menu loop (a context menu is open and takes the keys)
//   probe paint RRGGBB X Y W H    shows a borderless window of that colour until the process is ended
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::string Utf8(const std::wstring& w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

HWND FindTop(const wchar_t* cls, const wchar_t* title) {
  for (int i = 0; i < 100; ++i) {  // the window may be on its way: up to 5 s
    if (HWND h = FindWindowW(cls, title)) return h;
    Sleep(50);
  }
  return nullptr;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  wchar_t cls[64] = {};
  GetClassNameW(child, cls, 64);
  wchar_t text[512] = {};
  SendMessageTimeoutW(child, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
  std::printf("%s %d %s\n", Utf8(cls).c_str(), GetDlgCtrlID(child), Utf8(text).c_str());
  return TRUE;
}

LRESULT CALLBACK PaintProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(h, m, w, l);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring mode = argv[1];
  if ((mode == L"client" || mode == L"texts" || mode == L"dialog") && argc == 3) {
    HWND h = FindTop(mode == L"dialog" ? L"#32770" : L"TintvaleForm", argv[2]);
    if (!h) {
      std::printf("no window\n");
      return 1;
    }
    if (mode == L"client") {
      RECT r;
      GetClientRect(h, &r);
      std::printf("%ld %ld\n", r.right, r.bottom);
    } else {
      EnumChildWindows(h, PrintChild, 0);
    }
    return 0;
  }
  if (mode == L"focus" && argc == 3) {
    HWND h = FindTop(L"TintvaleForm", argv[2]);
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!h || !GetGUIThreadInfo(GetWindowThreadProcessId(h, nullptr), &info)) return 1;
    wchar_t cls[64] = L"none";
    if (info.hwndFocus) GetClassNameW(info.hwndFocus, cls, 64);
    std::printf("%s %d\n", Utf8(cls).c_str(), info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0);
    return 0;
  }
  if (mode == L"menu" && argc == 3) {
    // Shown, and its loop running in the window's thread: from now on that loop takes the keys.
    HWND h = FindTop(L"TintvaleForm", argv[2]);
    HWND menu = FindWindowW(L"#32768", nullptr);  // the popup menu class
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!h || !GetGUIThreadInfo(GetWindowThreadProcessId(h, nullptr), &info)) return 1;
    return menu && IsWindowVisible(menu) && (info.flags & GUI_INMENUMODE) ? 0 : 1;
  }
  if (mode == L"paint" && argc == 7) {
    const unsigned long rgb = std::wcstoul(argv[2], nullptr, 16);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PaintProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = CreateSolidBrush(RGB((rgb >> 16) & 255, (rgb >> 8) & 255, rgb & 255));
    wc.lpszClassName = L"TintvaleProbePaint";
    RegisterClassW(&wc);
    HWND h = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"probe paint", WS_POPUP | WS_VISIBLE, _wtoi(argv[3]),
                             _wtoi(argv[4]), _wtoi(argv[5]), _wtoi(argv[6]), nullptr, nullptr, wc.hInstance, nullptr);
    if (!h) return 1;
    std::printf("shown\n");
    std::fflush(stdout);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
  }
  return 2;
}
