// Drives KWin's pointer and keyboard as a person would, through its fake-input protocol
// (org_kde_kwin_fake_input; KWin lets any client use it with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1).
// Reads one command a line on stdin and answers "ok" once KWin has handled it (a round trip), so the
// caller knows the event is in before it looks for what follows from it:
//   move X Y          the pointer to X,Y in the desktop's layout (logical pixels)
//   click [BUTTON]    press and release a button (Linux code, default the left one, 272)
//   press [BUTTON], release [BUTTON]   only press it, or only release it (a drag between them)
//   key CODE...       press the keys in order, then release them in reverse (Linux key codes: 28 Enter,
//                     42 left Shift, 4 the 3 key, so "key 42 4" types '#' on a US layout)
// Usage: tintvale_fake_input   (WAYLAND_DISPLAY names the compositor)
#include <wayland-client.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "fake-input-client-protocol.h"

namespace {

constexpr std::uint32_t kLeftButton = 272;  // BTN_LEFT
constexpr std::uint32_t kReleased = 0, kPressed = 1;

struct Globals {
  org_kde_kwin_fake_input* fake = nullptr;
  std::uint32_t version = 0;
};

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
  auto* g = static_cast<Globals*>(data);
  if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && !g->fake) {
    g->version = version < 4 ? version : 4;
    g->fake = static_cast<org_kde_kwin_fake_input*>(
        wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, g->version));
  }
}
void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener kRegistry = {OnGlobal, OnGlobalRemove};

}  // namespace

int main() {
  wl_display* display = wl_display_connect(nullptr);
  if (!display) {
    std::fprintf(stderr, "tintvale_fake_input: cannot connect to the Wayland display\n");
    return 1;
  }
  Globals g;
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kRegistry, &g);
  wl_display_roundtrip(display);
  // Absolute motion came with version 3 and keys with version 4.
  if (!g.fake || g.version < 4) {
    std::fprintf(stderr, "tintvale_fake_input: the compositor offers no org_kde_kwin_fake_input version 4\n");
    return 1;
  }
  org_kde_kwin_fake_input_authenticate(g.fake, "Tintvale tests", "drives the pointer and keyboard in a test");
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command == "move") {
      double x = 0, y = 0;
      words >> x >> y;
      org_kde_kwin_fake_input_pointer_motion_absolute(g.fake, wl_fixed_from_double(x), wl_fixed_from_double(y));
    } else if (command == "click" || command == "press" || command == "release") {
      std::uint32_t button = kLeftButton;
      if (!(words >> button)) button = kLeftButton;
      if (command != "release") org_kde_kwin_fake_input_button(g.fake, button, kPressed);
      if (command != "press") org_kde_kwin_fake_input_button(g.fake, button, kReleased);
    } else if (command == "key") {
      std::vector<std::uint32_t> keys;
      for (std::uint32_t k = 0; words >> k;) keys.push_back(k);
      for (std::uint32_t k : keys) org_kde_kwin_fake_input_keyboard_key(g.fake, k, kPressed);
      for (auto k = keys.rbegin(); k != keys.rend(); ++k) org_kde_kwin_fake_input_keyboard_key(g.fake, *k, kReleased);
    } else if (!command.empty()) {
      std::cout << "error: unknown command " << command << std::endl;
      continue;
    }
    if (wl_display_roundtrip(display) < 0) {
      std::fprintf(stderr, "tintvale_fake_input: the compositor closed the connection\n");
      return 1;
    }
    std::cout << "ok" << std::endl;
  }
  org_kde_kwin_fake_input_destroy(g.fake);
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  return 0;
}
