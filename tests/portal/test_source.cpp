// A screen-cast producer for the tests: one PipeWire video stream per monitor (shared memory, a chosen
// four-byte format, rows padded and the picture offset into the buffer) with cursor metadata, driven
// by commands on stdin, one per line:
//   fill S RRGGBB | rect S X Y W H RRGGBB   paint stream S and send it a full frame
//   cursor S X Y                            the pointer to (X, Y) of stream S
//   cursoronly S X Y                        the same in buffers without a picture, whatever was painted,
//                                           and no picture on stream S until it is painted again
//   away S                                  stream S reports the pointer gone (cursor id 0)
//   report S X Y                            stream S reports a position, the others keep theirs
//   quit
// It prints "ready NODE..." once every stream has its node. With --animate SECONDS it moves the pointer
// over stripes of stream 0 at 100 Hz by itself and sends full frames at --fps, logging "time colour"
// for each move to --moves FILE (time on CLOCK_MONOTONIC, colour 0x00BBGGRR). Like mutter, which sends
// about 10 pictures a second of each monitor with nothing moving, each stream sends its picture again
// --idle-fps times a second (default 10; 0 for none), so a consumer that missed a change sees it later.
// The cursor metadata is offered as the real desktops offer it, at one fixed size: mutter's (a 384 x 384
// bitmap, the default), KWin's (256 x 256), or not at all (--cursor-meta none).
// Usage: tintvale_test_source [--size WxH]... [--format BGRx|RGBx|xRGB|xBGR|BGRA|RGBA|ARGB|ABGR] [--fps N]
//                             [--cursor-meta mutter|kwin|none] [--idle-fps N] [--animate SECONDS --moves FILE]
#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kPad = 64;      // bytes after each row
constexpr std::uint32_t kOffset = 256;  // bytes before the picture
constexpr int kRepeats = 3;             // buffers that carry each change
// What mutter 43 and KWin 5.27 offer, measured: 589872 and 262192 bytes.
constexpr std::uint32_t CursorMetaSize(std::uint32_t side) {
  return static_cast<std::uint32_t>(sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap)) + side * side * 4u;
}
constexpr std::uint32_t kMutterCursorMeta = CursorMetaSize(384);
constexpr std::uint32_t kKWinCursorMeta = CursorMetaSize(256);
static_assert(kMutterCursorMeta == 589872 && kKWinCursorMeta == 262192);

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Format {
  const char* name;
  spa_video_format id;
  int red, green, blue, alpha;  // byte positions
};
const Format kFormats[] = {
    {"BGRx", SPA_VIDEO_FORMAT_BGRx, 2, 1, 0, 3}, {"RGBx", SPA_VIDEO_FORMAT_RGBx, 0, 1, 2, 3},
    {"xRGB", SPA_VIDEO_FORMAT_xRGB, 1, 2, 3, 0}, {"xBGR", SPA_VIDEO_FORMAT_xBGR, 3, 2, 1, 0},
    {"BGRA", SPA_VIDEO_FORMAT_BGRA, 2, 1, 0, 3}, {"RGBA", SPA_VIDEO_FORMAT_RGBA, 0, 1, 2, 3},
    {"ARGB", SPA_VIDEO_FORMAT_ARGB, 1, 2, 3, 0}, {"ABGR", SPA_VIDEO_FORMAT_ABGR, 3, 2, 1, 0},
};

struct Source;

struct Monitor {
  Source* owner = nullptr;
  int index = 0;
  int width = 0, height = 0;
  std::vector<std::uint32_t> canvas;  // 0x00RRGGBB
  pw_stream* stream = nullptr;
  spa_hook listener{};
  bool streaming = false;
  // Buffers still to send after a change: a picture, or the pointer alone. Each change goes out in a few
  // buffers, a cycle apart, because a buffer sent while the consumer is still busy with the last one
  // can be dropped (as a desktop sends damage again, the consumer keeps only the newest picture).
  int framesLeft = 0;
  int cursorsLeft = 0;
  // Until then every buffer carries the picture: a picture followed at once by pointer-only buffers can
  // be overtaken by them on a busy machine, and the consumer would never see it.
  double pictureUntil = 0;
  bool moveDue = false;  // an animated move waits to be sent and logged
  double nextIdlePicture = 0;
  bool idleHeld = false;  // after cursoronly: pointer-only buffers until the next paint
  bool pointerHere = false;
  int px = 0, py = 0;
};

