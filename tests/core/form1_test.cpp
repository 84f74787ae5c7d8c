// The main window's behaviour on the deterministic backend: sampling, capture, typed preview, focus,
// the always-on-top switch and the two places where handlers nest.
#include "main_window/form1.h"

#include <gtest/gtest.h>

#include "about_box/frm_about.h"
#include "base/utf8.h"
#include "main_window/program.h"
#include "platform/fake/fake_platform.h"

namespace tintvale {
namespace {

using fake::FakePlatform;

class MainWindow : public ::testing::Test {
 protected:
  void Start(const Text& commandLine = u"") {
    sys.toolkit.commandLine = commandLine;
    program = std::make_unique<Program>(sys);
    program->Start();
    w = sys.toolkit.Window("Form1");
  }
  Form1& form() { return program->MainWindow(); }
  fake::User user() { return fake::User(w); }
  Text Entry() const { return w->texts[Text2]; }
  bool Sampling() const { return w->timerRunning[Timer1]; }
  void Tick() { sys.toolkit.Advance(10); }

  FakePlatform sys;
  std::unique_ptr<Program> program;
  std::shared_ptr<fake::WindowState> w;
};

TEST_F(MainWindow, LoadShowsTheWindowFocusesTheEntryAndStartsSamplingAfterLoad) {
  sys.screen.PaintAll(0x123456);
  Start();
  EXPECT_TRUE(w->shown);
  EXPECT_EQ(w->focus, Text2);
  EXPECT_TRUE(Sampling());
  EXPECT_EQ(sys.screen.acquired, 1);
  // No tick has run during load: the swatch has its default colour until the first interval ends.
  EXPECT_EQ(sys.screen.pixelReads, 0);
  EXPECT_EQ(w->backColors[Picture1], kDefaultColor);
  sys.toolkit.Advance(9);
  EXPECT_EQ(sys.screen.pixelReads, 0);
  sys.toolkit.Advance(1);
  EXPECT_EQ(w->backColors[Picture1], 0x123456u);
}

TEST_F(MainWindow, TimerWithoutHandlerNeverRuns) {
  Start();
  EXPECT_FALSE(w->timerRunning[Timer2]);
  EXPECT_TRUE(w->timerRunning[Timer1]);
}

TEST_F(MainWindow, EachTickSamplesThePixelUnderTheCursorWithOneScreenContext) {
  Start();
  struct Row {
    std::int32_t x, y;
    ColorValue color;
    const char16_t* coords;
  } rows[] = {{10, 10, 0xAB000A, u"10\t10"},
              {400, 250, 0xC3A512, u"400\t250"},
              {-640, 0, 0x00FF00, u"-640\t0"},  // a monitor left of the primary one
              {1279, -1, 0x000001, u"1279\t-1"}};
  for (const auto& row : rows) {
    sys.screen.MoveCursor(row.x, row.y);
    sys.screen.Paint(row.x, row.y, row.color);
    Tick();
    EXPECT_EQ(w->backColors[Picture1], row.color) << TextToUtf8(row.coords);
    EXPECT_EQ(w->texts[Text1], row.coords);
    EXPECT_EQ(form().Pos_Color_RGB, static_cast<double>(row.color)) << TextToUtf8(row.coords);
  }
  // A pixel that changes under a resting cursor is followed.
  sys.screen.Paint(1279, -1, 0x0000FF);
  Tick();
  EXPECT_EQ(w->backColors[Picture1], 0x0000FFu);
  EXPECT_EQ(sys.screen.acquired, 1);
  EXPECT_EQ(sys.screen.released, 0);
}

TEST_F(MainWindow, CaptureWritesTheTextInTheChosenFormAndToTheClipboardOnlyWithC) {
  struct Row {
    const char16_t* args;
    ColorValue pixel;
    const char16_t* text;
    bool clipboard;
  } rows[] = {
      {u"", 0xAB000A, u"#0A00AB", false},         {u"-d", 0xAB000A, u"10,0,171", false},
      {u"-c", 0x000000, u"#000000", true},        {u"-C -D", 0xFFFFFF, u"255,255,255", true},
      {u"my-data", 0x0F0F0F, u"15,15,15", false}, {u"-cd", 0x010203, u"#030201", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE("arguments \"" + TextToUtf8(row.args) + "\"");
    sys.toolkit.clipboardWrites.clear();
    sys.screen.PaintAll(row.pixel);
    Start(row.args);
    Tick();
    user().Type(Text2, u"\r");
    EXPECT_EQ(Entry(), row.text);
    if (row.clipboard) {
      ASSERT_EQ(sys.toolkit.clipboardWrites.size(), 1u);
      EXPECT_EQ(sys.toolkit.clipboardWrites[0], row.text);
    } else {
      EXPECT_TRUE(sys.toolkit.clipboardWrites.empty());
    }
    EXPECT_TRUE(Sampling());
    user().Close();
  }
}

TEST_F(MainWindow, CaptureRestartsSamplingOneFullIntervalAfterIt) {
  sys.screen.PaintAll(0x112233);
  Start();
  sys.toolkit.Advance(15);  // one tick at 10, 5 ms into the next interval
  const int reads = sys.screen.pixelReads;
  user().Type(Text2, u"\r");
  sys.toolkit.Advance(9);
  EXPECT_EQ(sys.screen.pixelReads, reads);
  sys.toolkit.Advance(1);
  EXPECT_EQ(sys.screen.pixelReads, reads + 1);
}

TEST_F(MainWindow, OnlyCharacterThirteenCapturesAndOnlyExactInfoOpensTheAboutBox) {
  sys.screen.PaintAll(0x00FF00);
  Start();
  Tick();
  user().Type(Text2, u"/info\r");
  EXPECT_EQ(Entry(), u"/info");
  ASSERT_TRUE(program->AboutBoxExists());
  EXPECT_TRUE(program->AboutBox().Loaded());
  EXPECT_TRUE(Sampling());

  for (const char16_t* other : {u"/INFO", u" /info", u"/info ", u""}) {
    user().Replace(Text2, other);
    user().Type(Text2, u"\n\t");  // other control characters are not Enter
    EXPECT_EQ(Entry(), Text(other) + u"\n\t");
    user().Replace(Text2, other);
    user().Type(Text2, u"\r");
    EXPECT_EQ(Entry(), u"#00FF00") << "entry \"" << TextToUtf8(other) << "\"";
  }
}

TEST_F(MainWindow, TypedColourPreviewsAtEveryKeystrokeAndPausesSampling) {
  sys.screen.PaintAll(0x445566);
  Start();
  Tick();
  const std::pair<const char16_t*, ColorValue> steps[] = {
      {u"#", 0x000000},     {u"#F", 0x00000F},     {u"#FF", 0xFF00FF},    {u"#FFA", 0xFA0AFF},
      {u"#FFAA", 0xAAAAFF}, {u"#FFAA0", 0xA0AAFF}, {u"#FFAA00", 0x00AAFF}};
  for (const auto& [text, color] : steps) {
    user().Type(Text2, Text(1, Text(text).back()));
    ASSERT_EQ(Entry(), text);
    EXPECT_EQ(w->backColors[Picture1], color) << TextToUtf8(text);
    EXPECT_FALSE(Sampling()) << TextToUtf8(text);
  }
  const int reads = sys.screen.pixelReads;
  sys.toolkit.Advance(1000);
  EXPECT_EQ(sys.screen.pixelReads, reads);
  EXPECT_EQ(w->backColors[Picture1], 0x00AAFFu);

  // Leaving the "#" text keeps the preview and the pause.
  for (const char16_t* t : {u"FFAA00", u"", u"/info", u"\uFF03FFFFFF", u"a#FFFFFF"}) {
    user().Replace(Text2, t);
    EXPECT_EQ(w->backColors[Picture1], 0x00AAFFu) << TextToUtf8(t);
    EXPECT_FALSE(Sampling()) << TextToUtf8(t);
  }
}

TEST_F(MainWindow, PastedColourRepaintsOnce) {
  Start();
  Tick();
  const int before = w->backColorSets;
  user().Paste(Text2, u"#1A2B3C");
  EXPECT_EQ(w->backColors[Picture1], 0x3C2B1Au);
  EXPECT_EQ(w->backColorSets, before + 1);
}

TEST_F(MainWindow, TheSameColourPastedOverTheEntryRepaintsAndPausesLikeAnyOther) {
  sys.screen.PaintAll(0xAB000A);
  Start();
  Tick();
  user().Type(Text2, u"\r");
  ASSERT_EQ(Entry(), u"#0A00AB");
  sys.screen.PaintAll(0x00FF00);
  Tick();
  ASSERT_EQ(w->backColors[Picture1], 0x00FF00u);
  user().Replace(Text2, u"#0A00AB");
  EXPECT_EQ(w->backColors[Picture1], 0xAB000Au);
  EXPECT_FALSE(Sampling());
}

TEST_F(MainWindow, EnterAfterATypedColourCapturesTheLastSampledColourAndResumes) {
  for (const char16_t* args : {u"", u"-d"}) {
    SCOPED_TRACE(TextToUtf8(args));
    sys.screen.PaintAll(0x332211);
    Start(args);
    Tick();
    sys.screen.PaintAll(0x999999);  // never sampled: the pause begins first
    user().Type(Text2, u"#ABCDEF");
    user().Type(Text2, u"\r");
    const bool decimal = Text(args) == u"-d";
    EXPECT_EQ(Entry(), decimal ? u"17,34,51" : u"#112233");
    // Hexadecimal text repaints the swatch from the text; decimal leaves the typed colour until a tick.
    EXPECT_EQ(w->backColors[Picture1], decimal ? 0xEFCDABu : 0x332211u);
    EXPECT_TRUE(Sampling());
    Tick();
    EXPECT_EQ(w->backColors[Picture1], 0x999999u);
    user().Close();
  }
}

TEST_F(MainWindow, InfoWhilePausedLeavesSamplingPaused) {
  Start();
  Tick();
  user().Type(Text2, u"#12");
  user().Replace(Text2, u"/info");
  user().Type(Text2, u"\r");
  EXPECT_TRUE(program->AboutBox().Loaded());
  EXPECT_FALSE(Sampling());
}

// What a handler run inside a tick's pump leaves is what the rest of that tick sees: a typed colour
// stops it before it samples, a capture (which ends with sampling on) lets it sample once more.
TEST_F(MainWindow, ATicksPumpDecidesWhetherThatTickSamples) {
  struct Row {
    const char* name;
    const char16_t* typed;
    const char16_t* entry;
    ColorValue swatch;
    bool samples;
  } rows[] = {{"typed colour", u"#00FF00", u"#00FF00", 0x00FF00u, false},
              {"capture", u"\r", u"#FF0000", 0xFF0000u, true},
              {"other text", u"abc", u"abc", 0xFF0000u, true}};
  for (const Row& row : rows) {
    sys.screen.PaintAll(0x0000FF);
    Start();
    sys.screen.MoveCursor(3, 4);
    Tick();
    sys.screen.PaintAll(0xFF0000);
    sys.screen.MoveCursor(7, 8);
    sys.toolkit.PostDuringNextPump([this, &row] { user().Type(Text2, row.typed); });
    const int reads = sys.screen.pixelReads;
    Tick();
    EXPECT_EQ(Entry(), row.entry) << row.name;
    EXPECT_EQ(w->backColors[Picture1], row.swatch) << row.name;
    EXPECT_EQ(w->texts[Text1], row.samples ? u"7\t8" : u"3\t4") << row.name;
    EXPECT_EQ(form().Pos_Color_RGB, row.samples ? 0xFF0000 : 0x0000FF) << row.name;
    EXPECT_EQ(sys.screen.pixelReads, reads + (row.samples ? 1 : 0)) << row.name;
    EXPECT_EQ(Sampling(), row.samples) << row.name;
    user().Close();
  }
}

TEST_F(MainWindow, WindowClosedDuringATicksPumpEndsTheTickWithoutTouchingTheScreen) {
  Start();
  Tick();
  const int reads = sys.screen.pixelReads;
  sys.toolkit.PostDuringNextPump([this] { user().Close(); });
  Tick();
  EXPECT_EQ(sys.screen.pixelReads, reads);
  EXPECT_EQ(sys.screen.released, 1);
  EXPECT_FALSE(form().Loaded());
  EXPECT_TRUE(w->destroyed);
  EXPECT_EQ(sys.toolkit.quitRequests, 1);
  sys.toolkit.Advance(100);
  EXPECT_EQ(sys.screen.pixelReads, reads);
}

TEST_F(MainWindow, FailedReadKeepsTheSwatchAndCapturesNothing) {
  sys.screen.PaintAll(0x202020);
  Start(u"-c");
  Tick();
  sys.screen.FailReads(true);
  sys.screen.MoveCursor(5, 6);
  Tick();
  EXPECT_EQ(form().Pos_Color_RGB, -1.0);
  EXPECT_EQ(w->backColors[Picture1], 0x202020u);
  EXPECT_EQ(w->texts[Text1], u"5\t6");
  user().Type(Text2, u"abc\r");
  EXPECT_EQ(Entry(), u"abc");  // never an invented "#FF0000"
  EXPECT_TRUE(sys.toolkit.clipboardWrites.empty());
  EXPECT_TRUE(Sampling());
}

TEST_F(MainWindow, NoScreenMeansFailedReadsNotACrash) {
  sys.screen.RefuseScreen(true);
  Start();
  Tick();
  EXPECT_EQ(form().Pos_Color_RGB, -1.0);
  EXPECT_EQ(w->texts[Text1], u"0\t0");
}

TEST_F(MainWindow, BusyClipboardStillEndsWithSamplingRunning) {
  sys.screen.PaintAll(0x0A0B0C);
  Start(u"-c");
  Tick();
  sys.toolkit.clipboardBusy = true;
  user().Type(Text2, u"\r");
  EXPECT_EQ(Entry(), u"#0C0B0A");
  EXPECT_TRUE(Sampling());
}

TEST_F(MainWindow, FocusLandingAnywhereButTheCheckBoxGoesBackToTheEntry) {
  Start();
  for (int control : {int{Picture1}, int{Text1}, kWindowItself}) {
    user().Focus(control);
    EXPECT_EQ(w->focus, Text2) << "control " << control;
  }
  user().Focus(Check1);
  EXPECT_EQ(w->focus, Check1);
}

TEST_F(MainWindow, CheckBoxSwitchesTopmostAndHandsTheFocusBack) {
  Start();
  user().Focus(Check1);
  user().Click(Check1);
  user().Focus(Check1);
  user().Click(Check1);
  EXPECT_EQ(w->topmostCalls, (std::vector<bool>{true, false}));
  EXPECT_EQ(w->focus, Text2);
  w->checkValues[Check1] = 2;  // greyed counts as not on top
  w->events->Click(Check1);
  EXPECT_EQ(w->topmostCalls.back(), false);
}

TEST_F(MainWindow, ClosingReleasesTheScreenClosesTheAboutBoxAndEndsTheProgram) {
  for (bool aboutOpen : {false, true}) {
    SCOPED_TRACE(aboutOpen ? "About box open" : "About box never opened");
    FakePlatform fresh;
    Program p(fresh);
    p.Start();
    auto main = fresh.toolkit.UserOf("Form1");
    if (aboutOpen) main.Type(Text2, u"/info\r");
    main.Close();
    EXPECT_EQ(fresh.screen.released, 1);
    EXPECT_EQ(p.App().LoadedWindows(), 0);
    EXPECT_EQ(fresh.toolkit.quitRequests, 1);
    EXPECT_EQ(fresh.toolkit.WindowsBuilt("frmAbout"), aboutOpen ? 1 : 0);
    if (aboutOpen) {
      EXPECT_TRUE(fresh.toolkit.Window("frmAbout")->destroyed);
    }
  }
}

TEST_F(MainWindow, AltArrowStepsThePointerFromWhereItIsAndOnlyAltArrowIsTaken) {
  constexpr std::int16_t kLeft = 37, kUp = 38, kRight = 39, kDown = 40;
  constexpr std::int16_t kShift = 1, kCtrl = 2, kAlt = 4;
  struct Row {
    const char* keys;
    std::int16_t key, shift;
    ScreenPoint to;  // from 100,200
    bool boxGetsIt;  // the box's own meaning (caret, selection) stays
  } rows[] = {
      {"Alt+Left", kLeft, kAlt, {99, 200}, false},
      {"Alt+Right", kRight, kAlt, {101, 200}, false},
      {"Alt+Up", kUp, kAlt, {100, 199}, false},
      {"Alt+Down", kDown, kAlt, {100, 201}, false},
      {"Alt+Shift+Left", kLeft, kAlt | kShift, {90, 200}, false},
      {"Alt+Shift+Down", kDown, kAlt | kShift, {100, 210}, false},
      {"Left", kLeft, 0, {100, 200}, true},
      {"Shift+Right", kRight, kShift, {100, 200}, true},
      {"Ctrl+Alt+Left (the desktop's own key)", kLeft, kCtrl | kAlt, {100, 200}, true},
      {"Ctrl+Left", kLeft, kCtrl, {100, 200}, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.keys);
    FakePlatform fresh;
    Program p(fresh);
    p.Start();
    auto win = fresh.toolkit.Window("Form1");
    fresh.screen.MoveCursor(100, 200);
    fake::User(win).Arrow(Text2, row.key, row.shift);
    ScreenPoint now;
    fresh.screen.CursorPos(now);
    EXPECT_EQ(now.x, row.to.x);
    EXPECT_EQ(now.y, row.to.y);
    EXPECT_EQ(fresh.screen.moves.size(), row.boxGetsIt ? 0u : 1u);
    EXPECT_EQ(win->boxKeys.size(), row.boxGetsIt ? 1u : 0u);
    EXPECT_TRUE(win->texts[Text2].empty());  // an arrow types nothing
  }
}

TEST_F(MainWindow, TwoStepsWithinOneTickMoveTwoPixelsAndTheNextTickSamplesThere) {
  Start();
  sys.screen.MoveCursor(50, 50);
  Tick();
  sys.screen.Paint(52, 50, 0x00FF00);
  user().Arrow(Text2, 39, 4);
  user().Arrow(Text2, 39, 4);  // before any tick: the step starts from the pointer, not the last sample
  Tick();
  EXPECT_EQ(w->texts[Text1], u"52\t50");
  EXPECT_EQ(w->backColors[Picture1], 0x00FF00u);
}

TEST_F(MainWindow, WherePointerCannotBeMovedAltArrowDoesNothingAtAll) {
  sys.screen.RefuseMoves(true);  // a Wayland session
  Start();
  sys.screen.MoveCursor(10, 10);
  user().Replace(Text2, u"#12");
  user().Arrow(Text2, 37, 4);
  user().Arrow(Text2, 40, 5);
  ScreenPoint now;
  sys.screen.CursorPos(now);
  EXPECT_EQ(now.x, 10);
  EXPECT_EQ(now.y, 10);
  EXPECT_TRUE(w->boxKeys.empty());  // not passed on to the box either: the caret stays
  EXPECT_EQ(Entry(), u"#12");
  EXPECT_TRUE(w->announcements.empty());
}

TEST_F(MainWindow, AltArrowAtTheScreensEdgeStopsThere) {
  sys.screen.Bounds({0, 0}, {1279, 799});
  Start();
  sys.screen.MoveCursor(3, 798);
  user().Arrow(Text2, 37, 5);  // ten to the left from 3
  user().Arrow(Text2, 40, 4);
  user().Arrow(Text2, 40, 4);
  Tick();
  EXPECT_EQ(w->texts[Text1], u"0\t799");
}

TEST_F(MainWindow, EachCaptureIsAnnouncedOnceWithItsTextAndNothingElseIs) {
  sys.screen.PaintAll(0xAB000A);
  Start(u"-d");
  Tick();
  user().Type(Text2, u"\r");
  user().Type(Text2, u"\r");  // the same pixel again: the text does not change, the capture is still said
  EXPECT_EQ(w->announcements, (std::vector<std::pair<int, Text>>{{Text2, u"10,0,171"}, {Text2, u"10,0,171"}}));
  w->announcements.clear();
  user().Replace(Text2, u"#FF8800");  // a typed colour is the user's own text
  user().Replace(Text2, u"/info");
  user().Type(Text2, u"\r");
  EXPECT_TRUE(w->announcements.empty());
  user().Replace(Text2, u"");
  user().Type(Text2, u"\r");  // resumes sampling
  w->announcements.clear();
  sys.screen.FailReads(true);
  sys.toolkit.Advance(20);
  user().Type(Text2, u"\r");  // nothing captured from a failed read: nothing to say
  EXPECT_TRUE(w->announcements.empty());
}

TEST_F(MainWindow, EveryTextAndPictureBoxHasANameForScreenReaders) {
  for (const WindowLayout& layout : {Form1Layout(), FrmAboutLayout()}) {
    for (const ControlLayout& c : layout.controls) {
      if (c.kind != ControlKind::TextBox && c.kind != ControlKind::PictureBox) continue;
      SCOPED_TRACE(layout.name + "." + c.name);
      if (c.labelledBy >= 0) {
        const ControlLayout& label = layout.controls.at(static_cast<std::size_t>(c.labelledBy));
        EXPECT_EQ(label.kind, ControlKind::Label);
        EXPECT_FALSE(label.caption.empty());
      } else {
        EXPECT_FALSE(c.accessibleName.empty());
      }
    }
  }
  EXPECT_EQ(Form1Layout().controls[Text1].labelledBy, Label1);
  EXPECT_EQ(ColorName(0xAB000A), u"#0A00AB");
  EXPECT_EQ(ColorName(0xFFFFFF), u"#FFFFFF");
}

}  // namespace
}  // namespace tintvale
