#include "platform/win32/win32_forms.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include "platform/win32/native.h"

namespace tintvale::win32 {
namespace {

constexpr wchar_t kFormClass[] = L"TintvaleForm";
constexpr wchar_t kPictureClass[] = L"TintvalePicture";
constexpr int kFirstControlId = 1000;  // clear of IDOK and IDCANCEL, which IsDialogMessage sends itself
constexpr int kIconResource = 1;
constexpr int kIconPixels = 32;

ATOM g_formAtom = 0;

int ControlId(int index) { return kFirstControlId + index; }

COLORREF Resolve(ColorValue color, int systemDefault) {
  if (color == kDefaultColor) return GetSysColor(systemDefault);
  if (color & 0x80000000u) return GetSysColor(static_cast<int>(color & 0xFFu));
  return color;  // 0x00BBGGRR is a COLORREF already
}

HFONT CreateFontFor(const FontSpec& wanted, const wchar_t* family, UINT dpi) {
  return CreateFontW(-MulDiv(wanted.pointSize, static_cast<int>(dpi), 72), 0, 0, 0, wanted.weight, wanted.italic,
                     wanted.underline, wanted.strikeout, static_cast<DWORD>(wanted.charset), OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, family);
}

// The first family the system really has; the font mapper's pick for the first one otherwise.
HFONT CreateLayoutFont(const FontSpec& wanted, UINT dpi) {
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT chosen = nullptr;
  for (const Text& family : wanted.families) {
    const std::wstring name = Wide(family);
    HFONT font = CreateFontFor(wanted, name.c_str(), dpi);
    HGDIOBJ old = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    if (lstrcmpiW(face, name.c_str()) == 0) {
      chosen = font;
      break;
    }
    DeleteObject(font);
  }
  DeleteDC(dc);
  if (!chosen) chosen = CreateFontFor(wanted, wanted.families.empty() ? L"" : Wide(wanted.families[0]).c_str(), dpi);
  return chosen;
}

// The default user-interface font: the first Japanese user-interface face the system has. The captions
// are Japanese, and a Latin default face (Tahoma, or DejaVu Sans under Wine) draws them as boxes; asking
// for the Japanese character set instead makes Wine draw the Latin letters as boxes.
HFONT CreateDefaultFont(UINT dpi) {
  FontSpec wanted;
  wanted.families = {u"MS UI Gothic", u"Yu Gothic UI", u"Meiryo UI", u"Noto Sans CJK JP"};
  wanted.pointSize = 9;
  wanted.charset = DEFAULT_CHARSET;
  return CreateLayoutFont(wanted, dpi);
}

// Replaces the clipboard's contents with a text, owned by owner. Another program may hold the clipboard
// open for a moment: OpenClipboard fails at once, so it is tried again for about 100 ms.
bool WriteClipboard(HWND owner, const Text& text) {
  const DWORD start = GetTickCount();
  while (!OpenClipboard(owner)) {
    if (GetTickCount() - start >= 100) return false;
    Sleep(10);
  }
  bool ok = false;
  if (EmptyClipboard()) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
      if (void* p = GlobalLock(memory)) {
        std::copy(text.begin(), text.end(), static_cast<wchar_t*>(p));
        static_cast<wchar_t*>(p)[text.size()] = L'\0';
        GlobalUnlock(memory);
        ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;  // the system owns it from here
      }
      if (!ok) GlobalFree(memory);
    }
  }
  CloseClipboard();
  return ok;
}

class FormWindow;

// Counts a running handler of a window; the last one out deletes a window whose owner has let go.
class HandlerScope {
 public:
  explicit HandlerScope(FormWindow* window);
  ~HandlerScope();
  HandlerScope(const HandlerScope&) = delete;
  HandlerScope& operator=(const HandlerScope&) = delete;

 private:
  FormWindow* window_;
};

// The native side of one window. It outlives its NativeWindow while one of its handlers is on the stack:
// a tick's pump can close the window, and the tick must then find this object still there.
class FormWindow {
 public:
  FormWindow(HINSTANCE instance, const WindowLayout& layout, WindowEvents& events);
  bool Create();
  // The owner is done with the window: destroy it now, delete this once no handler is running.
  void Release();

