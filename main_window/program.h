// The program as the toolkit starts it: Form1 is the startup window, frmAbout is made on first use, and
// the event loop runs until no window of the program is loaded.
#pragma once

#include <memory>

#include "about_box/frm_about.h"
#include "forms/form.h"
#include "main_window/form1.h"

namespace tintvale {

class Program {
 public:
  explicit Program(Platform& platform);
  // Loads and shows Form1; the caller then runs the event loop (Start + Toolkit().Run() is what Run does).
  void Start();
  int Run();

  Form1& MainWindow() { return form1_; }
  frmAbout& AboutBox();
  bool AboutBoxExists() const { return about_ != nullptr; }
  Application& App() { return app_; }

 private:
  Application app_;
  Form1 form1_;
  std::unique_ptr<frmAbout> about_;
};

}  // namespace tintvale