struct Source {
  pw_main_loop* loop = nullptr;
  pw_context* context = nullptr;
  pw_core* core = nullptr;
  spa_source* timer = nullptr;
  spa_source* input = nullptr;
  const Format* format = &kFormats[0];
  std::uint32_t cursorMeta = kMutterCursorMeta;  // 0: none offered
  std::vector<std::unique_ptr<Monitor>> monitors;
  bool readyPrinted = false;
  std::string line;
  double fps = 60;
  double idleFps = 10;
  double animateSeconds = 0, animateEnd = 0, frameCredit = 0;
  long step = 0;
  std::FILE* moves = nullptr;
};

// Distinct for stripes 0..255, as 0x00RRGGBB.
std::uint32_t StripeRgb(int i) {
  const std::uint32_t r = static_cast<std::uint32_t>(i) & 255u, g = 255u - r, b = (r * 7u) & 255u;
  return r << 16 | g << 8 | b;
}
std::uint32_t Bgr(std::uint32_t rgb) { return (rgb >> 16 & 255u) | (rgb & 0xFF00u) | (rgb & 255u) << 16; }

// Sends one buffer: the picture when picture is set, else an empty chunk; the cursor either way.
bool Send(Monitor& m, bool picture) {
  pw_buffer* b = pw_stream_dequeue_buffer(m.stream);
  if (!b) return false;
  spa_buffer* buf = b->buffer;
  spa_data& d = buf->datas[0];
  const std::uint32_t stride = static_cast<std::uint32_t>(m.width) * 4 + kPad;
  if (picture && d.data && d.maxsize >= kOffset + stride * static_cast<std::uint32_t>(m.height)) {
    auto* base = static_cast<std::uint8_t*>(d.data) + kOffset;
    const Format& f = *m.owner->format;
    for (int y = 0; y < m.height; ++y) {
      std::uint8_t* row = base + static_cast<std::size_t>(y) * stride;
      for (int x = 0; x < m.width; ++x) {
        const std::uint32_t c = m.canvas[static_cast<std::size_t>(y) * static_cast<std::size_t>(m.width) + x];
        std::uint8_t* p = row + x * 4;
        p[f.red] = static_cast<std::uint8_t>(c >> 16);
        p[f.green] = static_cast<std::uint8_t>(c >> 8);
        p[f.blue] = static_cast<std::uint8_t>(c);
        p[f.alpha] = 0xFF;
      }
    }
    d.chunk->offset = kOffset;
    d.chunk->size = stride * static_cast<std::uint32_t>(m.height);
    d.chunk->stride = static_cast<std::int32_t>(stride);
    d.chunk->flags = 0;
  } else {
    d.chunk->offset = 0;
    d.chunk->size = 0;
    d.chunk->stride = static_cast<std::int32_t>(stride);
    d.chunk->flags = SPA_CHUNK_FLAG_CORRUPTED;
  }
  if (auto* c =
          static_cast<spa_meta_cursor*>(spa_buffer_find_meta_data(buf, SPA_META_Cursor, sizeof(spa_meta_cursor)))) {
    c->id = m.pointerHere ? 1 : 0;
    c->flags = 0;
    c->position.x = m.px;
    c->position.y = m.py;
    c->hotspot.x = 0;
    c->hotspot.y = 0;
    c->bitmap_offset = 0;
  }
  pw_stream_queue_buffer(m.stream, b);
  return true;
}

// Each stream drives its own graph: only a cycle moves a queued buffer to the consumer (one a cycle, once
// the consumer has taken the last) and brings its spent buffers back. So every timer tick runs a cycle
// on every stream, whether or not something is due; what is due goes out in the cycle's process call.
void Flush(Source& s) {
  for (auto& m : s.monitors) {
    if (m->streaming) pw_stream_trigger_process(m->stream);
  }
}

