#include "platform/qt/randr_layout.h"

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cstdlib>

#include "platform/x11/screen.h"

namespace tintvale::qt {
namespace {

// The notices of one change (the screen's size, each CRTC, each output) come within a few milliseconds.
constexpr int kSettleMs = 50;

// A change of the screen, a CRTC or an output: the monitors are read again once the burst is over.
bool IsRandrNotice(const xcb_generic_event_t* event, int firstEvent) {
  const int code = (event->response_type & 0x7f) - firstEvent;
  return firstEvent >= 0 && (code == XCB_RANDR_SCREEN_CHANGE_NOTIFY || code == XCB_RANDR_NOTIFY);
}

}  // namespace

void RandrLayout::Disconnect::operator()(xcb_connection_t* c) const { xcb_disconnect(c); }

RandrLayout::RandrLayout(const char* displayName) {
  connection_.reset(xcb_connect(displayName, nullptr));
  xcb_connection_t* c = connection_.get();
  if (xcb_connection_has_error(c)) {
    connection_.reset();
    return;
  }
  const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &xcb_randr_id);
  if (!randr || !randr->present) return;
  xcb_randr_query_version_reply_t* version =
      xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 5), nullptr);
  if (version && version->major_version == 1 && version->minor_version >= 2) {
    randrMinor_ = static_cast<int>(version->minor_version);
  }
  std::free(version);
  if (randrMinor_ < 0) return;
  firstEvent_ = randr->first_event;
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  xcb_randr_select_input(
      c, root,
      XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE);
  xcb_flush(c);
  Read();
  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMs);
  QObject::connect(&settle_, &QTimer::timeout, [this] {
    Read();
    if (changed_) changed_();
  });
  notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { TakeEvents(); });
}

RandrLayout::~RandrLayout() = default;

void RandrLayout::Read() {
  xcb_connection_t* c = connection_.get();
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  monitors_.clear();
  for (const x11::Monitor& m : x11::QueryMonitors(c, root, randrMinor_)) {
    monitors_.push_back({m.x, m.y, m.width, m.height, m.primary});
  }
  // Notices that came in with the replies describe what was just read.
  while (xcb_generic_event_t* event = xcb_poll_for_queued_event(c)) std::free(event);
}

bool RandrLayout::PointerOverWindow(ScreenPoint& root) {
  xcb_connection_t* c = connection_.get();
  if (!c || xcb_connection_has_error(c)) return false;
  const xcb_window_t rootWindow = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  xcb_query_pointer_reply_t* reply = xcb_query_pointer_reply(c, xcb_query_pointer(c, rootWindow), nullptr);
  // Notices that came in before the reply wait in the queue, where the socket notifier cannot see them.
  TakeQueuedEvents();
  const bool over = reply && reply->same_screen && reply->child != XCB_NONE;
  if (over) root = {reply->root_x, reply->root_y};
  std::free(reply);
  return over;
}

void RandrLayout::TakeQueuedEvents() {
  while (xcb_generic_event_t* event = xcb_poll_for_queued_event(connection_.get())) {
    if (IsRandrNotice(event, firstEvent_)) settle_.start();
    std::free(event);
  }
}

void RandrLayout::TakeEvents() {
  xcb_connection_t* c = connection_.get();
  while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
    if (IsRandrNotice(event, firstEvent_)) settle_.start();
    std::free(event);
  }
  // The server went away: nothing more will come from it.
  if (xcb_connection_has_error(c)) notifier_->setEnabled(false);
}

}  // namespace tintvale::qt
