#include "platform/x11/screen.h"

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace tintvale::x11 {
namespace {

// Every xcb reply and error is malloc'ed and must be freed.
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbPtr = std::unique_ptr<T, FreeDeleter>;

xcb_screen_t* ScreenOfRoot(xcb_connection_t* c, xcb_window_t root) {
  for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it)) {
    if (it.data->root == root) return it.data;
  }
  return nullptr;
}

xcb_visualtype_t* FindVisual(xcb_screen_t* screen, xcb_visualid_t id) {
  for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
    for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
      if (v.data->visual_id == id) return v.data;
    }
  }
  return nullptr;
}

const xcb_format_t* FormatOfDepth(xcb_connection_t* c, std::uint8_t depth) {
  const xcb_setup_t* setup = xcb_get_setup(c);
  for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
    if (f.data->depth == depth) return f.data;
  }
  return nullptr;
}

// The pixel value at (x, y) in a Z-pixmap image of region with the given depth; false when it holds none.
bool ValueInImage(xcb_connection_t* c, const Region& region, std::uint8_t depth, const std::uint8_t* data,
                  std::size_t length, std::int32_t x, std::int32_t y, std::uint32_t& pixel) {
  const xcb_format_t* format = FormatOfDepth(c, depth);
  std::size_t offset = 0;
  if (!format || !PixelOffset(region, format->bits_per_pixel, format->scanline_pad, length, x, y, offset)) {
    return false;
  }
  PixelFormat layout;
  layout.bitsPerPixel = format->bits_per_pixel;
  layout.msbFirst = xcb_get_setup(c)->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
  if (!ReadPixelValue(data + offset, length - offset, layout, pixel)) return false;
  if (depth < 32) pixel &= (1u << depth) - 1u;
  return true;
}

// The size of the image read with the pointer: room for a pointer that strays up to 15 pixels from where
// its last step would take it. 31 x 31 pixels at 32 bits, with the two 32-byte reply headers, is 3,908
// bytes, under the 4 KiB libxcb reads at once; a 32 x 32 image took a second read of 64 bytes each tick.
constexpr int kSnapshotSpan = 31;

}  // namespace

// The sampling session: reads pixels of the root the pointer is on.
class X11ScreenContext : public ScreenContext {
 public:
  explicit X11ScreenContext(X11Screen& screen) : screen_(screen) {}

  ColorValue Pixel(std::int32_t atX, std::int32_t atY) override {
    xcb_connection_t* c = screen_.connection_;
    X11Screen::Snapshot& snapshot = screen_.snapshot_;
    const bool fresh = snapshot.valid;
    snapshot.valid = false;  // a snapshot answers only the read that follows the pointer's
    if (!c || xcb_connection_has_error(c)) return kInvalidColor;
    xcb_window_t root = screen_.pointerRoot_;
    if (root == 0) root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    // The point is measured from the primary monitor, the root's pixels from the root's top left.
    const ScreenPoint origin = root == screen_.originRoot_ ? screen_.origin_ : ScreenPoint{};
    const std::int64_t rootX = std::int64_t{atX} + origin.x;
    const std::int64_t rootY = std::int64_t{atY} + origin.y;
    if (rootX < 0 || rootY < 0 || rootX > std::numeric_limits<std::int16_t>::max() ||
        rootY > std::numeric_limits<std::int16_t>::max()) {
      return kInvalidColor;
    }
    const auto x = static_cast<std::int32_t>(rootX);
    const auto y = static_cast<std::int32_t>(rootY);
    xcb_screen_t* screen = ScreenOfRoot(c, root);
    if (!screen) return kInvalidColor;

    std::uint32_t pixel = 0;
    xcb_visualid_t visualId = 0;
    if (fresh && snapshot.root == root &&
        ValueInImage(c, snapshot.region, snapshot.depth, snapshot.data.data(), snapshot.data.size(), x, y, pixel)) {
      visualId = snapshot.visual;
    } else {
      xcb_generic_error_t* rawError = nullptr;
      XcbPtr<xcb_get_image_reply_t> image(
          xcb_get_image_reply(c,
                              xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, static_cast<std::int16_t>(x),
                                            static_cast<std::int16_t>(y), 1, 1, ~0u),
                              &rawError));
      XcbPtr<xcb_generic_error_t> error(rawError);
      if (!image || error) return kInvalidColor;  // outside the root gives BadMatch
      const auto length = static_cast<std::size_t>(xcb_get_image_data_length(image.get()));
      if (!ValueInImage(c, Region{x, y, 1, 1}, image->depth, xcb_get_image_data(image.get()), length, x, y, pixel)) {
        return kInvalidColor;
      }
      visualId = image->visual;
    }
    return Decode(c, screen, visualId, pixel);
  }

 private:
  // The colour of a pixel value of the root: through the visual's masks, or the colormap for palettes.
  static ColorValue Decode(xcb_connection_t* c, xcb_screen_t* screen, xcb_visualid_t visualId, std::uint32_t pixel) {
    xcb_visualtype_t* visual = FindVisual(screen, visualId ? visualId : screen->root_visual);
    if (visual && (visual->_class == XCB_VISUAL_CLASS_TRUE_COLOR || visual->_class == XCB_VISUAL_CLASS_DIRECT_COLOR)) {
      PixelFormat format;
      format.redMask = visual->red_mask;
      format.greenMask = visual->green_mask;
      format.blueMask = visual->blue_mask;
      return DecodeTrueColor(pixel, format);
    }
    // Palette visuals (depth 8): the pixel is an index into the root's colormap.
    xcb_generic_error_t* rawError = nullptr;
    XcbPtr<xcb_query_colors_reply_t> colors(
        xcb_query_colors_reply(c, xcb_query_colors(c, screen->default_colormap, 1, &pixel), &rawError));
    XcbPtr<xcb_generic_error_t> error(rawError);
    if (!colors || error || xcb_query_colors_colors_length(colors.get()) < 1) return kInvalidColor;
    const xcb_rgb_t rgb = *xcb_query_colors_colors(colors.get());
    return static_cast<ColorValue>(rgb.red >> 8) | static_cast<ColorValue>(rgb.green >> 8) << 8 |
           static_cast<ColorValue>(rgb.blue >> 8) << 16;
  }

  X11Screen& screen_;
};

