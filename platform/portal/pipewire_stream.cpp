#include "platform/portal/pipewire_stream.h"

#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>

#include "platform/portal/stream_params.h"

namespace tintvale::portal {

struct PipeWireCapture::Impl {
  struct PerStream {
    Impl* owner = nullptr;
    std::size_t index = 0;
    std::uint32_t node = 0;
    pw_stream* stream = nullptr;
    spa_hook listener{};
    FrameFormat format = FrameFormat::kUnknown;  // PipeWire's thread only
    std::int32_t width = 0, height = 0;
  };
  // What the user-interface thread reads, under mutex.
  struct Shared {
    pw_buffer* held = nullptr;  // the newest full frame, kept out of the stream's queue
    FrameView view;
    bool pointerHere = false;
    ScreenPoint pointer;     // in frame pixels
    std::uint64_t seen = 0;  // when the pointer was last reported here, on the counter below
  };

  std::function<void()> onChange;
  pw_thread_loop* loop = nullptr;
  pw_context* context = nullptr;
  pw_core* core = nullptr;
  spa_hook coreListener{};
  pw_registry* registry = nullptr;
  spa_hook registryListener{};
  std::vector<std::unique_ptr<PerStream>> streams;
  std::atomic<bool> endReported{false};

  std::mutex mutex;
  std::vector<Shared> shared;
  std::vector<PortalStream> portal;   // one per stream, as the portal described it
  std::vector<FrameSize> frameSizes;  // one per stream, from its format
  std::vector<LayoutMonitor> layout;
  std::vector<int> pins;             // the layout monitor each stream was seen on, where its size left a choice
  std::vector<MonitorPlace> places;  // one per stream: PlaceStreams of the four above
  bool ended = false;
  bool metaMissing = false, positionSeen = false, frameSeen = false;
  std::chrono::steady_clock::time_point firstFrame;
  std::uint64_t counter = 0;
  int lastStream = -1;  // the stream whose frame answered the last pointer, tried first for its pixel
  std::uint64_t frames = 0, buffers = 0;

  // Under mutex.
  void Place() { places = PlaceStreams(portal, frameSizes, layout, pins); }

