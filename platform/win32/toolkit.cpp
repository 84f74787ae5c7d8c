#include "platform/win32/toolkit.h"

#include "platform/win32/clipboard.h"
#include "platform/win32/command_line.h"
#include "platform/win32/native.h"
#include "platform/win32/picture_box.h"
#include "platform/win32/window.h"

namespace tintvale::win32 {
namespace {

ATOM g_formAtom = 0;

bool IsFormWindow(HWND hwnd) {
  return hwnd && g_formAtom && static_cast<ATOM>(GetClassLongPtrW(hwnd, GCW_ATOM)) == g_formAtom;
}

// A tick also runs inside the system's own modal loops (a context menu's, a message box's), and its pump
// must leave their keys and clicks to them: taken and dispatched here, a key typed into an open menu
// would go to the text box with the focus, and Enter would not close a message box.
bool InputOfAnotherLoop(const MSG& msg) {
  const bool input = (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
                     (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST);
  if (!input) return false;
  GUITHREADINFO thread = {};
  thread.cbSize = sizeof thread;
  if (GetGUIThreadInfo(GetCurrentThreadId(), &thread) && (thread.flags & GUI_INMENUMODE)) return true;
  const HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  return root && !IsFormWindow(root);
}

}  // namespace

Win32Toolkit::Win32Toolkit(HINSTANCE instance) : instance_(instance) {
  if (!g_formAtom) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &FormWindow::Proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFormClass;
    g_formAtom = RegisterClassExW(&wc);

    WNDCLASSEXW pc = {};
    pc.cbSize = sizeof pc;
    pc.lpfnWndProc = &Control::Proc;
    pc.hInstance = instance;
    pc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    pc.lpszClassName = kPictureClass;
    RegisterClassExW(&pc);
  }
}

Win32Toolkit::~Win32Toolkit() {
  if (clipboardOwner_) DestroyWindow(clipboardOwner_);
}

std::unique_ptr<NativeWindow> Win32Toolkit::BuildWindow(const WindowLayout& layout, WindowEvents& events,
                                                        NativeWindow* owner) {
  // An owned window rather than one of its own, as the About box once was: only an owned window stays
  // above a topmost main window, and Windows hands the activation back to the owner when it closes.
  return MakeWindow(instance_, layout, events, owner ? WindowHandle(*owner) : nullptr);
}

void Win32Toolkit::Dispatch(MSG& msg) {
  // Tab, Shift+Tab, Enter, Esc and access keys go through the dialog manager of the window they are for.
  const HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (IsFormWindow(root) && IsDialogMessageW(root, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void Win32Toolkit::PumpEvents() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
    if (InputOfAnotherLoop(msg)) return;  // left for that loop, with all that came after it
    if (!PeekMessageW(&msg, msg.hwnd, msg.message, msg.message, PM_REMOVE)) continue;
    if (msg.message == WM_QUIT) {
      // Taken out of the queue here, it must go back for the loop further down the stack.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    Dispatch(msg);
  }
}

int Win32Toolkit::Run() {
  if (quitPosted_) {
    // Quit came before the loop: return at once and take the pending WM_QUIT away with us.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    quitPosted_ = false;
    return exitCode_;
  }
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) Dispatch(msg);
  quitPosted_ = false;
  return got == 0 ? static_cast<int>(msg.wParam) : 1;
}

void Win32Toolkit::Quit() {
  quitPosted_ = true;
  exitCode_ = 0;
  PostQuitMessage(0);
}

bool Win32Toolkit::SetClipboardText(const Text& text) {
  if (!clipboardOwner_) {
    // SetClipboardData needs an owner window after EmptyClipboard; a message-only window serves.
    clipboardOwner_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance_, nullptr);
  }
  return WriteClipboard(clipboardOwner_, text);
}

Text Win32Toolkit::CommandLine() { return ArgumentsAfterProgramName(FromWide(GetCommandLineW())); }

}  // namespace tintvale::win32