X11Screen::X11Screen(xcb_connection_t* toolkitConnection, const char* displayName) : connection_(toolkitConnection) {
  if (!toolkitConnection) return;
  // Qt reads its connection on a thread of its own, so each reply to a read made on it from here wakes
  // that thread too, which hands the reply over through a lock: two wake-ups and a handful of system
  // calls more per reply, twice a tick. A connection only this thread uses is read directly.
  own_.reset(xcb_connect(displayName, nullptr));  // never null: a failed connection is an error object
  if (xcb_connection_has_error(own_.get())) {
    own_.reset();
  } else {
    connection_ = own_.get();
  }
  FollowMonitorChanges();
}

void X11Screen::FollowMonitorChanges() {
  xcb_connection_t* c = connection_;
  const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &xcb_randr_id);
  if (!randr || !randr->present) return;
  XcbPtr<xcb_randr_query_version_reply_t> version(
      xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 5), nullptr));
  if (!version || version->major_version != 1 || version->minor_version < 2) return;
  randrMinor_ = static_cast<int>(version->minor_version);
  // Qt reads its own connection's events; only a connection of this thread's can be watched.
  if (!own_) return;
  // A change of outputs, CRTCs or the primary output comes as a notice on the connection. The replies
  // a tick waits for bring any notice that came before them into xcb's queue, so looking there costs
  // nothing until one has come. (The X server sends none for a monitor set or deleted by hand, with
  // xrandr --setmonitor; such a change shows at the next notice.)
  for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it)) {
    xcb_randr_select_input(
        c, it.data->root,
        XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE);
  }
  xcb_flush(c);
  randrFirstEvent_ = randr->first_event;
}

void X11Screen::TakeMonitorNotices() {
  if (randrFirstEvent_ < 0) return;
  while (xcb_generic_event_t* event = xcb_poll_for_queued_event(connection_)) {
    const int code = (event->response_type & 0x7f) - randrFirstEvent_;
    if (code == XCB_RANDR_SCREEN_CHANGE_NOTIFY || code == XCB_RANDR_NOTIFY) originRoot_ = 0;
    std::free(event);
  }
}

std::vector<Monitor> QueryMonitors(xcb_connection_t* c, std::uint32_t root, int randrMinor) {
  std::vector<Monitor> monitors;
  if (randrMinor >= 5) {
    XcbPtr<xcb_randr_get_monitors_reply_t> reply(
        xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, root, 1), nullptr));
    if (!reply) return monitors;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem; xcb_randr_monitor_info_next(&it)) {
      monitors.push_back({it.data->x, it.data->y, it.data->primary != 0, it.data->width, it.data->height});
    }
    return monitors;
  }
  if (randrMinor < 2) return monitors;
  // Before monitors: the CRTCs that show an output, the one showing the primary output (1.3) primary.
  xcb_randr_output_t primaryOutput = XCB_NONE;
  if (randrMinor >= 3) {
    XcbPtr<xcb_randr_get_output_primary_reply_t> primary(
        xcb_randr_get_output_primary_reply(c, xcb_randr_get_output_primary(c, root), nullptr));
    if (primary) primaryOutput = primary->output;
  }
  XcbPtr<xcb_randr_get_screen_resources_current_reply_t> resources(
      xcb_randr_get_screen_resources_current_reply(c, xcb_randr_get_screen_resources_current(c, root), nullptr));
  if (!resources) return monitors;
  const xcb_randr_crtc_t* crtcs = xcb_randr_get_screen_resources_current_crtcs(resources.get());
  const int count = xcb_randr_get_screen_resources_current_crtcs_length(resources.get());
  for (int i = 0; i < count; ++i) {
    XcbPtr<xcb_randr_get_crtc_info_reply_t> crtc(
        xcb_randr_get_crtc_info_reply(c, xcb_randr_get_crtc_info(c, crtcs[i], resources->config_timestamp), nullptr));
    if (!crtc || crtc->mode == XCB_NONE || xcb_randr_get_crtc_info_outputs_length(crtc.get()) < 1) continue;
    const xcb_randr_output_t* outputs = xcb_randr_get_crtc_info_outputs(crtc.get());
    const bool primary = primaryOutput != XCB_NONE &&
                         std::find(outputs, outputs + xcb_randr_get_crtc_info_outputs_length(crtc.get()),
                                   primaryOutput) != outputs + xcb_randr_get_crtc_info_outputs_length(crtc.get());
    monitors.push_back({crtc->x, crtc->y, primary, crtc->width, crtc->height});
  }
  return monitors;
}