  // The streams cannot go on: reads fail from now on and the owner hears of it once.
  void End() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      ended = true;
      for (Shared& s : shared) {
        s.view = FrameView{};
        s.pointerHere = false;
      }
    }
    if (!endReported.exchange(true) && onChange) onChange();
  }

  static void OnProcess(void* data) {
    auto* ps = static_cast<PerStream*>(data);
    Impl& self = *ps->owner;
    pw_buffer* newest = nullptr;
    bool cursorSeen = false, cursorGone = false, positionCame = false;
    ScreenPoint cursor;
    std::uint64_t count = 0;
    // Every waiting buffer: the pointer from each, the picture from the newest full one. The rest go
    // straight back to the stream.
    while (pw_buffer* b = pw_stream_dequeue_buffer(ps->stream)) {
      ++count;
      const auto* meta = static_cast<const spa_meta_cursor*>(
          spa_buffer_find_meta_data(b->buffer, SPA_META_Cursor, sizeof(spa_meta_cursor)));
      // Any position proves that the desktop fills the metadata in, also one outside this frame.
      if (meta && meta->id != 0) positionCame = true;
      // The position is the hotspot's, in frame pixels. One outside the frame is the pointer on another
      // monitor (a desktop may still report it, for a cursor picture that overlaps the edge).
      const bool onFrame = meta && meta->id != 0 &&
                           (ps->width <= 0 || (meta->position.x >= 0 && meta->position.x < ps->width &&
                                               meta->position.y >= 0 && meta->position.y < ps->height));
      if (onFrame) {
        cursor = {meta->position.x, meta->position.y};
        cursorSeen = true;
        cursorGone = false;
      } else if (meta) {
        cursorGone = true;  // the pointer is not over this stream's monitor
        cursorSeen = false;
      }
      if (HasPicture(b->buffer) && ps->format != FrameFormat::kUnknown) {
        if (newest) pw_stream_queue_buffer(ps->stream, newest);
        newest = b;
      } else {
        pw_stream_queue_buffer(ps->stream, b);
      }
    }
    pw_buffer* old = nullptr;
    bool firstFrame = false;
    {
      std::lock_guard<std::mutex> lock(self.mutex);
      self.buffers += count;
      if (positionCame) self.positionSeen = true;
      Shared& s = self.shared[ps->index];
      if (newest && !self.ended) {
        old = s.held;
        s.held = newest;
        const spa_data& d = newest->buffer->datas[0];
        s.view.data = static_cast<const std::uint8_t*>(d.data);
        s.view.size = d.maxsize;
        s.view.offset = d.chunk->offset % (d.maxsize ? d.maxsize : 1);
        s.view.stride = d.chunk->stride != 0 ? d.chunk->stride : ps->width * 4;
        s.view.width = ps->width;
        s.view.height = ps->height;
        s.view.format = ps->format;
        ++self.frames;
        if (!self.frameSeen) {
          self.frameSeen = firstFrame = true;
          self.firstFrame = std::chrono::steady_clock::now();
        }
      } else if (newest) {
        old = newest;
      }
      if (cursorSeen) {
        s.pointerHere = true;
        s.pointer = cursor;
        s.seen = ++self.counter;
      } else if (cursorGone) {
        s.pointerHere = false;
      }
    }
    // The frame before is no longer read by anyone: back to the stream after the lock.
    if (old) pw_stream_queue_buffer(ps->stream, old);
    if (firstFrame && self.onChange) self.onChange();
  }

  static void OnAddBuffer(void* data, pw_buffer* b) {
    auto* ps = static_cast<PerStream*>(data);
    Impl& self = *ps->owner;
    // PipeWire leaves out metadata that producer and consumer do not agree on (a cursor size of one
    // that the other does not offer), without a word: the buffers then never carry the pointer.
    if (spa_buffer_find_meta_data(b->buffer, SPA_META_Cursor, sizeof(spa_meta_cursor))) return;
    bool first = false;
    {
      std::lock_guard<std::mutex> lock(self.mutex);
      first = !self.metaMissing;
      self.metaMissing = true;
    }
    if (first && self.onChange) self.onChange();
  }

  static void OnRemoveBuffer(void* data, pw_buffer* b) {
    auto* ps = static_cast<PerStream*>(data);
    std::lock_guard<std::mutex> lock(ps->owner->mutex);
    Shared& s = ps->owner->shared[ps->index];
    if (s.held == b) {
      s.held = nullptr;
      s.view = FrameView{};
    }
  }

  static void OnParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
    auto* ps = static_cast<PerStream*>(data);
    if (!param || id != SPA_PARAM_Format) return;
    spa_video_info_raw info{};
    std::uint32_t mediaType = 0, mediaSubtype = 0;
    if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 || mediaType != SPA_MEDIA_TYPE_video ||
        mediaSubtype != SPA_MEDIA_SUBTYPE_raw || spa_format_video_raw_parse(param, &info) < 0) {
      return;
    }
    ps->format = FormatOf(info.format);
    ps->width = static_cast<std::int32_t>(info.size.width);
    ps->height = static_cast<std::int32_t>(info.size.height);
    {
      std::lock_guard<std::mutex> lock(ps->owner->mutex);
      ps->owner->frameSizes[ps->index] = {ps->width, ps->height};
      ps->owner->Place();
    }
    std::uint8_t storage[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    const spa_pod* params[3];
    BufferParams(b, params);
    pw_stream_update_params(ps->stream, params, 3);
  }

  static void OnStateChanged(void* data, pw_stream_state /*old*/, pw_stream_state state, const char* /*error*/) {
    auto* ps = static_cast<PerStream*>(data);
    if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) ps->owner->End();
  }

  static void OnGlobalRemove(void* data, std::uint32_t id) {
    auto* self = static_cast<Impl*>(data);
    // The portal's node is gone: the desktop stopped sharing or its producer ended.
    for (const auto& ps : self->streams) {
      if (ps->node == id) self->End();
    }
  }

  static void OnCoreError(void* data, std::uint32_t id, int /*seq*/, int /*res*/, const char* /*message*/) {
    // An error on the core object itself means the connection is lost (PipeWire restarted or refused us).
    if (id == PW_ID_CORE) static_cast<Impl*>(data)->End();
  }
};