  HWND Handle() const { return hwnd_; }
  const WindowLayout& Layout() const { return layout_; }
  HWND Control(int index) const { return controls_[static_cast<std::size_t>(index)]; }
  ColorValue& ColorOf(int index) { return colors_[static_cast<std::size_t>(index)]; }
  bool Alive() const { return events_ != nullptr; }
  WindowEvents* Events() const { return events_; }
  void SetNativeText(HWND control, const Text& text);
  void SetBoxText(int index, const Text& text);
  Text BoxText(int index) const;
  bool CopySetText(HWND edit, int index);
  void SetColor(int index, ColorValue color);
  void StartTimer(int index, bool enabled, int intervalMs);

  static LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PictureProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  friend class HandlerScope;
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT OnEditMessage(HWND edit, int index, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT OnPictureMessage(HWND picture, int index, UINT msg, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int code, HWND from);
  void OnSetFocus();
  void Paint();
  void Place(UINT dpi);
  int IndexOf(HWND control) const;
  int FindButton(bool ControlLayout::*flag) const;
  bool IsCommandButton(HWND control) const;

  HINSTANCE instance_;
  WindowLayout layout_;
  WindowEvents* events_;
  HWND hwnd_ = nullptr;
  UINT dpi_ = 96;
  std::vector<HWND> controls_;
  std::vector<WNDPROC> editProcs_;
  std::vector<ColorValue> colors_;
  std::vector<Text> setText_;    // what the program last set in each text box
  std::vector<Text> shownText_;  // and how the box shows it
  std::vector<bool> ticking_;
  std::vector<GdiObject<HFONT>> fonts_;
  std::vector<GdiObject<HBRUSH>> brushes_;
  GdiObject<HFONT> defaultFont_;
  HICON icon_ = nullptr;
  HWND lastFocus_ = nullptr;
  int handlers_ = 0;
  int settingText_ = 0;
  bool released_ = false;
};

HandlerScope::HandlerScope(FormWindow* window) : window_(window) { ++window_->handlers_; }

HandlerScope::~HandlerScope() {
  if (--window_->handlers_ == 0 && window_->released_) delete window_;
}

FormWindow::FormWindow(HINSTANCE instance, const WindowLayout& layout, WindowEvents& events)
    : instance_(instance),
      layout_(layout),
      events_(&events),
      controls_(layout.controls.size()),
      editProcs_(layout.controls.size()),
      colors_(layout.controls.size()),
      setText_(layout.controls.size()),
      shownText_(layout.controls.size()),
      ticking_(layout.controls.size()),
      fonts_(layout.controls.size()),
      brushes_(layout.controls.size()) {
  for (std::size_t i = 0; i < layout_.controls.size(); ++i) {
    colors_[i] = layout_.controls[i].backColor;
    setText_[i] = shownText_[i] = layout_.controls[i].caption;
  }
}

bool FormWindow::Create() {
  dpi_ = WindowDpi(nullptr);
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;  // fixed size, no min/max box
  DWORD exStyle = layout_.showInTaskbar ? WS_EX_APPWINDOW : 0;
  if (layout_.border == BorderStyle::FixedDialog) exStyle |= WS_EX_DLGMODALFRAME;  // no icon in the title
  const int dpi = static_cast<int>(dpi_);
  RECT client = {TwipsToPixels(layout_.originLeft, dpi), TwipsToPixels(layout_.originTop, dpi), 0, 0};
  client.right = client.left + TwipsToPixels(layout_.clientWidth, dpi);
  client.bottom = client.top + TwipsToPixels(layout_.clientHeight, dpi);
  const RECT frame = FrameForClient(client, style, exStyle, dpi_);
  CreateWindowExW(exStyle, kFormClass, Wide(layout_.caption).c_str(), style, frame.left, frame.top,
                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance_, this);
  if (!hwnd_) return false;

  if (layout_.showsIcon || std::any_of(layout_.controls.begin(), layout_.controls.end(),
                                       [](const ControlLayout& c) { return c.showsIcon; })) {
    icon_ = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, kIconPixels,
                                          kIconPixels, LR_SHARED));
  }
  if (layout_.showsIcon) {
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    HANDLE small = LoadImageW(instance_, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                              GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED);
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small ? small : icon_));
  }

  // Creation order is the tab order that IsDialogMessage and GetNextDlgTabItem follow.
  std::vector<int> order(layout_.controls.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    const int ta = layout_.controls[static_cast<std::size_t>(a)].tabIndex;
    const int tb = layout_.controls[static_cast<std::size_t>(b)].tabIndex;
    return (ta < 0 ? INT_MAX : ta) < (tb < 0 ? INT_MAX : tb);
  });
  for (int index : order) {
    const ControlLayout& c = layout_.controls[static_cast<std::size_t>(index)];
    const wchar_t* cls = nullptr;
    DWORD cs = WS_CHILD | WS_VISIBLE;
    DWORD ces = 0;
    switch (c.kind) {
      case ControlKind::TextBox:
        cls = L"EDIT", cs |= WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, ces = WS_EX_CLIENTEDGE;
        break;
      case ControlKind::CheckBox:
        cls = L"BUTTON", cs |= WS_TABSTOP | BS_AUTOCHECKBOX;
        break;
      case ControlKind::CommandButton:
        cls = L"BUTTON", cs |= WS_TABSTOP | (c.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        break;
      case ControlKind::Label:
        cls = L"STATIC", cs |= SS_LEFT;
        break;
      case ControlKind::PictureBox:
        cls = kPictureClass, cs |= WS_TABSTOP, ces = WS_EX_CLIENTEDGE;  // the sunken two-pixel border
        break;
      case ControlKind::Timer:
      case ControlKind::Line:
        continue;
    }
    HWND control = CreateWindowExW(ces, cls, Wide(c.caption).c_str(), cs, 0, 0, 0, 0, hwnd_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(index))), instance_,
                                   nullptr);
    controls_[static_cast<std::size_t>(index)] = control;
    if (!control) continue;
    SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    if (c.kind == ControlKind::TextBox) {
      SendMessageW(control, EM_LIMITTEXT, 0, 0);  // 0: as long as the system allows
      editProcs_[static_cast<std::size_t>(index)] = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FormWindow::EditProc)));
    }
  }
  Place(dpi_);
  return true;
}

