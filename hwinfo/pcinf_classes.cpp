#include "hwinfo/pcinf_classes.h"

#include <cstdlib>

#include "hwinfo/automation_object.h"
#include "hwinfo/disk_identity.h"
#include "hwinfo/qord_interfaces.h"
#include "platform/win32/drive_access_win32.h"

namespace qor::hwinfo {
namespace {

HRESULT ReturnText(const std::string& bytes, BSTR* out) {
    *out = AnsiToBstr(bytes);
    return *out ? S_OK : E_OUTOFMEMORY;
}

// A class's automation object, answering its text members from the logic's outcome.
template <class Interface>
class PcinfObject : public AutomationObject<Interface> {
protected:
    using AutomationObject<Interface>::AutomationObject;

    // The text, or the outcome's error raised; `out` is not null.
    HRESULT Answer(const Outcome& outcome, BSTR* out) {
        *out = nullptr;
        return outcome.error ? this->Raise(outcome.error) : ReturnText(outcome.text, out);
    }
};

class Pcinf1Object final : public PcinfObject<_PCINF1> {
public:
    Pcinf1Object() : PcinfObject(IID__PCINF1, L"QORd.PCINF1"), logic_(drives_) {}

    HRESULT STDMETHODCALLTYPE put_CurrentDrive(unsigned char value) override {
        const int error = logic_.SetCurrentDrive(value);
        return error ? Raise(error) : S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_CurrentDrive(unsigned char* value) override {
        if (!value) return E_POINTER;
        *value = logic_.CurrentDrive();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Platform(BSTR* value) override {
        if (!value) return E_POINTER;
        return ReturnText(logic_.Platform(), value);
    }
    HRESULT STDMETHODCALLTYPE GetHdID1(BSTR* serial) override {
        if (!serial) return E_POINTER;
#ifdef QOR_TEST_HOOKS
        // Test builds only: QOR_TEST_IDENTIFY_FIELD names the field selector GetHdID1 reads, so
        // that a client can meet "Illegal HD Data type", which no member raises otherwise.
        wchar_t field[16];
        const DWORD n = GetEnvironmentVariableW(L"QOR_TEST_IDENTIFY_FIELD", field, 16);
        if (n > 0 && n < 16) return Answer(logic_.ReadIdentifyText(_wtoi(field)), serial);
#endif
        return Answer(logic_.GetHdID1(), serial);
    }

private:
    Win32DriveAccess drives_;
    Pcinf1 logic_;
};

class Pcinf2Object final : public PcinfObject<_PCINF2> {
public:
    Pcinf2Object() : PcinfObject(IID__PCINF2, L"QORd.PCINF2"), logic_(drives_) {}

    HRESULT STDMETHODCALLTYPE GetDiskInfo(unsigned char drive, LONG* result) override {
        if (!result) return E_POINTER;
        *result = logic_.GetDiskInfo(drive);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetHdID2(eumDiskNo disk, eumInfoType info_type,
                                       BSTR* serial) override {
        if (!serial) return E_POINTER;
        return Answer(logic_.GetHdID2(static_cast<int32_t>(disk), static_cast<int32_t>(info_type)), serial);
    }

private:
    Win32DriveAccess drives_;
    Pcinf2 logic_;
};

class Pcinf3Object final : public PcinfObject<_PCINF3> {
public:
    Pcinf3Object() : PcinfObject(IID__PCINF3, L"QORd.PCINF3"), logic_(library_) {}

    HRESULT STDMETHODCALLTYPE GetHdID3(BSTR* identity) override {
        if (!identity) return E_POINTER;
        return Answer(logic_.GetHdID3(), identity);
    }

private:
    Win32DiskIdLibrary library_;
    Pcinf3 logic_;
};

template <class Object>
HRESULT Create(REFIID iid, void** object) {
    Object* created = new (std::nothrow) Object();
    if (!created) return E_OUTOFMEMORY;
    const HRESULT hr = created->QueryInterface(iid, object);
    created->Release();
    return hr;
}

const ClassEntry kClasses[] = {
    {&CLSID_PCINF1, L"QORd.PCINF1", &Create<Pcinf1Object>},
    {&CLSID_PCINF2, L"QORd.PCINF2", &Create<Pcinf2Object>},
    {&CLSID_PCINF3, L"QORd.PCINF3", &Create<Pcinf3Object>},
};

}  // namespace

const ClassEntry* Classes(size_t& count) {
    count = sizeof(kClasses) / sizeof(kClasses[0]);
    return kClasses;
}

}  // namespace qor::hwinfo
