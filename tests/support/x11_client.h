// An X client of a test's own on $DISPLAY, xcb only: it paints the root of a 24-bit screen (one colour, or
// a pattern in a square) and moves the pointer, each step done on the server when the call returns.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace tintvale::test_support {

class X11Client {
 public:
  X11Client() : c_(xcb_connect(nullptr, nullptr)) {}
  ~X11Client() { xcb_disconnect(c_); }
  X11Client(const X11Client&) = delete;
  X11Client& operator=(const X11Client&) = delete;
  bool Ok() const { return xcb_connection_has_error(c_) == 0; }
  xcb_connection_t* Connection() { return c_; }
  xcb_screen_t* Screen() { return xcb_setup_roots_iterator(xcb_get_setup(c_)).data; }
  // Root background of a 24-bit true-colour screen, painted at once.
  void PaintRoot(std::uint32_t rgb) {
    xcb_change_window_attributes(c_, Screen()->root, XCB_CW_BACK_PIXEL, &rgb);
    xcb_clear_area(c_, 0, Screen()->root, 0, 0, 0, 0);
    Sync();
  }
  // Root background of a 24-bit screen: colour(x, y) inside the square at (x0, y0) of side size, base
  // outside it.
  void PaintRootPattern(std::uint32_t base, int x0, int y0, int size, std::uint32_t (*colour)(int, int)) {
    xcb_screen_t* s = Screen();
    const xcb_pixmap_t pixmap = xcb_generate_id(c_);
    xcb_create_pixmap(c_, s->root_depth, pixmap, s->root, s->width_in_pixels, s->height_in_pixels);
    const xcb_gcontext_t gc = xcb_generate_id(c_);
    xcb_create_gc(c_, gc, pixmap, XCB_GC_FOREGROUND, &base);
    const xcb_rectangle_t all{0, 0, s->width_in_pixels, s->height_in_pixels};
    xcb_poly_fill_rectangle(c_, pixmap, gc, 1, &all);
    std::vector<std::uint32_t> row(static_cast<std::size_t>(size));
    for (int y = y0; y < y0 + size; ++y) {
      for (int x = x0; x < x0 + size; ++x) row[static_cast<std::size_t>(x - x0)] = colour(x, y);
      xcb_put_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, static_cast<std::uint16_t>(size), 1,
                    static_cast<std::int16_t>(x0), static_cast<std::int16_t>(y), 0, s->root_depth,
                    static_cast<std::uint32_t>(row.size() * 4), reinterpret_cast<const std::uint8_t*>(row.data()));
    }
    xcb_change_window_attributes(c_, s->root, XCB_CW_BACK_PIXMAP, &pixmap);
    xcb_clear_area(c_, 0, s->root, 0, 0, 0, 0);
    xcb_free_gc(c_, gc);
    xcb_free_pixmap(c_, pixmap);
    Sync();
  }
  void MovePointer(int x, int y) {
    xcb_warp_pointer(c_, XCB_NONE, Screen()->root, 0, 0, 0, 0, static_cast<std::int16_t>(x),
                     static_cast<std::int16_t>(y));
    Sync();
  }

 private:
  void Sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }
  xcb_connection_t* c_;
};

}  // namespace tintvale::test_support
