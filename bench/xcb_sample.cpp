#include "bench/xcb_sample.h"

#include <xcb/xtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "bench/figures.h"

namespace tintvale::bench {

XcbConnection Connect(xcb_window_t& root, int& width, int& height) {
  int screenNumber = 0;
  XcbConnection c(xcb_connect(nullptr, &screenNumber));
  if (!c || xcb_connection_has_error(c.get())) {
    std::fprintf(stderr, "cannot connect to the X display\n");
    return nullptr;
  }
  auto it = xcb_setup_roots_iterator(xcb_get_setup(c.get()));
  for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
  root = it.data->root;
  width = it.data->width_in_pixels;
  height = it.data->height_in_pixels;
  return c;
}

bool SampleOnce(xcb_connection_t* c, xcb_window_t root, int& x, int& y, std::uint32_t& pixel) {
  xcb_query_pointer_reply_t* qp = xcb_query_pointer_reply(c, xcb_query_pointer(c, root), nullptr);
  if (!qp) return false;
  x = qp->root_x;
  y = qp->root_y;
  xcb_window_t on = qp->root;
  std::free(qp);
  xcb_generic_error_t* err = nullptr;
  xcb_get_image_reply_t* img =
      xcb_get_image_reply(c,
                          xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, on, static_cast<std::int16_t>(x),
                                        static_cast<std::int16_t>(y), 1, 1, ~0u),
                          &err);
  std::free(err);
  if (!img) return false;
  pixel = 0;
  int n = xcb_get_image_data_length(img);
  std::memcpy(&pixel, xcb_get_image_data(img), n < 4 ? static_cast<std::size_t>(n) : 4u);
  std::free(img);
  pixel &= 0xFFFFFFu;
  return true;
}

void PaintStripes(xcb_connection_t* c, xcb_window_t root, int width, int height) {
  auto screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  xcb_pixmap_t pm = xcb_generate_id(c);
  xcb_create_pixmap(c, screen->root_depth, pm, root, static_cast<std::uint16_t>(width),
                    static_cast<std::uint16_t>(height));
  xcb_gcontext_t gc = xcb_generate_id(c);
  xcb_create_gc(c, gc, pm, 0, nullptr);
  for (int i = 0; i * kStripeWidth < width; ++i) {
    std::uint32_t fg = StripePixel(i);
    xcb_change_gc(c, gc, XCB_GC_FOREGROUND, &fg);
    xcb_rectangle_t r{static_cast<std::int16_t>(i * kStripeWidth), 0, kStripeWidth, static_cast<std::uint16_t>(height)};
    xcb_poly_fill_rectangle(c, pm, gc, 1, &r);
  }
  xcb_change_window_attributes(c, root, XCB_CW_BACK_PIXMAP, &pm);
  xcb_clear_area(c, 0, root, 0, 0, 0, 0);
  // The root keeps its own reference to the background; ours can go.
  xcb_free_gc(c, gc);
  xcb_free_pixmap(c, pm);
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));  // round trip: all applied
}

void ClearStripes(xcb_connection_t* c, xcb_window_t root) {
  std::uint32_t black = xcb_setup_roots_iterator(xcb_get_setup(c)).data->black_pixel;
  xcb_change_window_attributes(c, root, XCB_CW_BACK_PIXEL, &black);
  xcb_clear_area(c, 0, root, 0, 0, 0, 0);
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

void MovePointer(xcb_connection_t* c, xcb_window_t root, int x, int y) {
  xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), 0);
  xcb_flush(c);
}

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void SleepUntil(double t) {
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(t);
  ts.tv_nsec = static_cast<long>((t - static_cast<double>(ts.tv_sec)) * 1e9);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
  }
}

}  // namespace tintvale::bench