void OnProcess(void* data) {
  auto& m = *static_cast<Monitor*>(data);
  if (m.framesLeft <= 0 && m.cursorsLeft <= 0 && !m.moveDue) return;
  if (!Send(m, m.framesLeft > 0 || Now() < m.pictureUntil)) return;  // no free buffer: the next cycle tries
  if (m.moveDue && m.owner->moves) {
    std::fprintf(m.owner->moves, "%.6f %u\n", Now(), Bgr(m.canvas[static_cast<std::size_t>(m.py) * m.width + m.px]));
  }
  if (m.framesLeft > 0) --m.framesLeft;
  if (m.cursorsLeft > 0) --m.cursorsLeft;
  m.moveDue = false;
}

void Animate(Source& s) {
  Monitor& m = *s.monitors[0];
  if (!m.streaming) return;
  const int stripes = m.width / 8;
  const long period = 2L * (stripes - 1);
  long k = s.step % (period > 0 ? period : 1);
  if (k >= stripes) k = period - k;
  ++s.step;
  m.pointerHere = true;
  m.px = static_cast<int>(k) * 8 + 4;
  m.py = m.height - 40;
  s.frameCredit += s.fps / 100.0;
  if (s.frameCredit >= 1.0) {
    s.frameCredit -= 1.0;
    m.framesLeft = 1;  // the next move's buffer carries the next picture
  }
  m.moveDue = true;
  if (Now() >= s.animateEnd) pw_main_loop_quit(s.loop);
}

void OnTimer(void* data, std::uint64_t /*expirations*/) {
  auto& s = *static_cast<Source*>(data);
  if (s.animateSeconds > 0 && s.animateEnd > 0) Animate(s);
  if (s.idleFps > 0) {
    for (auto& m : s.monitors) {
      if (!m->streaming || m->idleHeld || Now() < m->nextIdlePicture) continue;
      m->framesLeft = std::max(m->framesLeft, 1);
      m->nextIdlePicture = Now() + 1.0 / s.idleFps;
    }
  }
  Flush(s);
}

void Paint(Monitor& m, int x0, int y0, int w, int h, std::uint32_t rgb) {
  for (int y = y0; y < y0 + h && y < m.height; ++y) {
    for (int x = x0; x < x0 + w && x < m.width; ++x) {
      if (x >= 0 && y >= 0) m.canvas[static_cast<std::size_t>(y) * m.width + x] = rgb;
    }
  }
  m.framesLeft = kRepeats;
  m.pictureUntil = Now() + 0.2;
  m.idleHeld = false;
}

void Command(Source& s, const std::string& text) {
  std::istringstream in(text);
  std::string verb;
  int i = 0;
  in >> verb;
  if (verb == "quit") {
    pw_main_loop_quit(s.loop);
    return;
  }
  in >> i;
  if (i < 0 || i >= static_cast<int>(s.monitors.size())) {
    std::fprintf(stderr, "test-source: no stream %d\n", i);
    return;
  }
  Monitor& m = *s.monitors[static_cast<std::size_t>(i)];
  if (verb == "fill") {
    std::string hex;
    in >> hex;
    Paint(m, 0, 0, m.width, m.height, static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16)));
  } else if (verb == "rect") {
    int x = 0, y = 0, w = 0, h = 0;
    std::string hex;
    in >> x >> y >> w >> h >> hex;
    Paint(m, x, y, w, h, static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16)));
  } else if (verb == "cursor" || verb == "cursoronly") {
    in >> m.px >> m.py;
    if (verb == "cursoronly") {
      m.framesLeft = 0;
      m.pictureUntil = 0;
      m.idleHeld = true;
    }
    // One pointer: the stream that had it before reports it gone.
    for (auto& other : s.monitors) {
      if (other.get() != &m && other->pointerHere) {
        other->pointerHere = false;
        other->cursorsLeft = kRepeats;
      }
    }
    m.pointerHere = true;
    m.cursorsLeft = kRepeats;
  } else if (verb == "report") {
    in >> m.px >> m.py;
    m.pointerHere = true;
    m.cursorsLeft = kRepeats;
  } else if (verb == "away") {
    m.pointerHere = false;
    m.cursorsLeft = kRepeats;
  }
  Flush(s);
}

