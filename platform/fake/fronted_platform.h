// A platform that puts a toolkit and a screen of the caller's in front of a real platform's and hands
// every other service on to it: how the benchmarks and the in-process program tests watch the real
// program without changing it. The toolkit and the screen must outlive it.
#pragma once

#include "platform/platform.h"

namespace tintvale {

class FrontedPlatform final : public Platform {
 public:
  FrontedPlatform(Platform& inner, tintvale::Toolkit& toolkit, tintvale::ScreenServices& screen)
      : inner_(inner), toolkit_(toolkit), screen_(screen) {}
  tintvale::Toolkit& Toolkit() override { return toolkit_; }
  tintvale::ScreenServices& ScreenServices() override { return screen_; }
  tintvale::Registry& Registry() override { return inner_.Registry(); }
  tintvale::ProcessStarter& ProcessStarter() override { return inner_.ProcessStarter(); }
  tintvale::FileTest& FileTest() override { return inner_.FileTest(); }
  tintvale::MessageDialog& MessageDialog() override { return inner_.MessageDialog(); }

 private:
  Platform& inner_;
  tintvale::Toolkit& toolkit_;
  tintvale::ScreenServices& screen_;
};

}  // namespace tintvale
