#include "installer/desktop_start.h"

#include <exdisp.h>
#include <objbase.h>
#include <oleauto.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace vestrel::installer {

namespace {

// Releases the interface it holds when it goes.
template <class Interface>
class Held {
  public:
    Held() = default;
    ~Held() {
        if (pointer_)
            pointer_->Release();
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    void** Out() { return reinterpret_cast<void**>(&pointer_); }
    Interface** Put() { return &pointer_; }

  private:
    Interface* pointer_ = nullptr;
};

// The desktop window's shell browser, found through the shell's list of
// its windows; the view behind the desktop's icons gives the shell's
// automation object, which runs in Explorer's process.
bool DesktopShell(Held<IShellDispatch2>& shell) {
    Held<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows,
                                windows.Out())))
        return false;
    VARIANT none;
    VariantInit(&none);
    long window = 0;
    Held<IDispatch> desktop;
    if (windows->FindWindowSW(&none, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                              desktop.Put()) != S_OK ||
        !desktop)
        return false;
    Held<IServiceProvider> services;
    Held<IShellBrowser> browser;
    Held<IShellView> view;
    Held<IDispatch> background;
    Held<IShellFolderViewDual> folderView;
    Held<IDispatch> application;
    return SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, services.Out())) &&
           SUCCEEDED(
               services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.Out())) &&
           SUCCEEDED(browser->QueryActiveShellView(view.Put())) && view &&
           SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.Out())) &&
           SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, folderView.Out())) &&
           SUCCEEDED(folderView->get_Application(application.Put())) && application &&
           SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, shell.Out())) && shell;
}

}  // namespace

bool OpenFromDesktop(const std::wstring& path) {
    Held<IShellDispatch2> shell;
    if (!DesktopShell(shell))
        return false;
    BSTR file = SysAllocString(path.c_str());
    if (!file)
        return false;
    VARIANT none, verb, show;
    VariantInit(&none);
    VariantInit(&verb);
    VariantInit(&show);
    verb.vt = VT_BSTR;
    verb.bstrVal = SysAllocString(L"Open");
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    const HRESULT result =
        verb.bstrVal ? shell->ShellExecute(file, none, none, verb, show) : E_OUTOFMEMORY;
    VariantClear(&verb);
    SysFreeString(file);
    return SUCCEEDED(result);
}

}  // namespace vestrel::installer