void OnInput(void* data, int fd, std::uint32_t mask) {
  auto& s = *static_cast<Source*>(data);
  if (mask & SPA_IO_IN) {
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      s.line.append(buffer, static_cast<std::size_t>(n));
      for (std::size_t at; (at = s.line.find('\n')) != std::string::npos;) {
        const std::string command = s.line.substr(0, at);
        s.line.erase(0, at + 1);
        Command(s, command);
      }
      return;
    }
  }
  // End of input: the test is done with this source.
  pw_loop_destroy_source(pw_main_loop_get_loop(s.loop), s.input);
  s.input = nullptr;
  if (s.animateSeconds <= 0) pw_main_loop_quit(s.loop);
}

void MaybeReady(Source& s) {
  if (s.readyPrinted) return;
  std::string nodes;
  for (auto& m : s.monitors) {
    const std::uint32_t id = pw_stream_get_node_id(m->stream);
    if (id == SPA_ID_INVALID) return;
    nodes += " " + std::to_string(id);
  }
  s.readyPrinted = true;
  std::printf("ready%s\n", nodes.c_str());
  std::fflush(stdout);
}

void OnState(void* data, pw_stream_state /*old*/, pw_stream_state state, const char* error) {
  auto& m = *static_cast<Monitor*>(data);
  m.streaming = state == PW_STREAM_STATE_STREAMING;
  std::fprintf(stderr, "test-source: stream %d: %s%s%s\n", m.index, pw_stream_state_as_string(state), error ? ": " : "",
               error ? error : "");
  if (state == PW_STREAM_STATE_PAUSED || state == PW_STREAM_STATE_STREAMING) MaybeReady(*m.owner);
  if (m.streaming) {
    m.framesLeft = kRepeats;
    if (m.owner->animateSeconds > 0 && m.owner->animateEnd == 0) m.owner->animateEnd = Now() + m.owner->animateSeconds;
  }
}

void OnParam(void* data, std::uint32_t id, const spa_pod* param) {
  auto& m = *static_cast<Monitor*>(data);
  if (!param || id != SPA_PARAM_Format) return;
  spa_video_info_raw info{};
  if (spa_format_video_raw_parse(param, &info) < 0) return;
  std::fprintf(stderr, "test-source: stream %d: %ux%u, max %u/%u frames a second\n", m.index, info.size.width,
               info.size.height, info.max_framerate.num, info.max_framerate.denom);
  const std::uint32_t stride = static_cast<std::uint32_t>(m.width) * 4 + kPad;
  std::uint8_t storage[1024];
  spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
  const spa_pod* params[3];
  std::uint32_t count = 0;
  params[count++] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
      SPA_POD_CHOICE_RANGE_Int(4, 3, 16), SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1), SPA_PARAM_BUFFERS_size,
      SPA_POD_Int(static_cast<int>(kOffset + stride * static_cast<std::uint32_t>(m.height))), SPA_PARAM_BUFFERS_stride,
      SPA_POD_Int(static_cast<int>(stride)), SPA_PARAM_BUFFERS_dataType,
      SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr))));
  // One fixed size, as the desktops offer it: a consumer that asks for another fixed size gets buffers
  // without the metadata.
  if (m.owner->cursorMeta != 0) {
    params[count++] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Cursor),
        SPA_PARAM_META_size, SPA_POD_Int(static_cast<int>(m.owner->cursorMeta))));
  }
  params[count++] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Header),
      SPA_PARAM_META_size, SPA_POD_Int(static_cast<int>(sizeof(spa_meta_header)))));
  pw_stream_update_params(m.stream, params, count);
}

const pw_stream_events kEvents = [] {
  pw_stream_events e{};
  e.version = PW_VERSION_STREAM_EVENTS;
  e.state_changed = OnState;
  e.param_changed = OnParam;
  e.process = OnProcess;
  return e;
}();

}  // namespace

