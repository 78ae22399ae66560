// Scripted drive access for the disk-identity classes: records every call with its exact bytes
// and answers control calls from a script.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/drive_access.h"

namespace qor::hwinfo::testing {

class FakeDrives : public DriveAccess {
public:
    struct OpenCall {
        std::string path;
        DeviceAccess access;
        DeviceShare share;
        DeviceDisposition disposition;
    };
    struct ControlCall {
        Handle handle;
        uint32_t code;
        std::vector<uint8_t> input;
        size_t output_length;
    };
    struct Answer {
        bool succeeds = true;
        std::vector<uint8_t> bytes;  // written to the start of the output block
    };

    // Version report.
    bool version_known = true;
    OsVersionInfo version{2, 10, 0};
    // Paths that open; every other path fails.
    std::set<std::string> devices{"\\\\.\\PhysicalDrive0", "\\\\.\\PhysicalDrive1",
                                  "\\\\.\\PhysicalDrive2", "\\\\.\\PhysicalDrive3"};
    // Answers by control code; a code without an answer succeeds and writes nothing.
    std::map<uint32_t, Answer> answers;

    std::vector<OpenCall> opens;
    std::vector<ControlCall> controls;
    std::vector<Handle> closed;
    std::set<Handle> open_handles;

    bool QueryOsVersion(OsVersionInfo& info) override {
        if (!version_known) return false;
        info = version;
        return true;
    }
    Handle Open(const std::string& path, DeviceAccess access, DeviceShare share,
                DeviceDisposition disposition) override {
        opens.push_back({path, access, share, disposition});
        if (!devices.count(path)) return kInvalidHandle;
        const Handle handle = next_handle_++;
        open_handles.insert(handle);
        return handle;
    }
    bool Control(Handle handle, uint32_t code, const std::vector<uint8_t>& input,
                 std::vector<uint8_t>& output) override {
        controls.push_back({handle, code, input, output.size()});
        auto found = answers.find(code);
        if (found == answers.end()) return true;
        std::memcpy(output.data(), found->second.bytes.data(),
                    std::min(output.size(), found->second.bytes.size()));
        return found->second.succeeds;
    }
    void Close(Handle handle) override {
        closed.push_back(handle);
        open_handles.erase(handle);
    }

    // The codes of the control calls, in order.
    std::vector<uint32_t> Codes() const {
        std::vector<uint32_t> codes;
        for (const auto& c : controls) codes.push_back(c.code);
        return codes;
    }

private:
    Handle next_handle_ = 100;
};

// IDENTIFY data as a drive returns it: text fields space-padded, two characters per word with
// the bytes of each word swapped.
class IdentifyBlock {
public:
    IdentifyBlock() : data_(512, 0) {
        data_[0] = 0x40;  // fixed device, like a real answer
        data_[1] = 0x00;
    }
    IdentifyBlock& Text(size_t offset, size_t length, const std::string& text) {
        std::string padded = text;
        padded.resize(length, ' ');
        for (size_t i = 0; i < length; i += 2) {
            data_[offset + i] = static_cast<uint8_t>(padded[i + 1]);
            data_[offset + i + 1] = static_cast<uint8_t>(padded[i]);
        }
        return *this;
    }
    IdentifyBlock& Serial(const std::string& text) { return Text(20, 20, text); }
    IdentifyBlock& Firmware(const std::string& text) { return Text(46, 8, text); }
    IdentifyBlock& Model(const std::string& text) { return Text(54, 40, text); }
    IdentifyBlock& Byte(size_t offset, uint8_t value) {
        data_[offset] = value;
        return *this;
    }
    const std::vector<uint8_t>& Data() const { return data_; }
    // The SMART output block: 16 header bytes, then the data.
    std::vector<uint8_t> Output() const {
        std::vector<uint8_t> out(16 + data_.size(), 0);
        out[0] = 0x00;  // buffer size 512, little-endian
        out[1] = 0x02;
        std::copy(data_.begin(), data_.end(), out.begin() + 16);
        return out;
    }

private:
    std::vector<uint8_t> data_;
};

// A SMART input block written out byte by byte, for comparison with what was sent.
inline std::vector<uint8_t> ExpectedInput(size_t length, uint16_t buffer_size, uint8_t features,
                                          uint8_t cyl_low, uint8_t cyl_high, uint8_t drive_head,
                                          uint8_t command, uint8_t drive) {
    std::vector<uint8_t> block(length, 0);
    const uint8_t head[] = {static_cast<uint8_t>(buffer_size & 0xFF),
                            static_cast<uint8_t>(buffer_size >> 8), 0, 0,
                            features, 1, 1, cyl_low, cyl_high, drive_head, command, 0, drive};
    std::memcpy(block.data(), head, sizeof(head));
    return block;
}

}  // namespace qor::hwinfo::testing
