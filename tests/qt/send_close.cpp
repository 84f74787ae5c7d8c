// Asks an X window to close the way a window manager's close box does: a WM_PROTOCOLS client message
// carrying WM_DELETE_WINDOW. Usage: tintvale_send_close WINDOW_ID
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* r =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(r);
  return atom;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s WINDOW_ID\n", argv[0]);
    return 2;
  }
  const auto window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) return 1;
  xcb_client_message_event_t ev;
  std::memset(&ev, 0, sizeof ev);
  ev.response_type = XCB_CLIENT_MESSAGE;
  ev.format = 32;
  ev.window = window;
  ev.type = Atom(c, "WM_PROTOCOLS");
  ev.data.data32[0] = Atom(c, "WM_DELETE_WINDOW");
  ev.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));  // delivered before we leave
  xcb_disconnect(c);
  return 0;
}
