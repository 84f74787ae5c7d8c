// The verdict on whether the streams bring the pointer.
#include "platform/portal/pointer_evidence.h"

#include <gtest/gtest.h>

namespace tintvale::portal {
namespace {

TEST(JudgePointer, WaitsForTheFirstPictureAndNeverTripsOnAStillPointer) {
  constexpr std::int64_t kGrace = 4000;
  struct Row {
    PointerEvidence evidence;
    PointerVerdict verdict;
    const char* why;
  } rows[] = {
      {{false, false, false, 0, true}, PointerVerdict::kWaiting, "nothing has come yet"},
      {{true, false, false, 0, true}, PointerVerdict::kNoMetadata, "buffers without cursor metadata: at once"},
      {{true, true, true, 0, true}, PointerVerdict::kNoMetadata, "one stream without metadata is enough"},
      {{false, true, true, 0, true}, PointerVerdict::kWorking, "a position with the first picture"},
      {{false, true, false, 0, true}, PointerVerdict::kWorking, "a position before any picture (cursor-only)"},
      {{false, true, true, 60000, true}, PointerVerdict::kWorking, "a still pointer a minute later"},
      {{false, false, true, 3999, true}, PointerVerdict::kWaiting, "no position yet, within the grace"},
      {{false, false, true, 4000, true}, PointerVerdict::kNoPosition, "no position when the grace is up"},
      {{false, false, false, 0, true}, PointerVerdict::kWaiting, "pictures that never come start no clock"},
      {{false, false, true, 60000, false}, PointerVerdict::kWaiting, "a monitor not shared may hold the pointer"},
  };
  for (const Row& r : rows) EXPECT_EQ(JudgePointer(r.evidence, kGrace), r.verdict) << r.why;
}

}  // namespace
}  // namespace tintvale::portal
