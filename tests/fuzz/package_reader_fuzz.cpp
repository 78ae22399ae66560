// libFuzzer target: any bytes as an installer package. The reader must not crash, hang or read
// out of bounds, must write only the two payload targets, never more bytes than the input holds,
// and must report success only with both payloads complete.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "installer/package/package.h"

namespace {

class MemoryReader : public qor::ByteReader {
public:
    MemoryReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Read(char* buffer, size_t size, size_t& got) override {
        got = size < size_ - at_ ? size : size_ - at_;
        for (size_t i = 0; i < got; ++i) buffer[i] = static_cast<char>(data_[at_ + i]);
        at_ += got;
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_, at_ = 0;
};

struct Targets : qor::package::PayloadTargets {
    std::string out[4];
    bool exists[4] = {};
    struct Writer : qor::ByteWriter {
        std::string* target;
        bool Write(const char* data, size_t size) override {
            target->append(data, size);
            return true;
        }
        bool Close() override { return true; }
    };
    std::unique_ptr<qor::ByteWriter> Create(int record) override {
        if (record != 2 && record != 3) abort();  // only the two payload targets exist
        out[record].clear();
        exists[record] = true;
        auto w = std::make_unique<Writer>();
        w->target = &out[record];
        return w;
    }
    void Discard(int record) override {
        out[record].clear();
        exists[record] = false;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryReader reader(data, size);
    Targets targets;
    qor::package::ExtractResult result = qor::package::ExtractPayloadStream(reader, targets);
    if (targets.out[2].size() + targets.out[3].size() > size) abort();
    if (result == qor::package::ExtractResult::Done && !(targets.exists[2] && targets.exists[3])) abort();
    return 0;
}
