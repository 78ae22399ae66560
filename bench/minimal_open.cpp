// The reference of the everyday-start benchmark: the least a program can do to open the main
// workbook, namely create the spreadsheet host and call Workbooks.Open with the file and its
// password, then end. Usage: minimal_open.exe <workbook path>
// With QOR_TEST_TRACE set it marks the same points as the launcher's trace where it has them.
#include <windows.h>
#include <objbase.h>

#include "platform/win32/automation.h"
#include "platform/win32/start_trace.h"
#include "platform/win32/unicode.h"

int wmain(int argc, wchar_t** argv) {
    qor::win32::StartTrace trace;
    trace.Mark("entry");
    if (argc < 2) return 2;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    trace.Mark("settings");
    using qor::win32::AutomationArg;
    qor::win32::AutomationObject app = qor::win32::AutomationObject::Create("Excel.Application");
    if (!app) return 1;
    trace.Mark("host creation");
    qor::win32::AutomationObject workbooks = app.GetObject("Workbooks");
    bool opened = workbooks.Call("Open", {AutomationArg(qor::win32::Narrow(argv[1])).Named("FileName"),
                                          AutomationArg("avk").Named("Password")});
    trace.Mark("Workbooks.Open");
    trace.Mark("end");
    trace.Write();
    ExitProcess(opened ? 0 : 1);
}
