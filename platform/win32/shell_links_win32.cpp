#include "platform/win32/shell_links_win32.h"

#include "platform/win32/automation.h"

namespace qor::win32 {

std::string Win32ShellLinks::SpecialFolder(const std::string& name) {
    AutomationObject shell = AutomationObject::Create("WScript.Shell");
    if (!shell) return std::string();
    AutomationObject folders = shell.GetObject("SpecialFolders");
    if (!folders) return std::string();
    return folders.GetText("Item", nullptr, {AutomationArg(name)});
}

bool Win32ShellLinks::CreateShortcut(const std::string& linkPath, const std::string& target,
                                     const std::string& arguments) {
    AutomationObject shell = AutomationObject::Create("WScript.Shell");
    if (!shell) return false;
    Variant result;
    if (!shell.Call("CreateShortcut", {AutomationArg(linkPath)}, &result) || result.v.vt != VT_DISPATCH ||
        !result.v.pdispVal)
        return false;
    result.v.pdispVal->AddRef();
    AutomationObject link{ComPtr<IDispatch>(result.v.pdispVal)};
    if (!link.Put("TargetPath", AutomationArg(target))) return false;
    if (!arguments.empty() && !link.Put("Arguments", AutomationArg(arguments))) return false;
    return link.Call("Save", {});
}

}  // namespace qor::win32