namespace {

const pw_stream_events kStreamEvents = [] {
  pw_stream_events e{};
  e.version = PW_VERSION_STREAM_EVENTS;
  e.state_changed = PipeWireCapture::Impl::OnStateChanged;
  e.param_changed = PipeWireCapture::Impl::OnParamChanged;
  e.add_buffer = PipeWireCapture::Impl::OnAddBuffer;
  e.remove_buffer = PipeWireCapture::Impl::OnRemoveBuffer;
  e.process = PipeWireCapture::Impl::OnProcess;
  return e;
}();

const pw_core_events kCoreEvents = [] {
  pw_core_events e{};
  e.version = PW_VERSION_CORE_EVENTS;
  e.error = PipeWireCapture::Impl::OnCoreError;
  return e;
}();

const pw_registry_events kRegistryEvents = [] {
  pw_registry_events e{};
  e.version = PW_VERSION_REGISTRY_EVENTS;
  e.global_remove = PipeWireCapture::Impl::OnGlobalRemove;
  return e;
}();

}  // namespace

PipeWireCapture::PipeWireCapture(int fd, std::vector<Stream> streams, std::vector<LayoutMonitor> layout,
                                 std::function<void()> onChange)
    : impl_(std::make_unique<Impl>()) {
  Impl& d = *impl_;
  d.onChange = std::move(onChange);
  d.shared.resize(streams.size());
  for (const Stream& s : streams) d.portal.push_back(s.portal);
  d.frameSizes.resize(streams.size());
  d.layout = std::move(layout);
  d.Place();
  pw_init(nullptr, nullptr);
  d.loop = pw_thread_loop_new("tintvale-pw", nullptr);
  if (!d.loop) {
    if (fd >= 0) ::close(fd);
    d.ended = true;
    return;
  }
  d.context = pw_context_new(pw_thread_loop_get_loop(d.loop), nullptr, 0);
  if (!d.context || pw_thread_loop_start(d.loop) < 0) {
    if (fd >= 0) ::close(fd);
    d.ended = true;
    return;
  }
  pw_thread_loop_lock(d.loop);
  d.core = d.context ? pw_context_connect_fd(d.context, fd, nullptr, 0) : nullptr;  // takes fd, even on failure
  if (!d.core) {
    d.ended = true;
    pw_thread_loop_unlock(d.loop);
    return;
  }
  pw_core_add_listener(d.core, &d.coreListener, &kCoreEvents, &d);
  d.registry = pw_core_get_registry(d.core, PW_VERSION_REGISTRY, 0);
  if (d.registry) pw_registry_add_listener(d.registry, &d.registryListener, &kRegistryEvents, &d);
  for (std::size_t i = 0; i < streams.size(); ++i) {
    auto ps = std::make_unique<Impl::PerStream>();
    ps->owner = &d;
    ps->index = i;
    ps->node = streams[i].node;
    ps->stream = pw_stream_new(d.core, "tintvale-screen",
                               pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture",
                                                 PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    if (!ps->stream) {
      d.ended = true;
      break;
    }
    pw_stream_add_listener(ps->stream, &ps->listener, &kStreamEvents, ps.get());
    std::uint8_t storage[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    const spa_pod* params[1] = {EnumFormat(b)};
    const auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                                    PW_STREAM_FLAG_DONT_RECONNECT);
    if (pw_stream_connect(ps->stream, PW_DIRECTION_INPUT, ps->node, flags, params, 1) < 0) d.ended = true;
    d.streams.push_back(std::move(ps));
  }
  pw_thread_loop_unlock(d.loop);
}

PipeWireCapture::~PipeWireCapture() {
  Impl& d = *impl_;
  if (d.loop) {
    pw_thread_loop_lock(d.loop);
    // Destroying a stream hands its buffers back (remove_buffer drops the held one) and ends its links.
    for (auto& ps : d.streams) {
      if (ps->stream) {
        spa_hook_remove(&ps->listener);
        {
          std::lock_guard<std::mutex> lock(d.mutex);
          d.shared[ps->index].held = nullptr;
          d.shared[ps->index].view = FrameView{};
        }
        pw_stream_destroy(ps->stream);
        ps->stream = nullptr;
      }
    }
    if (d.registry) {
      spa_hook_remove(&d.registryListener);
      pw_proxy_destroy(reinterpret_cast<pw_proxy*>(d.registry));
    }
    if (d.core) {
      spa_hook_remove(&d.coreListener);
      pw_core_disconnect(d.core);
    }
    pw_thread_loop_unlock(d.loop);
    pw_thread_loop_stop(d.loop);
    if (d.context) pw_context_destroy(d.context);
    pw_thread_loop_destroy(d.loop);
  }
}

bool PipeWireCapture::Pointer(ScreenPoint& point) {
  Impl& d = *impl_;
  std::lock_guard<std::mutex> lock(d.mutex);
  if (d.ended) return false;
  int best = -1;
  for (std::size_t i = 0; i < d.shared.size(); ++i) {
    const Impl::Shared& s = d.shared[i];
    if (s.pointerHere && (best < 0 || s.seen > d.shared[static_cast<std::size_t>(best)].seen))
      best = static_cast<int>(i);
  }
  if (best < 0) return false;
  const Impl::Shared& s = d.shared[static_cast<std::size_t>(best)];
  point = StreamToScreen(d.places[static_cast<std::size_t>(best)], s.pointer.x, s.pointer.y);
  d.lastStream = best;
  return true;
}

ColorValue PipeWireCapture::Pixel(ScreenPoint point) {
  Impl& d = *impl_;
  std::lock_guard<std::mutex> lock(d.mutex);
  if (d.ended) return kInvalidColor;
  // Tried first: the stream the pointer was just read from, whose frame the point came from.
  std::int32_t x = 0, y = 0;
  const int i = ScreenToStream(d.places, point, d.lastStream, x, y);
  return i < 0 ? kInvalidColor : FramePixel(d.shared[static_cast<std::size_t>(i)].view, x, y);
}

void PipeWireCapture::SetLayout(std::vector<LayoutMonitor> layout) {
  Impl& d = *impl_;
  std::lock_guard<std::mutex> lock(d.mutex);
  d.layout = std::move(layout);
  // What was seen belongs to the old layout's monitors.
  d.pins.clear();
  d.Place();
}

bool PipeWireCapture::Unsure() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  for (const MonitorPlace& p : impl_->places) {
    if (p.unsure) return true;
  }
  return false;
}

