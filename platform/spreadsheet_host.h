// The spreadsheet host as the launcher drives it through automation: created by its ProgID,
// asked for its version and program folder, told to open a workbook and to show itself.
#pragma once

#include <string>

namespace qor {

class SpreadsheetHost {
public:
    virtual ~SpreadsheetHost() = default;

    // Creates a new host object from "Excel.Application", replacing (releasing) any object held.
    // False when the creation raised an error; nothing is held then.
    virtual bool Create() = 0;
    // Releases the held object (if any); the host process keeps running.
    virtual void Release() = 0;
    // True while an object is held.
    virtual bool Held() const = 0;

    // The "version" property as text; empty when it cannot be read or nothing is held.
    virtual std::string Version() = 0;
    // The "Path" property; false when it cannot be read or nothing is held.
    virtual bool ProgramPath(std::string& path) = 0;
    // "Workbooks"."Open" with exactly the named arguments "FileName" and "Password".
    virtual bool OpenWorkbook(const std::string& fileName, const std::string& password) = 0;
    // Sets "Visible" to true.
    virtual bool MakeVisible() = 0;
};

}  // namespace qor