// Sizes, places and sets the fonts of every control for a DPI; twips are 1/1440 inch.
void FormWindow::Place(UINT dpi) {
  dpi_ = dpi;
  const int d = static_cast<int>(dpi);
  defaultFont_.Reset(CreateDefaultFont(dpi));
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    HWND control = controls_[i];
    if (!control) continue;
    const ControlLayout& c = layout_.controls[i];
    MoveWindow(control, TwipsToPixels(c.left, d), TwipsToPixels(c.top, d), TwipsToPixels(c.width, d),
               TwipsToPixels(c.height, d), FALSE);
    HFONT font = defaultFont_.Get();
    if (!c.font.families.empty()) {
      fonts_[i].Reset(CreateLayoutFont(c.font, dpi));
      font = fonts_[i].Get();
    }
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void FormWindow::Release() {
  HandlerScope scope(this);  // deletes this on the way out unless a handler further up still runs
  events_ = nullptr;
  released_ = true;
  if (hwnd_) DestroyWindow(hwnd_);
}

void FormWindow::SetNativeText(HWND control, const Text& text) {
  // EN_CHANGE arrives inside SetWindowTextW, even for the same text; the forms layer raises Change for
  // a set itself, so the notice of our own set is not passed on (and cannot recurse).
  ++settingText_;
  SetWindowTextW(control, Wide(text).c_str());
  --settingText_;
}

// A single-line EDIT draws a tab as nothing, so the coordinate box would run x and y together: a set
// text is shown with each tab as an em space. Read back while the box still shows it unedited, the box
// gives the text as it was set.
void FormWindow::SetBoxText(int index, const Text& text) {
  Text shown = text;
  for (char16_t& c : shown) {
    if (c == u'\t') c = u'\u2003';
  }
  setText_[static_cast<std::size_t>(index)] = text;
  shownText_[static_cast<std::size_t>(index)] = shown;
  SetNativeText(Control(index), shown);
}

Text FormWindow::BoxText(int index) const {
  HWND control = Control(index);
  const int length = GetWindowTextLengthW(control);
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(control, buffer.data(), length + 1);
  Text now = FromWide(buffer.data(), static_cast<std::size_t>(std::max(got, 0)));
  return now == shownText_[static_cast<std::size_t>(index)] ? setText_[static_cast<std::size_t>(index)] : now;
}

// Copying from a box that still shows its set text unedited gives the selected part of the text as it
// was set, tabs and not the em spaces that stand for them. False when the plain copy gives that already.
bool FormWindow::CopySetText(HWND edit, int index) {
  const Text& set = setText_[static_cast<std::size_t>(index)];
  if (set == shownText_[static_cast<std::size_t>(index)] || BoxText(index) != set) return false;
  DWORD start = 0, end = 0;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  end = std::min<DWORD>(end, static_cast<DWORD>(set.size()));
  if (start >= end) return false;
  WriteClipboard(edit, set.substr(start, end - start));
  return true;
}

void FormWindow::SetColor(int index, ColorValue color) {
  ColorValue& current = ColorOf(index);
  if (current == color) return;  // an unchanged colour repaints nothing
  current = color;
  brushes_[static_cast<std::size_t>(index)].Reset();
  if (HWND control = Control(index)) InvalidateRect(control, nullptr, FALSE);
}

void FormWindow::StartTimer(int index, bool enabled, int intervalMs) {
  const UINT_PTR id = static_cast<UINT_PTR>(ControlId(index));
  KillTimer(hwnd_, id);  // a fresh interval on every enable
  if (enabled) ::SetTimer(hwnd_, id, static_cast<UINT>(std::max(intervalMs, 1)), nullptr);
}

int FormWindow::IndexOf(HWND control) const {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (control && controls_[i] == control) return static_cast<int>(i);
  }
  return -1;
}