void PipeWireCapture::Sight(ScreenPoint root) {
  Impl& d = *impl_;
  std::lock_guard<std::mutex> lock(d.mutex);
  const int i = d.lastStream;
  const auto at = static_cast<std::size_t>(i);
  if (d.ended || i < 0 || !d.places[at].unsure || !d.shared[at].pointerHere) return;
  // The X server's pointer is where it is now; the stream's may be a frame behind, and then it names no
  // monitor (never a wrong one: the X server's point lies on the pointer's own monitor).
  const int j = SightedMonitor(d.layout, d.frameSizes[at], d.shared[at].pointer, root);
  if (j < 0) return;
  d.pins.resize(d.portal.size(), -1);
  for (int& pin : d.pins) {
    if (pin == j) pin = -1;
  }
  d.pins[at] = j;
  d.Place();
}

PointerEvidence PipeWireCapture::Evidence() {
  Impl& d = *impl_;
  std::lock_guard<std::mutex> lock(d.mutex);
  PointerEvidence e;
  e.metaMissing = d.metaMissing;
  e.positionSeen = d.positionSeen;
  e.frameSeen = d.frameSeen;
  if (d.frameSeen) {
    e.msSinceFirstFrame =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - d.firstFrame).count();
  }
  // A layout that lists more monitors than are shared may have the pointer on one that is not.
  e.everyMonitorShared = d.layout.size() <= d.portal.size();
  return e;
}

bool PipeWireCapture::Ended() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->ended;
}

void PipeWireCapture::Counts(std::uint64_t& frames, std::uint64_t& buffers) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  frames = impl_->frames;
  buffers = impl_->buffers;
}

}  // namespace tintvale::portal
