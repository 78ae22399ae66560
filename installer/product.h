// The installer's product constants and the texts it shows, in one place.
#pragma once

namespace qor::installer {

inline constexpr char kProductName[] = "QOR中小企业财务软件";
inline constexpr char kVersionText[] = "6.01";
inline constexpr char kPublisher[] = "QORsoft";
inline constexpr char kDefaultDrive[] = "D:\\";

inline constexpr char kSetupName[] = "QOR_SETUP.exe";
inline constexpr char kExtractorName[] = "UnRAR.exe";
inline constexpr char kArchiveName[] = "QOR_SETUP.rar";
inline constexpr char kRecordName[] = "uninstall.inf";
inline constexpr char kScratchName[] = "QOR_SETUP_TEMP";
inline constexpr char kIconName[] = "qor.ico";

inline constexpr char kInfoTitle[] = "提示";
inline constexpr char kErrorTitle[] = "错误";
inline constexpr char kQuestionTitle[] = "询问";

}  // namespace qor::installer
