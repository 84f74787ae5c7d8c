// A stand-in clipboard manager: owns the CLIPBOARD_MANAGER selection and answers SAVE_TARGETS at once,
// as a freedesktop clipboard manager does after saving. Prints "ready" once it owns the selection, so a
// script can then SIGSTOP it to play a manager that stopped answering.
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  auto* r =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  xcb_atom_t a = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(r);
  return a;
}

}  // namespace

int main() {
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) {
    std::fprintf(stderr, "cannot connect to the X server\n");
    return 1;
  }
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  xcb_atom_t manager = Atom(c, "CLIPBOARD_MANAGER");
  xcb_atom_t saveTargets = Atom(c, "SAVE_TARGETS");
  xcb_window_t w = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, w, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                    0, nullptr);
  xcb_set_selection_owner(c, w, manager, XCB_CURRENT_TIME);
  auto* owner = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, manager), nullptr);
  bool owned = owner && owner->owner == w;
  std::free(owner);
  if (!owned) {
    std::fprintf(stderr, "could not take CLIPBOARD_MANAGER\n");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  while (xcb_generic_event_t* ev = xcb_wait_for_event(c)) {
    if ((ev->response_type & 0x7f) == XCB_SELECTION_REQUEST) {
      auto* req = reinterpret_cast<xcb_selection_request_event_t*>(ev);
      xcb_selection_notify_event_t reply{};
      reply.response_type = XCB_SELECTION_NOTIFY;
      reply.time = req->time;
      reply.requestor = req->requestor;
      reply.selection = req->selection;
      reply.target = req->target;
      reply.property = req->target == saveTargets ? req->property : xcb_atom_t{XCB_ATOM_NONE};
      xcb_send_event(c, 0, req->requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&reply));
      xcb_flush(c);
    }
    std::free(ev);
  }
  xcb_disconnect(c);
  return 0;
}
