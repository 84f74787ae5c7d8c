// Reports what a process holds, from outside it: working set, GDI and USER object counts (GetGuiResources)
// and how many windows it owns, one line per call.
//   tintvale_gui_resources PID            the process with that id
//   tintvale_gui_resources -w CLASS TITLE the process that owns that top-level window
// Prints: pid ID working_set_kib N gdi N user N windows N   (gdi/user -1 when the call reports an error)
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>

namespace {

struct WindowCount {
  DWORD pid = 0;
  int count = 0;
};

BOOL CALLBACK CountChild(HWND window, LPARAM param) {
  auto* c = reinterpret_cast<WindowCount*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == c->pid) ++c->count;
  return TRUE;
}

BOOL CALLBACK CountTop(HWND window, LPARAM param) {
  CountChild(window, param);
  EnumChildWindows(window, CountChild, param);
  return TRUE;
}

// Top-level and child windows, and the message-only ones (a clipboard owner is one), that pid owns.
int WindowsOf(DWORD pid) {
  WindowCount c{pid, 0};
  EnumWindows(CountTop, reinterpret_cast<LPARAM>(&c));
  for (HWND h = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); h;
       h = FindWindowExW(HWND_MESSAGE, h, nullptr, nullptr)) {
    CountTop(h, reinterpret_cast<LPARAM>(&c));
  }
  return c.count;
}

// GetGuiResources gives 0 both for "none" and for a failure; only the last error tells them apart.
long GuiCount(HANDLE process, DWORD which) {
  SetLastError(ERROR_SUCCESS);
  const DWORD n = GetGuiResources(process, which);
  return n == 0 && GetLastError() != ERROR_SUCCESS ? -1 : static_cast<long>(n);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  DWORD pid = 0;
  if (argc == 2) {
    pid = static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10));
  } else if (argc == 4 && std::wcscmp(argv[1], L"-w") == 0) {
    if (HWND h = FindWindowW(argv[2], argv[3])) GetWindowThreadProcessId(h, &pid);
  } else {
    std::fprintf(stderr, "usage: tintvale_gui_resources PID | -w CLASS TITLE\n");
    return 2;
  }
  if (pid == 0) {
    std::fprintf(stderr, "gui_resources: no such process\n");
    return 1;
  }
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) {
    std::fprintf(stderr, "gui_resources: cannot open process %lu (error %lu)\n", pid, GetLastError());
    return 1;
  }
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  const long long workingSetKib =
      GetProcessMemoryInfo(process, &memory, sizeof memory) ? static_cast<long long>(memory.WorkingSetSize / 1024) : -1;
  const long gdi = GuiCount(process, GR_GDIOBJECTS);
  const long user = GuiCount(process, GR_USEROBJECTS);
  CloseHandle(process);
  std::printf("pid %lu working_set_kib %lld gdi %ld user %ld windows %d\n", pid, workingSetKib, gdi, user,
              WindowsOf(pid));
  return 0;
}
