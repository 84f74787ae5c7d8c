// What a screen-cast stream is offered and asked for, as PipeWire's SPA pods: the picture formats, the
// buffers and the metadata; and what a received buffer holds.
#pragma once

#include <spa/buffer/buffer.h>
#include <spa/pod/builder.h>

#include <cstdint>

#include "platform/portal/frame_pixels.h"

namespace tintvale::portal {

// What the streams accept (built in b): the four-byte RGB layouts, any size, pictures capped near 30 a
// second.
const spa_pod* EnumFormat(spa_pod_builder& b);
// The buffers and metadata a stream asks for once its format is known (built in b).
void BufferParams(spa_pod_builder& b, const spa_pod* (&params)[3]);
// The frame layout of a SPA video format; kUnknown for any other.
FrameFormat FormatOf(std::uint32_t spaVideoFormat);
// Whether a buffer carries a picture (cursor-only updates do not).
bool HasPicture(const spa_buffer* b);

}  // namespace tintvale::portal
