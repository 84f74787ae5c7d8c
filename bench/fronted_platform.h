// A platform that puts a toolkit and a screen of the caller's in front of a real platform's and hands
// every other service on to it: how the benchmarks and the in-process program tests watch the real
// program without changing it. The toolkit and the screen must outlive it.
#pragma once

#include "platform/platform.h"

namespace tintvale {

class FrontedPlatform final : public Platform {
 public:
  FrontedPlatform(Platform& inner, Toolkit& forms, ScreenServices& screen)
      : inner_(inner), forms_(forms), screen_(screen) {}
  Toolkit& Forms() override { return forms_; }
  ScreenServices& Screen() override { return screen_; }
  Registry& Reg() override { return inner_.Reg(); }
  ProcessStarter& Processes() override { return inner_.Processes(); }
  FileTest& Files() override { return inner_.Files(); }
  MessageDialog& Messages() override { return inner_.Messages(); }

 private:
  Platform& inner_;
  Toolkit& forms_;
  ScreenServices& screen_;
};

}  // namespace tintvale