ScreenPoint X11Screen::AskOrigin(std::uint32_t root) {
  return PrimaryOrigin(QueryMonitors(connection_, root, randrMinor_));
}

void X11Screen::Disconnect::operator()(xcb_connection_t* c) const { xcb_disconnect(c); }

std::unique_ptr<ScreenContext> X11Screen::GetScreen() {
  if (!connection_) return nullptr;  // not on X11 (offscreen, native Wayland)
  return std::make_unique<X11ScreenContext>(*this);
}

bool X11Screen::CursorPos(ScreenPoint& point) {
  snapshot_.valid = false;
  if (!connection_ || xcb_connection_has_error(connection_)) return false;
  xcb_connection_t* c = connection_;
  const xcb_window_t anyRoot = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  const xcb_query_pointer_cookie_t pointerCookie = xcb_query_pointer(c, anyRoot);
  // The pixel under the pointer is read next. Asking for the pixels around where the pointer is expected
  // in the same trip to the server saves the second round trip whenever it lands there; both answers
  // describe the same moment.
  const xcb_window_t expectedRoot = pointerRoot_;
  Region region;
  bool asked = false;
  xcb_get_image_cookie_t imageCookie{};
  if (havePointer_ && expectedRoot != 0) {
    if (xcb_screen_t* screen = ScreenOfRoot(c, expectedRoot)) {
      region = PredictedRegion(previous_, last_, screen->width_in_pixels, screen->height_in_pixels, kSnapshotSpan);
      if (region.width > 0 && region.height > 0) {
        imageCookie = xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, expectedRoot, static_cast<std::int16_t>(region.x),
                                    static_cast<std::int16_t>(region.y), static_cast<std::uint16_t>(region.width),
                                    static_cast<std::uint16_t>(region.height), ~0u);
        asked = true;
      }
    }
  }
  xcb_generic_error_t* rawError = nullptr;
  XcbPtr<xcb_query_pointer_reply_t> reply(xcb_query_pointer_reply(c, pointerCookie, &rawError));
  XcbPtr<xcb_generic_error_t> error(rawError);
  XcbPtr<xcb_get_image_reply_t> image;
  if (asked) {
    xcb_generic_error_t* rawImageError = nullptr;
    image.reset(xcb_get_image_reply(c, imageCookie, &rawImageError));
    XcbPtr<xcb_generic_error_t> imageError(rawImageError);
    if (imageError) image.reset();  // the root shrank: the pixel is read on its own
  }
  TakeMonitorNotices();
  if (!reply || error) return false;
  // On another X screen the reply names that screen's root, with coordinates relative to it.
  pointerRoot_ = reply->root;
  if (originRoot_ != reply->root) {
    origin_ = AskOrigin(reply->root);
    originRoot_ = reply->root;
  }
  const ScreenPoint onRoot{reply->root_x, reply->root_y};
  point = {onRoot.x - origin_.x, onRoot.y - origin_.y};
  previous_ = havePointer_ && reply->root == expectedRoot ? last_ : onRoot;
  last_ = onRoot;
  havePointer_ = true;
  if (image && reply->root == expectedRoot) {
    const std::uint8_t* data = xcb_get_image_data(image.get());
    snapshot_.data.assign(data, data + xcb_get_image_data_length(image.get()));
    snapshot_.root = expectedRoot;
    snapshot_.region = region;
    snapshot_.depth = image->depth;
    snapshot_.visual = image->visual;
    snapshot_.valid = true;
  }
  return true;
}

bool X11Screen::MovePointer(ScreenPoint point) {
  if (!connection_ || xcb_connection_has_error(connection_) || pointerRoot_ == 0) return false;
  // On the root the pointer was last seen on (CursorPos comes first), back from screen coordinates to the
  // root's; the protocol's coordinates are 16-bit and the server keeps the pointer on the screen.
  if (originRoot_ != pointerRoot_) return false;
  auto onRoot = [](std::int64_t v) {
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int16_t>::min(),
                                                              std::numeric_limits<std::int16_t>::max()));
  };
  const xcb_void_cookie_t cookie =
      xcb_warp_pointer_checked(connection_, XCB_NONE, pointerRoot_, 0, 0, 0, 0,
                               onRoot(std::int64_t{point.x} + origin_.x), onRoot(std::int64_t{point.y} + origin_.y));
  XcbPtr<xcb_generic_error_t> error(xcb_request_check(connection_, cookie));
  return !error;
}

}  // namespace tintvale::x11
