// Start-up figures of a GUI program: starts COMMAND, prints the milliseconds from the exec until the first
// top-level window is mapped on the root, then after IDLE seconds its resident set size, and ends it.
// Usage: launch_watch IDLE_SECONDS COMMAND [ARGS...]
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "bench/figures.h"
#include "bench/xcb_sample.h"

using namespace tintvale::bench;

namespace {

// Waits for a MapNotify on the root until the deadline; false when none came.
bool WaitForMap(xcb_connection_t* c, double deadline) {
  int fd = xcb_get_file_descriptor(c);
  while (Now() < deadline) {
    while (xcb_generic_event_t* ev = xcb_poll_for_event(c)) {
      bool mapped = (ev->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                    !reinterpret_cast<xcb_map_notify_event_t*>(ev)->override_redirect;
      std::free(ev);
      if (mapped) return true;
    }
    if (xcb_connection_has_error(c)) return false;
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    timeval tv{0, 10000};
    select(fd + 1, &set, nullptr, nullptr, &tv);
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: launch_watch IDLE_SECONDS COMMAND [ARGS...]\n");
    return 2;
  }
  double idle = std::atof(argv[1]);
  xcb_window_t root = 0;
  int width = 0, height = 0;
  XcbConnection c = Connect(root, width, height);
  if (!c) return 1;
  // SubstructureNotify on the root sees the map of a client (no window manager) or of its frame (a
  // reparenting window manager maps the frame only once the client asked to be mapped).
  std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(c.get(), root, XCB_CW_EVENT_MASK, &mask);
  std::free(xcb_get_input_focus_reply(c.get(), xcb_get_input_focus(c.get()), nullptr));

  double t0 = Now();
  pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[2], argv + 2);
    std::perror("exec");
    _exit(127);
  }
  bool mapped = WaitForMap(c.get(), t0 + 20);
  double mapMs = (Now() - t0) * 1000;
  if (!mapped) {
    std::printf("startup_ms - rss_kib -\n");
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return 1;
  }
  SleepUntil(Now() + idle);
  long long rss = RssKibOf(pid);
  std::printf("startup_ms %.1f rss_kib %lld\n", mapMs, rss);
  std::fflush(stdout);
  kill(pid, SIGTERM);
  double deadline = Now() + 5;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (Now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    SleepUntil(Now() + 0.01);
  }
  return 0;
}