int FormWindow::FindButton(bool ControlLayout::*flag) const {
  for (std::size_t i = 0; i < layout_.controls.size(); ++i) {
    const ControlLayout& c = layout_.controls[i];
    if (c.kind == ControlKind::CommandButton && c.*flag && controls_[i]) return static_cast<int>(i);
  }
  return -1;
}

bool FormWindow::IsCommandButton(HWND control) const {
  const int index = IndexOf(control);
  return index >= 0 && layout_.controls[static_cast<std::size_t>(index)].kind == ControlKind::CommandButton;
}

LRESULT CALLBACK FormWindow::FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  HandlerScope scope(self);
  return self->OnMessage(msg, wParam, lParam);
}

LRESULT FormWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case DM_GETDEFID: {
      // IsDialogMessage asks this on Enter: a focused command button is pressed itself, otherwise the
      // default button; with neither, Enter stays with the focused control.
      const HWND focus = GetFocus();
      const int index = IsCommandButton(focus) ? IndexOf(focus) : FindButton(&ControlLayout::isDefault);
      if (index < 0) return 0;
      return MAKELRESULT(ControlId(index), DC_HASDEFID);
    }
    case WM_TIMER: {
      const int index = static_cast<int>(wParam) - kFirstControlId;
      if (index < 0 || index >= static_cast<int>(ticking_.size())) return 0;
      // A tick pumps events, and a 10 ms timer falls due again inside that pump: without this guard
      // the ticks nest ever deeper until the stack runs out.
      if (ticking_[static_cast<std::size_t>(index)]) return 0;
      ticking_[static_cast<std::size_t>(index)] = true;
      if (events_) events_->TimerTick(index);
      ticking_[static_cast<std::size_t>(index)] = false;  // this object lives until the scope above ends
      return 0;
    }
    case WM_CLOSE:
      // The forms layer decides; it destroys the window through the NativeWindow when it unloads.
      if (events_) events_->CloseRequested();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
      }
      break;
    case WM_SETFOCUS:
      OnSetFocus();
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: {
      const int index = IndexOf(reinterpret_cast<HWND>(lParam));
      if (index < 0) break;
      const ControlLayout& c = layout_.controls[static_cast<std::size_t>(index)];
      if (c.kind != ControlKind::Label && c.kind != ControlKind::TextBox) break;
      const auto dc = reinterpret_cast<HDC>(wParam);
      if (c.foreColor != kDefaultColor) SetTextColor(dc, Resolve(c.foreColor, COLOR_WINDOWTEXT));
      if (c.kind == ControlKind::Label) {
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      const ColorValue back = ColorOf(index);
      if (back == kDefaultColor) {
        if (c.foreColor == kDefaultColor) break;
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      auto& brush = brushes_[static_cast<std::size_t>(index)];
      if (!brush.Get()) brush.Reset(CreateSolidBrush(Resolve(back, COLOR_WINDOW)));
      SetBkColor(dc, Resolve(back, COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(brush.Get());
    }
    case WM_PAINT:
      Paint();
      return 0;
    case WM_DPICHANGED: {
      // Per-monitor awareness: moved to a monitor with another scale, the window lays itself out again.
      Place(HIWORD(wParam));
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

void FormWindow::OnCommand(int id, int code, HWND from) {
  if (!events_) return;
  if (id == IDCANCEL && !from) {
    // Esc through IsDialogMessage: the cancel button is pressed; a window without one ignores it.
    const int cancel = FindButton(&ControlLayout::isCancel);
    if (cancel >= 0) events_->Click(cancel);
    return;
  }
  const int index = id - kFirstControlId;
  if (index < 0 || index >= static_cast<int>(controls_.size()) || !Control(index)) return;
  switch (code) {
    case BN_CLICKED:
      events_->Click(index);
      break;
    case EN_CHANGE:
      if (settingText_ == 0) events_->TextChanged(index);
      break;
    case EN_SETFOCUS:
      lastFocus_ = Control(index);
      events_->GotFocus(index);
      break;
    default:
      break;
  }
}

void FormWindow::OnSetFocus() {
  // Activation puts the focus on the window itself: that is the window's own GotFocus. When its handler
  // leaves the focus there, it goes back to the control that had it, or the first in the tab order.
  if (events_) events_->GotFocus(kWindowItself);
  if (!hwnd_ || released_ || GetFocus() != hwnd_) return;
  HWND target = lastFocus_ && IsWindow(lastFocus_) && IsChild(hwnd_, lastFocus_) ? lastFocus_ : nullptr;
  if (!target) target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
  if (target) ::SetFocus(target);
}

void FormWindow::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  const int d = static_cast<int>(dpi_);
  for (const ControlLayout& c : layout_.controls) {
    if (c.kind != ControlKind::Line) continue;
    const int width = std::max(1, MulDiv(c.lineWidthPx, d, 96));
    int x1 = TwipsToPixels(c.left, d), y1 = TwipsToPixels(c.top, d);
    int x2 = TwipsToPixels(c.width, d), y2 = TwipsToPixels(c.height, d);
    // GDI centres a wide pen on the line, so a two-pixel line at y would also cover y - 1, where the
    // etched rule's grey line lies. A wide level or upright line grows down or right from its place.
    if (y1 == y2) y1 += width / 2, y2 += width / 2;
    if (x1 == x2) x1 += width / 2, x2 += width / 2;
    GdiObject<HPEN> pen(CreatePen(PS_SOLID, width, Resolve(c.foreColor, COLOR_WINDOWTEXT)));
    HGDIOBJ old = SelectObject(dc, pen.Get());
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
    SelectObject(dc, old);
  }
  EndPaint(hwnd_, &ps);
}

LRESULT CALLBACK FormWindow::EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  const int index = GetDlgCtrlID(hwnd) - kFirstControlId;
  HandlerScope scope(self);
  return self->OnEditMessage(hwnd, index, msg, wParam, lParam);
}

LRESULT FormWindow::OnEditMessage(HWND edit, int index, UINT msg, WPARAM wParam, LPARAM lParam) {
  const WNDPROC original = editProcs_[static_cast<std::size_t>(index)];
  switch (msg) {
    case WM_GETDLGCODE: {
      // IsDialogMessage would turn Enter into the default button's click and Esc into IDCANCEL. Where the
      // window has no such button, the box asks for the key so that KeyPress sees it (Tab stays with
      // the dialog manager, so the tab order still works).
      LRESULT code = CallWindowProcW(original, edit, msg, wParam, lParam);
      const auto* m = reinterpret_cast<const MSG*>(lParam);
      if (m && m->message == WM_KEYDOWN &&
          ((m->wParam == VK_RETURN && FindButton(&ControlLayout::isDefault) < 0) ||
           (m->wParam == VK_ESCAPE && FindButton(&ControlLayout::isCancel) < 0))) {
        code |= DLGC_WANTMESSAGE;
      }
      return code;
    }
    case WM_CHAR: {
      auto key = static_cast<std::int16_t>(static_cast<std::uint16_t>(wParam));
      if (events_) events_->KeyPress(index, key);
      // The handler may have closed the window; then the box is gone and nothing more may touch it.
      if (released_ || !hwnd_) return 0;
      // A single-line box beeps at a carriage return or Esc on Windows: both end here.
      if (key == 0 || key == 13 || key == 27) return 0;
      wParam = static_cast<std::uint16_t>(key);
      break;
    }
    case WM_COPY:
      // Ctrl+C and the context menu's Copy come here too: the box sends itself WM_COPY for both.
      if (CopySetText(edit, index)) return 0;
      break;
    case WM_CUT:
      if (CopySetText(edit, index)) {
        SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
        return 0;
      }
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
      SetWindowLongPtrW(edit, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return CallWindowProcW(original, edit, msg, wParam, lParam);
}

LRESULT CALLBACK FormWindow::PictureProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  HandlerScope scope(self);
  return self->OnPictureMessage(hwnd, GetDlgCtrlID(hwnd) - kFirstControlId, msg, wParam, lParam);
}

LRESULT FormWindow::OnPictureMessage(HWND picture, int index, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills every pixel; erasing first would flicker at every tick
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(picture, &ps);
      RECT client;
      GetClientRect(picture, &client);
      GdiObject<HBRUSH> brush(CreateSolidBrush(Resolve(ColorOf(index), COLOR_BTNFACE)));
      FillRect(dc, &client, brush.Get());
      if (icon_ && layout_.controls[static_cast<std::size_t>(index)].showsIcon) {
        const int size = MulDiv(kIconPixels, static_cast<int>(dpi_), 96);
        DrawIconEx(dc, 0, 0, icon_, size, size, 0, nullptr, DI_NORMAL);
      }
      EndPaint(picture, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:
      ::SetFocus(picture);  // a picture box takes the focus when clicked
      return 0;
    case WM_SETFOCUS:
      lastFocus_ = picture;
      if (events_) events_->GotFocus(index);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(picture, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(picture, msg, wParam, lParam);
}

// The NativeWindow the forms layer owns; it lets go of the FormWindow when destroyed.
class Win32Window : public NativeWindow {
 public:
  explicit Win32Window(FormWindow* window) : w_(window) {}
  ~Win32Window() override { w_->Release(); }
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  HWND Handle() const { return w_->Handle(); }

  void Show() override {
    ShowWindow(w_->Handle(), SW_SHOW);
    UpdateWindow(w_->Handle());
  }
  void SetCaption(int control, const Text& caption) override {
    HWND target = control == kWindowItself ? w_->Handle() : w_->Control(control);
    if (target) w_->SetNativeText(target, caption);
  }
  Text GetText(int control) const override {
    HWND target = control == kWindowItself ? w_->Handle() : w_->Control(control);
    if (!target) return Text();
    if (control != kWindowItself && w_->Layout().controls[static_cast<std::size_t>(control)].kind ==
                                        ControlKind::TextBox) {
      return w_->BoxText(control);
    }
    const int length = GetWindowTextLengthW(target);
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(target, buffer.data(), length + 1);
    return FromWide(buffer.data(), static_cast<std::size_t>(std::max(got, 0)));
  }
  void SetText(int control, const Text& text) override {
    if (w_->Control(control)) w_->SetBoxText(control, text);
  }
  void SetBackColor(int control, ColorValue color) override { w_->SetColor(control, color); }
  int CheckValue(int control) const override {
    HWND target = w_->Control(control);
    return target ? static_cast<int>(SendMessageW(target, BM_GETCHECK, 0, 0)) : 0;
  }
  void SetFocus(int control) override {
    HWND target = control == kWindowItself ? w_->Handle() : w_->Control(control);
    if (target) ::SetFocus(target);
  }
  void SetTopmost(bool onTop) override {
    SetWindowPos(w_->Handle(), onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);  // 0x43
  }
  void SetTimer(int control, bool enabled, int intervalMs) override {
    if (w_->Handle()) w_->StartTimer(control, enabled, intervalMs);
  }
  void Announce(int /*control*/, const Text& /*text*/) override {}

 private:
  FormWindow* w_;
};

bool IsFormWindow(HWND hwnd) {
  return hwnd && g_formAtom && static_cast<ATOM>(GetClassLongPtrW(hwnd, GCW_ATOM)) == g_formAtom;
}

}  // namespace

Win32Toolkit::Win32Toolkit(HINSTANCE instance) : instance_(instance) {
  if (!g_formAtom) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &FormWindow::FormProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFormClass;
    g_formAtom = RegisterClassExW(&wc);

    WNDCLASSEXW pc = {};
    pc.cbSize = sizeof pc;
    pc.lpfnWndProc = &FormWindow::PictureProc;
    pc.hInstance = instance;
    pc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    pc.lpszClassName = kPictureClass;
    RegisterClassExW(&pc);
  }
}

Win32Toolkit::~Win32Toolkit() {
  if (clipboardOwner_) DestroyWindow(clipboardOwner_);
}

std::unique_ptr<NativeWindow> Win32Toolkit::BuildWindow(const WindowLayout& layout, WindowEvents& events,
                                                        NativeWindow* /*owner*/) {
  auto* window = new FormWindow(instance_, layout, events);
  auto native = std::make_unique<Win32Window>(window);
  if (!window->Create()) return nullptr;  // the Win32Window deletes what was made
  return native;
}

void Win32Toolkit::Dispatch(MSG& msg) {
  // Tab, Shift+Tab, Enter, Esc and access keys go through the dialog manager of the window they are for.
  const HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (IsFormWindow(root) && IsDialogMessageW(root, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void Win32Toolkit::PumpEvents() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Taken out of the queue here, it must go back for the loop further down the stack.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    Dispatch(msg);
  }
}

int Win32Toolkit::Run() {
  if (quitPosted_) {
    // Quit came before the loop: return at once and take the pending WM_QUIT away with us.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    quitPosted_ = false;
    return exitCode_;
  }
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) Dispatch(msg);
  quitPosted_ = false;
  return got == 0 ? static_cast<int>(msg.wParam) : 1;
}

void Win32Toolkit::Quit() {
  quitPosted_ = true;
  exitCode_ = 0;
  PostQuitMessage(0);
}

bool Win32Toolkit::SetClipboardText(const Text& text) {
  if (!clipboardOwner_) {
    // SetClipboardData needs an owner window after EmptyClipboard; a message-only window serves.
    clipboardOwner_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance_, nullptr);
  }
  return WriteClipboard(clipboardOwner_, text);
}

Text Win32Toolkit::CommandLine() { return ArgumentsAfterProgramName(FromWide(GetCommandLineW())); }

Text ArgumentsAfterProgramName(const Text& commandLine) {
  std::size_t i = 0;
  const std::size_t n = commandLine.size();
  if (n > 0 && commandLine[0] == u'"') {
    i = commandLine.find(u'"', 1);
    i = i == Text::npos ? n : i + 1;
  } else {
    while (i < n && commandLine[i] != u' ' && commandLine[i] != u'\t') ++i;
  }
  while (i < n && (commandLine[i] == u' ' || commandLine[i] == u'\t')) ++i;
  return commandLine.substr(i);
}

HWND WindowHandle(NativeWindow& window) { return static_cast<Win32Window&>(window).Handle(); }

UINT WindowDpi(HWND window) {
  using ForWindow = UINT(WINAPI*)(HWND);
  using ForSystem = UINT(WINAPI*)();
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (window) {
    if (auto f = reinterpret_cast<ForWindow>(reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")))) {
      if (UINT dpi = f(window)) return dpi;
    }
  }
  if (auto f = reinterpret_cast<ForSystem>(reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForSystem")))) {
    if (UINT dpi = f()) return dpi;
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

RECT FrameForClient(RECT client, DWORD style, DWORD exStyle, UINT dpi) {
  using ForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  auto f = reinterpret_cast<ForDpi>(reinterpret_cast<void*>(GetProcAddress(user32, "AdjustWindowRectExForDpi")));
  if (!f || !f(&client, style, FALSE, exStyle, dpi)) AdjustWindowRectEx(&client, style, FALSE, exStyle);
  return client;
}

void DeclareDpiAwareness() {
  // Loaded by name so that the 32-bit program still starts on systems older than these functions.
  using ByContext = BOOL(WINAPI*)(HANDLE);
  using Legacy = BOOL(WINAPI*)();
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (auto f = reinterpret_cast<ByContext>(
          reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")))) {
    if (f(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))) ||  // per monitor, version 2
        f(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3)))) {  // per monitor
      return;
    }
    if (GetLastError() == ERROR_ACCESS_DENIED) return;  // already set, by the manifest
  }
  if (auto f = reinterpret_cast<Legacy>(reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDPIAware")))) {
    f();
  }
}

}  // namespace tintvale::win32
