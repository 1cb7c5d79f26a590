// Service numbers of the facade's requests (indexes of the service name
// table, registry/terminal_service_helper.h).
#pragma once

#include <cstdint>

namespace veltrix::facade::service {

inline constexpr std::int64_t kDisplay = 0;
inline constexpr std::int64_t kPrinter = 1;
inline constexpr std::int64_t kPurchase = 3;
inline constexpr std::int64_t kScanCodePurchase = 4;
inline constexpr std::int64_t kCashPurchase = 5;
inline constexpr std::int64_t kQrCodePurchase = 6;
inline constexpr std::int64_t kRefund = 7;
inline constexpr std::int64_t kPreAuth = 8;
inline constexpr std::int64_t kPreAuthCompletion = 9;
inline constexpr std::int64_t kAuthAdjustment = 10;
inline constexpr std::int64_t kCardAuth = 11;
inline constexpr std::int64_t kMessageStatus = 12;
inline constexpr std::int64_t kTransmitMessage = 13;
inline constexpr std::int64_t kAbort = 14;
inline constexpr std::int64_t kReversal = 15;
inline constexpr std::int64_t kReconciliation = 16;
inline constexpr std::int64_t kBalanceInquiry18 = 18;
inline constexpr std::int64_t kBalanceInquiry = 21;  // same name as 18
inline constexpr std::int64_t kNfcTag = 22;
inline constexpr std::int64_t kReprint = 23;
inline constexpr std::int64_t kCardReaderApdu = 26;
inline constexpr std::int64_t kDiagnosis = 27;
inline constexpr std::int64_t kInitialisationCardReader = 28;
inline constexpr std::int64_t kInput = 29;
inline constexpr std::int64_t kPlaySound = 30;
inline constexpr std::int64_t kTransmission = 31;

}  // namespace veltrix::facade::service
