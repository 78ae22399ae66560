#include "installer/package/package.h"

#include <vector>

namespace qor::package {
namespace {

// The marker is "FILE" + record digit + kMarkerTail; it is never stored in one piece (see the
// header of this file).
constexpr char kMarkerHead[] = "FILE";
constexpr char kMarkerTail[] = " START LOG:LENGTH=";
constexpr size_t kMarkerSize = 4 + 1 + sizeof kMarkerTail - 1;
// A line longer than this can be no valid header; only its start is kept.
constexpr size_t kKeptLine = 256;

// Buffered lines and blocks over the source.
class Input {
public:
    explicit Input(ByteReader& source) : source_(source), buffer_(kCopyChunk) {}

    bool failed() const { return failed_; }

    // The next line (its first kKeptLine bytes); false at the end of the data.
    bool NextLine(std::string& line) {
        line.clear();
        bool any = false;
        for (;;) {
            if (at_ == size_ && !Fill()) return any;
            any = true;
            char c = buffer_[at_++];
            if (c == '\r') {
                if (at_ == size_ && !Fill()) return true;
                if (buffer_[at_] == '\n') ++at_;
                return true;
            }
            if (c == '\0') return true;
            if (line.size() < kKeptLine) line.push_back(c);
        }
    }

    // Copies exactly `count` bytes to the writer; false when the data ends first or a read or
    // write fails (`writeFailed` tells which).
    bool CopyTo(ByteWriter& out, int64_t count, bool& writeFailed) {
        writeFailed = false;
        while (count > 0) {
            if (at_ == size_ && !Fill()) return false;
            size_t n = size_ - at_;
            if (static_cast<int64_t>(n) > count) n = static_cast<size_t>(count);
            if (!out.Write(buffer_.data() + at_, n)) {
                writeFailed = true;
                return false;
            }
            at_ += n;
            count -= static_cast<int64_t>(n);
        }
        return true;
    }

private:
    bool Fill() {
        at_ = size_ = 0;
        if (eof_ || failed_) return false;
        size_t got = 0;
        if (!source_.Read(buffer_.data(), buffer_.size(), got)) {
            failed_ = true;
            return false;
        }
        if (got == 0) {
            eof_ = true;
            return false;
        }
        size_ = got;
        return true;
    }

    ByteReader& source_;
    std::vector<char> buffer_;
    size_t at_ = 0, size_ = 0;
    bool eof_ = false, failed_ = false;
};

}  // namespace

std::string HeaderLine(int record, int64_t length) {
    return std::string(kMarkerHead) + static_cast<char>('0' + record) + kMarkerTail + std::to_string(length) + "\r\n";
}

bool ParseLength(const std::string& text, int32_t& length) {
    if (text.empty()) return false;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
        if (value > kMaxPayloadLength) return false;
    }
    if (value == 0) return false;
    length = static_cast<int32_t>(value);
    return true;
}

HeaderMatch MatchHeader(const std::string& line) {
    HeaderMatch match;
    if (line.size() < kMarkerSize || line.compare(0, 4, kMarkerHead) != 0 ||
        line.compare(5, sizeof kMarkerTail - 1, kMarkerTail) != 0)
        return match;
    if (line[4] != '2' && line[4] != '3') return match;
    match.record = line[4] - '0';
    // The length is the text between the first "=" and the next "=" (or the end of the line).
    size_t from = kMarkerSize;
    size_t to = line.find('=', from);
    match.lengthValid = ParseLength(line.substr(from, to == std::string::npos ? std::string::npos : to - from), match.length);
    return match;
}

ExtractResult ExtractPayloadStream(ByteReader& source, PayloadTargets& targets) {
    Input input(source);
    bool extractorDone = false;
    std::string line;
    while (input.NextLine(line)) {
        HeaderMatch header = MatchHeader(line);
        if (header.record == 0) continue;
        if (!header.lengthValid) return ExtractResult::BadLength;
        std::unique_ptr<ByteWriter> out = targets.Create(header.record);
        if (!out) return ExtractResult::WriteFailed;
        bool writeFailed = false;
        bool copied = input.CopyTo(*out, header.length, writeFailed);
        bool closed = out->Close();
        if (!copied || !closed) {
            out.reset();
            targets.Discard(header.record);
            if (writeFailed || !closed) return ExtractResult::WriteFailed;
            return input.failed() ? ExtractResult::ReadFailed : ExtractResult::CutShort;
        }
        if (header.record == 2) extractorDone = true;
        if (header.record == 3) return extractorDone ? ExtractResult::Done : ExtractResult::ExtractorMissing;
    }
    if (input.failed()) return ExtractResult::ReadFailed;
    return extractorDone ? ExtractResult::ArchiveMissing : ExtractResult::ExtractorMissing;
}

namespace {

class FileTargets : public PayloadTargets {
public:
    FileTargets(FileStore& files, std::string extractor, std::string archive)
        : files_(files), extractor_(std::move(extractor)), archive_(std::move(archive)) {}
    std::unique_ptr<ByteWriter> Create(int record) override { return files_.CreateForWriting(Path(record)); }
    void Discard(int record) override { files_.RemoveFile(Path(record)); }

private:
    const std::string& Path(int record) const { return record == 2 ? extractor_ : archive_; }
    FileStore& files_;
    std::string extractor_, archive_;
};

}  // namespace

bool ExtractPayload(FileStore& files, const std::string& installPath, const std::string& sourceName,
                    const std::string& extractorName, const std::string& archiveName, ExtractResult* result) {
    return ExtractPayloadFrom(files, installPath + sourceName, installPath, extractorName, archiveName, result);
}

bool ExtractPayloadFrom(FileStore& files, const std::string& source, const std::string& folder,
                        const std::string& extractorName, const std::string& archiveName, ExtractResult* result) {
    const std::string extractor = folder + extractorName;
    const std::string archive = folder + archiveName;
    if (files.NormalFileExists(extractor)) files.RemoveFile(extractor);
    if (files.NormalFileExists(archive)) files.RemoveFile(archive);
    ExtractResult outcome = ExtractResult::ReadFailed;
    if (std::unique_ptr<ByteReader> in = files.OpenForReading(source)) {
        FileTargets targets(files, extractor, archive);
        outcome = ExtractPayloadStream(*in, targets);
    }
    if (result) *result = outcome;
    return outcome == ExtractResult::Done;
}

}  // namespace qor::package
