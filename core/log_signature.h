// The vendor's signature over a published update log, and what the updater keeps of the newest
// log it has accepted. Portable rules only: the cryptography is the platform's.
//
// The signature file lies beside the log on the server (the log's name + ".sig") and is text in
// ASCII with CR LF line ends:
//
//   QOR update log signature 1
//   edition: BIZACC
//   package-sha256: <64 lower-case hexadecimal digits>
//   package-size: <decimal bytes>
//   expires: 2025-12-31T00:00:00Z
//   signature: <128 hexadecimal digits: r and s of ECDSA P-256>
//
// The signature covers the SHA-256 of LogSignedBytes(): every field above in that order and
// form, the log's length, then the log's exact bytes as served.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/signature_rules.h"

namespace qor {

struct LogSignature {
    std::string edition;        // the edition code the log is published for, e.g. BIZACC
    Sha256Digest packageSha256{};
    uint64_t packageSize = 0;
    int64_t expires = 0;        // seconds since 1970-01-01 00:00:00 UTC
    P256Signature signature{};
};

// The first line of a log signature file of this format.
extern const char* const kLogSignatureHeader;

// The largest update log or signature file the programs read: anything larger is refused as
// unreadable and never read whole.
inline constexpr uint64_t kUpdateFileReadLimit = 256 * 1024;

// An edition code a signature can name: 1 to 64 ASCII letters, digits, '-' or '.'.
bool IsSignableEdition(const std::string& edition);

// The file's text as above; false for anything else (another header or field order, a field out
// of form, extra lines). The final line end is optional; LF alone ends a line as well.
bool ParseLogSignature(const std::string& text, LogSignature& signature);
// The file's text, CR LF after every line.
std::string FormatLogSignature(const LogSignature& signature);
// What the signature is made over: the file's first five lines as FormatLogSignature writes
// them, with LF line ends, then "log-size: <n>" and LF, then the n bytes of the log.
std::string LogSignedBytes(const std::string& logBytes, const LogSignature& signature);

// "YYYY-MM-DDTHH:MM:SSZ" (UTC, years 1970 to 9999) to seconds since the epoch and back.
bool ParseUtcTime(const std::string& text, int64_t& seconds);
std::string FormatUtcTime(int64_t seconds);

// Lower-case hexadecimal of bytes, and back (false unless exactly 2 * size digits).
std::string HexText(const uint8_t* bytes, size_t size);
bool ParseHexBytes(const std::string& text, uint8_t* bytes, size_t size);

// Why a correctly signed log is still refused, or Accepted.
enum class LogVerdict { Accepted, OtherEdition, Expired, Older };
// `now` is the machine's UTC time in seconds; `version` the log's version line; `newest` the
// version of the newest log accepted before (empty when none). `checkExpiry` is false for a log
// whose package was downloaded while it was valid.
LogVerdict JudgeSignedLog(const LogSignature& signature, const std::string& edition, int64_t now,
                          const std::string& version, const std::string& newest, bool checkExpiry);

// The record of the newest accepted log: "QOR_UPDATE newest log 1", the version, CR LF each.
std::string FormatNewestLogRecord(const std::string& version);
// False for anything else, and for a version that is not digits and dots.
bool ParseNewestLogRecord(const std::string& text, std::string& version);

}  // namespace qor
