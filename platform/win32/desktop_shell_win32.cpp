#include "platform/win32/desktop_shell_win32.h"

#include <windows.h>
#include <exdisp.h>
#include <servprov.h>
#include <shlguid.h>
#include <shlobj.h>

#include "platform/win32/automation.h"

namespace qor::win32 {

bool Win32DesktopShell::StartAsSignedInUser(const std::string& program, const std::string& folder) {
    ComPtr<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows, windows.OutVoid())))
        return false;
    VARIANT location, root;
    VariantInit(&location);
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VariantInit(&root);
    long hwnd = 0;
    ComPtr<IDispatch> desktop;
    if (windows->FindWindowSW(&location, &root, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH, desktop.Out()) != S_OK ||
        !desktop)
        return false;
    ComPtr<IServiceProvider> services;
    ComPtr<IShellBrowser> browser;
    ComPtr<IShellView> view;
    ComPtr<IDispatch> viewObject;
    if (FAILED(desktop->QueryInterface(IID_IServiceProvider, services.OutVoid())) ||
        FAILED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.OutVoid())) ||
        FAILED(browser->QueryActiveShellView(view.Out())) || !view ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, viewObject.OutVoid())) || !viewObject)
        return false;
    AutomationObject shell = AutomationObject(viewObject).GetObject("Application");
    if (!shell) return false;
    return shell.Call("ShellExecute", {AutomationArg(program), AutomationArg(""), AutomationArg(folder),
                                       AutomationArg("open"), AutomationArg(SW_SHOWNORMAL)});
}

}  // namespace qor::win32
