// Reports what a process holds, from outside it: working set, GDI and USER object counts (GetGuiResources),
// the live entries of its GDI handle table and how many windows it owns, one line per call.
//   tintvale_gui_resources PID            the process with that id
//   tintvale_gui_resources -w CLASS TITLE the process that owns that top-level window
//   tintvale_gui_resources --self         checks the table count on itself: 50 new brushes must add 50
// Prints: pid ID working_set_kib N gdi N user N windows N gdi_table N   (-1 where a reading failed)
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <vector>

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

// One entry of the GDI handle table the PEB points at (GdiSharedHandleTable), 0x10000 entries; a free
// entry has type 0. Windows keeps one table for the session and marks the owner; Wine keeps one per process
// and implements no GetGuiResources, so this table is where its GDI objects can be counted.
struct GdiHandleEntry {
  std::uint64_t object;
  std::uint32_t owner;
  std::uint16_t unique;
  std::uint8_t type;
  std::uint8_t flags;
  std::uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);
constexpr std::size_t kGdiHandles = 0x10000;
constexpr std::size_t kPebGdiTable = sizeof(void*) == 8 ? 0xF8 : 0x94;

long GdiTableEntries(HANDLE process, DWORD pid) {
  PROCESS_BASIC_INFORMATION info = {};
  if (NtQueryInformationProcess(process, ProcessBasicInformation, &info, sizeof info, nullptr) != 0) return -1;
  void* table = nullptr;
  SIZE_T got = 0;
  const auto* at = reinterpret_cast<const char*>(info.PebBaseAddress) + kPebGdiTable;
  if (!ReadProcessMemory(process, at, &table, sizeof table, &got) || !table) return -1;
  std::vector<GdiHandleEntry> entries(kGdiHandles);
  if (!ReadProcessMemory(process, table, entries.data(), entries.size() * sizeof(GdiHandleEntry), &got)) return -1;
  long count = 0;
  bool ownersMarked = false;
  for (const GdiHandleEntry& e : entries) ownersMarked = ownersMarked || (e.type != 0 && (e.owner & 0xFFFF) != 0);
  for (const GdiHandleEntry& e : entries) {
    // Where owners are marked the table is shared: only this process's entries count.
    if (e.type != 0 && (!ownersMarked || (e.owner & 0xFFFC) == (pid & 0xFFFC))) ++count;
  }
  return count;
}

int SelfCheck() {
  const DWORD pid = GetCurrentProcessId();
  const long before = GdiTableEntries(GetCurrentProcess(), pid);
  std::vector<HBRUSH> brushes;
  for (int i = 0; i < 50; ++i) brushes.push_back(CreateSolidBrush(RGB(i, 0, 0)));
  const long during = GdiTableEntries(GetCurrentProcess(), pid);
  for (HBRUSH b : brushes) DeleteObject(b);
  const long after = GdiTableEntries(GetCurrentProcess(), pid);
  std::printf("self gdi_table %ld +50 brushes %ld deleted %ld\n", before, during, after);
  return before >= 0 && during - before == 50 && after == before ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  DWORD pid = 0;
  if (argc == 2 && std::wcscmp(argv[1], L"--self") == 0) return SelfCheck();
  if (argc == 2) {
    pid = static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10));
  } else if (argc == 4 && std::wcscmp(argv[1], L"-w") == 0) {
    if (HWND h = FindWindowW(argv[2], argv[3])) GetWindowThreadProcessId(h, &pid);
  } else {
    std::fprintf(stderr, "usage: tintvale_gui_resources PID | -w CLASS TITLE | --self\n");
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
  const long table = GdiTableEntries(process, pid);
  CloseHandle(process);
  std::printf("pid %lu working_set_kib %lld gdi %ld user %ld windows %d gdi_table %ld\n", pid, workingSetKib, gdi, user,
              WindowsOf(pid), table);
  return 0;
}
