#include "platform/portal/pointer_evidence.h"

namespace tintvale::portal {

PointerVerdict JudgePointer(const PointerEvidence& e, std::int64_t graceMs) {
  if (e.metaMissing) return PointerVerdict::kNoMetadata;
  if (e.positionSeen) return PointerVerdict::kWorking;
  if (!e.frameSeen || !e.everyMonitorShared) return PointerVerdict::kWaiting;
  return e.msSinceFirstFrame >= graceMs ? PointerVerdict::kNoPosition : PointerVerdict::kWaiting;
}

}  // namespace tintvale::portal
