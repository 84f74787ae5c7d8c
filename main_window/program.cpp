#include "main_window/program.h"

namespace tintvale {

Program::Program(Platform& platform) : app_(platform), form1_(app_, [this]() -> Form& { return AboutBox(); }) {}

frmAbout& Program::AboutBox() {
  if (!about_) about_ = std::make_unique<frmAbout>(app_);
  return *about_;
}

void Program::Start() { form1_.Show(); }

int Program::Run() {
  Start();
  if (app_.LoadedWindows() == 0) return 0;
  return app_.Sys().Toolkit().Run();
}

}  // namespace tintvale