int main(int argc, char** argv) {
  Source s;
  std::vector<std::pair<int, int>> sizes;
  const char* movesPath = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--size" && more) {
      int w = 0, h = 0;
      if (std::sscanf(argv[++i], "%dx%d", &w, &h) == 2 && w > 0 && h > 0) sizes.emplace_back(w, h);
    } else if (a == "--format" && more) {
      const std::string name = argv[++i];
      for (const Format& f : kFormats) {
        if (name == f.name) s.format = &f;
      }
    } else if (a == "--cursor-meta" && more) {
      const std::string kind = argv[++i];
      if (kind == "mutter") {
        s.cursorMeta = kMutterCursorMeta;
      } else if (kind == "kwin") {
        s.cursorMeta = kKWinCursorMeta;
      } else if (kind == "none") {
        s.cursorMeta = 0;
      } else {
        std::fprintf(stderr, "test-source: unknown cursor metadata %s\n", kind.c_str());
        return 2;
      }
    } else if (a == "--idle-fps" && more) {
      s.idleFps = std::atof(argv[++i]);
    } else if (a == "--fps" && more) {
      s.fps = std::atof(argv[++i]);
    } else if (a == "--animate" && more) {
      s.animateSeconds = std::atof(argv[++i]);
    } else if (a == "--moves" && more) {
      movesPath = argv[++i];
    } else {
      std::fprintf(stderr, "test-source: unknown argument %s\n", a.c_str());
      return 2;
    }
  }
  if (sizes.empty()) sizes.emplace_back(640, 480);
  if (movesPath) s.moves = std::fopen(movesPath, "w");

  pw_init(&argc, &argv);
  s.loop = pw_main_loop_new(nullptr);
  s.context = pw_context_new(pw_main_loop_get_loop(s.loop), nullptr, 0);
  s.core = pw_context_connect(s.context, nullptr, 0);
  if (!s.core) {
    std::fprintf(stderr, "test-source: cannot connect to PipeWire\n");
    return 1;
  }
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    auto m = std::make_unique<Monitor>();
    m->owner = &s;
    m->index = static_cast<int>(i);
    m->width = sizes[i].first;
    m->height = sizes[i].second;
    m->canvas.assign(static_cast<std::size_t>(m->width) * static_cast<std::size_t>(m->height), 0);
    if (s.animateSeconds > 0) {
      for (int y = 0; y < m->height; ++y) {
        for (int x = 0; x < m->width; ++x) m->canvas[static_cast<std::size_t>(y) * m->width + x] = StripeRgb(x / 8);
      }
    }
    m->stream = pw_stream_new(s.core, "tintvale-test-monitor",
                              pw_properties_new(PW_KEY_MEDIA_CLASS, "Video/Source", PW_KEY_NODE_NAME,
                                                ("tintvale-test-monitor-" + std::to_string(i)).c_str(), nullptr));
    pw_stream_add_listener(m->stream, &m->listener, &kEvents, m.get());
    std::uint8_t storage[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    const spa_rectangle size{static_cast<std::uint32_t>(m->width), static_cast<std::uint32_t>(m->height)};
    const spa_fraction rate{0, 1};
    const spa_fraction maxRate{static_cast<std::uint32_t>(s.fps), 1}, minRate{1, 1};
    const spa_pod* params[1] = {static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
        SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format, SPA_POD_Id(s.format->id),
        SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&size), SPA_FORMAT_VIDEO_framerate, SPA_POD_Fraction(&rate),
        SPA_FORMAT_VIDEO_maxFramerate, SPA_POD_CHOICE_RANGE_Fraction(&maxRate, &minRate, &maxRate)))};
    pw_stream_connect(m->stream, PW_DIRECTION_OUTPUT, PW_ID_ANY,
                      static_cast<pw_stream_flags>(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_MAP_BUFFERS), params, 1);
    s.monitors.push_back(std::move(m));
  }
  pw_loop* loop = pw_main_loop_get_loop(s.loop);
  s.input = pw_loop_add_io(loop, STDIN_FILENO, SPA_IO_IN | SPA_IO_HUP | SPA_IO_ERR, false, OnInput, &s);
  s.timer = pw_loop_add_timer(loop, OnTimer, &s);
  timespec first{0, 1}, interval{0, 10 * 1000 * 1000};
  if (s.animateSeconds <= 0) interval.tv_nsec = 5 * 1000 * 1000;  // retries of buffers that found none free
  pw_loop_update_timer(loop, s.timer, &first, &interval, false);
  pw_main_loop_run(s.loop);
  if (s.moves) std::fclose(s.moves);
  for (auto& m : s.monitors) pw_stream_destroy(m->stream);
  pw_core_disconnect(s.core);
  pw_context_destroy(s.context);
  pw_main_loop_destroy(s.loop);
  return 0;
}
