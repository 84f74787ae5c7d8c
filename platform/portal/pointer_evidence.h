// Whether the streams bring the pointer: what their buffers have shown about it, and the verdict.
#pragma once

#include <cstdint>

namespace tintvale::portal {

// What the buffers have shown about the pointer since the streams started, and the verdict on it: cursor
// metadata missing from a stream's buffers is final at once; a pointer position that never comes is
// final graceMs after the first picture, and only when every monitor is shared (the pointer may rest on
// one that is not).
struct PointerEvidence {
  bool metaMissing = false;   // a stream's buffers carry no cursor metadata
  bool positionSeen = false;  // a buffer's cursor metadata held a position (cursor id not 0)
  bool frameSeen = false;     // a picture has come
  std::int64_t msSinceFirstFrame = 0;
  bool everyMonitorShared = true;
};
enum class PointerVerdict { kWaiting, kWorking, kNoMetadata, kNoPosition };
PointerVerdict JudgePointer(const PointerEvidence& evidence, std::int64_t graceMs);

}  // namespace tintvale::portal
