#include "platform/portal/stream_params.h"

#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>

namespace tintvale::portal {
namespace {

// The largest cursor bitmap asked for room for, in pixels a side: above what desktops offer today.
constexpr int kLargestCursor = 1024;

// The cursor metadata with room for a square bitmap of side pixels, four bytes each.
constexpr int CursorMetaSize(int side) {
  return static_cast<int>(sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap)) + side * side * 4;
}

}  // namespace

// What the streams accept: the four-byte RGB layouts, any size, and a picture rate capped at 60 a
// second. mutter 43 holds cursor-only updates to the same cap, so it is also the pointer's rate: 60
// keeps up with a 60 Hz monitor where 30 halved it. A playing video (or, without a cursor plane, a moving
// pointer) then costs the desktop up to 60 picture copies a second instead of 30 (scripts/bench-gnome.sh).
const spa_pod* EnumFormat(spa_pod_builder& b) {
  spa_pod_frame f;
  spa_pod_builder_push_object(&b, &f, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
  spa_pod_builder_add(&b, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video), 0);
  spa_pod_builder_add(&b, SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), 0);
  spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_format,
                      SPA_POD_CHOICE_ENUM_Id(9, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_RGBx,
                                             SPA_VIDEO_FORMAT_xRGB, SPA_VIDEO_FORMAT_xBGR, SPA_VIDEO_FORMAT_BGRA,
                                             SPA_VIDEO_FORMAT_RGBA, SPA_VIDEO_FORMAT_ARGB, SPA_VIDEO_FORMAT_ABGR),
                      0);
  const spa_rectangle size{1920, 1080}, minSize{1, 1}, maxSize{16384, 16384};
  spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&size, &minSize, &maxSize), 0);
  const spa_fraction rate{0, 1}, minRate{0, 1}, maxRate{1000, 1};
  spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&rate, &minRate, &maxRate), 0);
  const spa_fraction cap{60, 1}, minCap{1, 1};
  spa_pod_builder_add(&b, SPA_FORMAT_VIDEO_maxFramerate, SPA_POD_CHOICE_RANGE_Fraction(&cap, &minCap, &cap), 0);
  return static_cast<const spa_pod*>(spa_pod_builder_pop(&b, &f));
}

void BufferParams(spa_pod_builder& b, const spa_pod* (&params)[3]) {
  // At least 3 buffers: one is held as the kept frame, and a pool of two left the producer without a
  // free buffer often enough to stall the stream. 8 by default: with 4, mutter 43 found no free buffer
  // several times a run and dropped that picture for good, leaving a still screen's kept frame stale.
  // Shared memory only: no DMA-BUF, so no GPU import.
  params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
      SPA_POD_CHOICE_RANGE_Int(8, 3, 16), SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1), SPA_PARAM_BUFFERS_dataType,
      SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr))));
  // The cursor's size as a range: desktops offer one fixed size each (mutter a 384 x 384 bitmap, KWin
  // 256 x 256), and PipeWire keeps the metadata only where the two sides' sizes meet.
  params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Cursor),
      SPA_PARAM_META_size,
      SPA_POD_CHOICE_RANGE_Int(CursorMetaSize(64), CursorMetaSize(1), CursorMetaSize(kLargestCursor))));
  params[2] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Header),
      SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
}

FrameFormat FormatOf(std::uint32_t spa) {
  switch (spa) {
    case SPA_VIDEO_FORMAT_BGRx: return FrameFormat::kBGRx;
    case SPA_VIDEO_FORMAT_RGBx: return FrameFormat::kRGBx;
    case SPA_VIDEO_FORMAT_xRGB: return FrameFormat::kxRGB;
    case SPA_VIDEO_FORMAT_xBGR: return FrameFormat::kxBGR;
    case SPA_VIDEO_FORMAT_BGRA: return FrameFormat::kBGRA;
    case SPA_VIDEO_FORMAT_RGBA: return FrameFormat::kRGBA;
    case SPA_VIDEO_FORMAT_ARGB: return FrameFormat::kARGB;
    case SPA_VIDEO_FORMAT_ABGR: return FrameFormat::kABGR;
    default: return FrameFormat::kUnknown;
  }
}

// A buffer carries a picture unless its chunk is empty or marked corrupted: cursor-only updates come
// as such buffers, and must not replace the kept frame.
bool HasPicture(const spa_buffer* b) {
  if (b->n_datas < 1 || !b->datas[0].data || !b->datas[0].chunk) return false;
  const spa_chunk* chunk = b->datas[0].chunk;
  if (chunk->size == 0 || (chunk->flags & SPA_CHUNK_FLAG_CORRUPTED)) return false;
  const auto* header =
      static_cast<const spa_meta_header*>(spa_buffer_find_meta_data(b, SPA_META_Header, sizeof(spa_meta_header)));
  return !(header && (header->flags & SPA_META_HEADER_FLAG_CORRUPTED));
}

}  // namespace tintvale::portal
