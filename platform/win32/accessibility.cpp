#include "platform/win32/accessibility.h"

#include <oleacc.h>

namespace tintvale::win32 {
namespace {

// oleacc and the parts of OLE the object needs, looked up at the first question: the program does not
// load them at start, and a system without them only loses what this file adds.
struct Oleacc {
  LPFNCREATESTDACCESSIBLEOBJECT createStandard = nullptr;
  LPFNLRESULTFROMOBJECT resultFromObject = nullptr;
  BSTR(WINAPI* allocString)(const OLECHAR*, UINT) = nullptr;
};

template <typename F>
F Function(HMODULE module, const char* name) {
  return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

const Oleacc* LoadOleacc() {
  static const Oleacc loaded = [] {
    // The object reaches the client's process through COM, which this thread had no need of so far.
    using CoInitializeEx = HRESULT(WINAPI*)(LPVOID, DWORD);
    if (auto init = Function<CoInitializeEx>(LoadLibraryW(L"ole32.dll"), "CoInitializeEx")) {
      init(nullptr, COINIT_APARTMENTTHREADED);
    }
    const HMODULE oleacc = LoadLibraryW(L"oleacc.dll");
    Oleacc f;
    f.createStandard = Function<LPFNCREATESTDACCESSIBLEOBJECT>(oleacc, "CreateStdAccessibleObject");
    f.resultFromObject = Function<LPFNLRESULTFROMOBJECT>(oleacc, "LresultFromObject");
    f.allocString = Function<decltype(f.allocString)>(LoadLibraryW(L"oleaut32.dll"), "SysAllocStringLen");
    return f;
  }();
  return loaded.createStandard && loaded.resultFromObject && loaded.allocString ? &loaded : nullptr;
}

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

}  // namespace

// The system's object for a window's client area, with the name, value and role its source gives.
class AccessibleObject final : public IAccessible {
 public:
  AccessibleObject(IAccessible* standard, const AccessibleSource& source, const Oleacc& oleacc)
      : standard_(standard), source_(&source), oleacc_(oleacc) {}
  AccessibleObject(const AccessibleObject&) = delete;
  AccessibleObject& operator=(const AccessibleObject&) = delete;

  // The window is gone: from now on the system's object answers everything (and knows it is gone).
  void Disconnect() { source_ = nullptr; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
      *object = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) {
      standard_->Release();
      delete this;
    }
    return left;
  }

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    Text own;
    if (name && source_ && IsSelf(child) && source_->AccessibleName(own)) return Give(own, name);
    return standard_->get_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    Text own;
    if (value && source_ && IsSelf(child) && source_->AccessibleValue(own)) return Give(own, value);
    return standard_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    const long own = source_ && IsSelf(child) ? source_->AccessibleRole() : 0;
    if (!role || own == 0) return standard_->get_accRole(child, role);
    role->vt = VT_I4;
    role->lVal = own;
    return S_OK;
  }

  // Everything else is the system's.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return standard_->GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return standard_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override {
    return standard_->GetIDsOfNames(riid, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argument) override {
    return standard_->Invoke(id, riid, locale, flags, params, result, exception, argument);
  }
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return standard_->get_accParent(parent); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return standard_->get_accChildCount(count); }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    return standard_->get_accChild(child, object);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return standard_->get_accDescription(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    return standard_->get_accState(child, state);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override {
    return standard_->get_accHelp(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return standard_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
    return standard_->get_accKeyboardShortcut(child, keys);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return standard_->get_accFocus(focus); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    return standard_->get_accSelection(selection);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return standard_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long how, VARIANT child) override { return standard_->accSelect(how, child); }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    return standard_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return standard_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
    return standard_->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { return standard_->accDoDefaultAction(child); }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return standard_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return standard_->put_accValue(child, value);
  }

 private:
  ~AccessibleObject() = default;

  HRESULT Give(const Text& text, BSTR* out) const {
    *out = oleacc_.allocString(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }

  IAccessible* standard_;
  const AccessibleSource* source_;
  const Oleacc& oleacc_;
  ULONG refs_ = 1;
};

AccessibleServer::~AccessibleServer() {
  if (!object_) return;
  object_->Disconnect();
  object_->Release();
}

LRESULT AccessibleServer::Answer(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  if (static_cast<LONG>(lParam) != OBJID_CLIENT) return 0;
  const Oleacc* oleacc = LoadOleacc();
  if (!oleacc) return 0;
  if (!object_) {
    IAccessible* standard = nullptr;
    if (FAILED(
            oleacc->createStandard(hwnd, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&standard))) ||
        !standard) {
      return 0;
    }
    object_ = new AccessibleObject(standard, source_, *oleacc);
  }
  return oleacc->resultFromObject(__uuidof(IAccessible), wParam, object_);
}

}  // namespace tintvale::win32
