// Watches one of the compositor's screen-cast nodes as a second consumer and tells what its buffers
// carry, independently of Tintvale: whether pictures come at all, and the cursor metadata's size and
// positions. It asks for what a screen reader of shared memory asks for (four-byte formats, the cursor
// metadata's size as a range, the header). Prints "streaming" once the node streams to it, then one line
// per buffer
//   buffer picture|cursor-only chunk=SIZE flags=F meta=SIZE id=ID position=X,Y
// then, at the end, "pictures P cursor_only C". It ends SECONDS after it started streaming, or at the
// first picture with --first (or after 20 s if it never streams).
// Usage: tintvale_frame_probe NODE SECONDS [--first]   (XDG_RUNTIME_DIR names PipeWire's socket folder)
#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Probe {
  pw_main_loop* loop = nullptr;
  pw_stream* stream = nullptr;
  spa_hook listener{};
  spa_source* timer = nullptr;
  int seconds = 0;
  bool first = false, streaming = false;
  int pictures = 0, cursorOnly = 0;
};

constexpr std::uint32_t CursorMetaSize(std::uint32_t side) {
  return sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap) + side * side * 4u;
}

void OnProcess(void* data) {
  auto* p = static_cast<Probe*>(data);
  while (pw_buffer* b = pw_stream_dequeue_buffer(p->stream)) {
    const spa_buffer* sb = b->buffer;
    const spa_chunk* chunk = sb->n_datas > 0 ? sb->datas[0].chunk : nullptr;
    const bool picture = chunk && chunk->size > 0 && !(chunk->flags & SPA_CHUNK_FLAG_CORRUPTED);
    const spa_meta* meta = spa_buffer_find_meta(sb, SPA_META_Cursor);
    const auto* cursor =
        static_cast<const spa_meta_cursor*>(spa_buffer_find_meta_data(sb, SPA_META_Cursor, sizeof(spa_meta_cursor)));
    std::printf("buffer %s chunk=%u flags=%d meta=%u id=%u position=%d,%d\n", picture ? "picture" : "cursor-only",
                chunk ? chunk->size : 0, chunk ? chunk->flags : 0, meta ? meta->size : 0, cursor ? cursor->id : 0,
                cursor ? cursor->position.x : 0, cursor ? cursor->position.y : 0);
    ++(picture ? p->pictures : p->cursorOnly);
    pw_stream_queue_buffer(p->stream, b);
    if (picture && p->first) pw_main_loop_quit(p->loop);
  }
  std::fflush(stdout);
}

void OnParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
  auto* p = static_cast<Probe*>(data);
  if (!param || id != SPA_PARAM_Format) return;
  std::uint8_t storage[1024];
  spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
  const spa_pod* params[3];
  params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
      SPA_POD_CHOICE_RANGE_Int(4, 3, 16), SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1), SPA_PARAM_BUFFERS_dataType,
      SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr))));
  params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Cursor),
      SPA_PARAM_META_size, SPA_POD_CHOICE_RANGE_Int(CursorMetaSize(64), CursorMetaSize(1), CursorMetaSize(512))));
  params[2] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Header),
      SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
  pw_stream_update_params(p->stream, params, 3);
}

void OnStateChanged(void* data, pw_stream_state /*old*/, pw_stream_state state, const char* /*error*/) {
  auto* p = static_cast<Probe*>(data);
  if (state != PW_STREAM_STATE_STREAMING || p->streaming) return;
  p->streaming = true;
  std::printf("streaming\n");
  std::fflush(stdout);
  timespec after{p->seconds, 0};
  pw_loop_update_timer(pw_main_loop_get_loop(p->loop), p->timer, &after, nullptr, false);
}

void OnTimeout(void* data, std::uint64_t) { pw_main_loop_quit(static_cast<Probe*>(data)->loop); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s NODE SECONDS [--first]\n", argv[0]);
    return 2;
  }
  pw_init(&argc, &argv);
  Probe p;
  p.first = argc > 3 && std::strcmp(argv[3], "--first") == 0;
  p.seconds = std::atoi(argv[2]);
  p.loop = pw_main_loop_new(nullptr);
  pw_loop* loop = pw_main_loop_get_loop(p.loop);
  pw_stream_events events{};
  events.version = PW_VERSION_STREAM_EVENTS;
  events.state_changed = OnStateChanged;
  events.param_changed = OnParamChanged;
  events.process = OnProcess;
  p.stream = pw_stream_new_simple(loop, "tintvale-frame-probe",
                                  pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture",
                                                    PW_KEY_MEDIA_ROLE, "Screen", nullptr),
                                  &events, &p);
  std::uint8_t storage[1024];
  spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
  const spa_rectangle size{1920, 1080}, minSize{1, 1}, maxSize{16384, 16384};
  const spa_fraction rate{0, 1}, minRate{0, 1}, maxRate{1000, 1};
  const spa_pod* params[1] = {static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
      SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
      SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRA,
                             SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA),
      SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&size, &minSize, &maxSize), SPA_FORMAT_VIDEO_framerate,
      SPA_POD_CHOICE_RANGE_Fraction(&rate, &minRate, &maxRate)))};
  // A node that never streams to it: it gives up after 20 s.
  p.timer = pw_loop_add_timer(loop, OnTimeout, &p);
  timespec giveUp{20, 0};
  pw_loop_update_timer(loop, p.timer, &giveUp, nullptr, false);
  const auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS);
  if (pw_stream_connect(p.stream, PW_DIRECTION_INPUT, static_cast<std::uint32_t>(std::atoi(argv[1])), flags, params,
                        1) < 0) {
    std::fprintf(stderr, "tintvale_frame_probe: cannot connect to node %s\n", argv[1]);
    return 1;
  }
  pw_main_loop_run(p.loop);
  std::printf("pictures %d cursor_only %d\n", p.pictures, p.cursorOnly);
  pw_stream_destroy(p.stream);
  pw_main_loop_destroy(p.loop);
  pw_deinit();
  return 0;
}
