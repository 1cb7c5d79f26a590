// The device services of the terminal (card-reader APDU, diagnosis,
// card-reader initialisation, input, play sound, power-off card reader,
// transmission): their request parameters and results, and
// MsgDisplayCapabilities, what a display or printer of the terminal can show.
//
// These services have no message encoding: the facade reads only the
// destination of their parameters and nothing fills their results. Plain
// values with no thread affinity; the conversions never throw.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/model/codes.h"
#include "veltrix/model/nonfinancial_params.h"
#include "veltrix/model/request_base.h"
#include "veltrix/platform/json.h"

namespace veltrix::model {

// ----------------------------------------------------------------------------
// Parameters
// ----------------------------------------------------------------------------

// One APDU command for the card reader; every field is text.
class CardReaderAPDUParam : public BaseParams {
 public:
  bool operator==(const CardReaderAPDUParam&) const = default;

  std::optional<std::string> exchangeIdentification;
  std::optional<std::string> clazz;
  std::optional<std::string> instruction;
  std::optional<std::string> parameter1;
  std::optional<std::string> parameter2;
  std::optional<std::string> data;
  std::optional<std::string> expectedLength;

  // Present texts (empty included) and non-zero codes of the base and own
  // fields in a fixed order; "runInBackground" is always written. The
  // destination is not.
  platform::Json toDictionary() const;
  // Pretty-printed toDictionary(); nullopt (and a log line) when it cannot
  // be written.
  std::optional<std::string> toJSONString() const;
};

class DiagnosisParam : public BaseParams {
 public:
  bool operator==(const DiagnosisParam&) const = default;

  std::optional<std::string> acquirerIdentifications;
  std::optional<std::string> hostDiagnosisFlag;
};

class InitialisationCardReaderParam : public BaseParams {
 public:
  bool operator==(const InitialisationCardReaderParam&) const = default;

  std::optional<std::string> forceEntryMode;
  std::optional<std::string> maximumWaitingTime;
};

// The flags of an input request are texts, not booleans.
class InputParam : public BaseParams {
 public:
  bool operator==(const InputParam&) const = default;

  std::optional<std::string> deviceType;
  InformationQualifyCode informationQualifier{};
  InputCommandCode inputCommand{};
  std::optional<std::string> notifyCardInputFlag;
  std::optional<std::string> maximumInputTime;
  std::optional<ActionMessageParam> displayWhenInput;
  std::optional<std::string> immediateResponseFlag;
  std::optional<std::string> waitUserValidationFlag;
  std::optional<std::string> beepKeyFlag;
  std::optional<std::string> globalCorrectionFlag;
  std::optional<std::string> disableCancelFlag;
  std::optional<std::string> disableCorrectFlag;
  std::optional<std::string> disableValidFlag;
  std::optional<std::string> menuBackFlag;
};

class PlaySoundParam : public BaseParams {
 public:
  bool operator==(const PlaySoundParam&) const = default;

  std::optional<std::string> responseMode;
  std::optional<std::string> soundAction;
  std::optional<std::string> soundVolume;
  std::optional<std::string> soundFormat;
  std::optional<std::string> language;
  std::optional<std::string> soundReference;
  std::optional<std::string> text;
};

// Not a BaseParams: it has no destination and no entry in the facade.
struct PowerOffCardReaderParam {
  std::optional<std::string> powerOffMaximumWaitingTime;

  bool operator==(const PowerOffCardReaderParam&) const = default;
};

class TransmissionParam : public BaseParams {
 public:
  bool operator==(const TransmissionParam&) const = default;

  std::optional<std::string> destinationAddress;
  std::optional<std::string> maximumTransmissionTime;
  std::optional<std::string> messageToSend;
  std::optional<std::string> maximumWaitingTime;
};

// ----------------------------------------------------------------------------
// Results. Not BaseResults: each starts with the same four plain texts.
// ----------------------------------------------------------------------------

struct CardReaderAPDUResult {
  std::optional<std::string> recipientPartyIdentification;
  std::optional<std::string> response;
  std::optional<std::string> responseReason;
  std::optional<std::string> additionalResponseInformation;
  std::optional<std::string> data;
  std::optional<std::string> cardStatus;

  bool operator==(const CardReaderAPDUResult&) const = default;
};

struct DiagnosisResult {
  std::optional<std::string> recipientPartyIdentification;
  std::optional<std::string> response;
  std::optional<std::string> responseReason;
  std::optional<std::string> additionalResponseInformation;

  bool operator==(const DiagnosisResult&) const = default;
};

struct InitialisationCardReaderResult {
  std::optional<std::string> recipientPartyIdentification;
  std::optional<std::string> response;
  std::optional<std::string> responseReason;
  std::optional<std::string> additionalResponseInformation;
  std::optional<std::string> cardEntryMode;
  std::optional<std::string> additionalInformation;
  std::optional<std::string> aTRValue;
  std::optional<std::string> cardStatus;

  bool operator==(const InitialisationCardReaderResult&) const = default;
};

struct InputResult {
  std::optional<std::string> recipientPartyIdentification;
  std::optional<std::string> response;
  std::optional<std::string> responseReason;
  std::optional<std::string> additionalResponseInformation;
  std::optional<std::vector<std::string>> outputResultList;
  std::optional<std::string> deviceType;
  InformationQualifyCode informationQualifier{};
  std::optional<std::string> functionKey;
  std::optional<std::string> inputMessage;

  bool operator==(const InputResult&) const = default;
};

struct PlaySoundResult {
  std::optional<std::string> recipientPartyIdentification;
  std::optional<std::string> response;
  std::optional<std::string> responseReason;
  std::optional<std::string> additionalResponseInformation;

  bool operator==(const PlaySoundResult&) const = default;
};

struct PowerOffCardReaderResult {
  std::optional<std::string> recipientPartyIdentification;
  std::optional<std::string> response;
  std::optional<std::string> responseReason;
  std::optional<std::string> additionalResponseInformation;

  bool operator==(const PowerOffCardReaderResult&) const = default;
};

struct TransmissionResult {
  std::optional<std::string> recipientPartyIdentification;
  std::optional<std::string> response;
  std::optional<std::string> responseReason;
  std::optional<std::string> additionalResponseInformation;
  std::optional<std::string> receivedMessage;

  bool operator==(const TransmissionResult&) const = default;
};

// ----------------------------------------------------------------------------
// Display capabilities
// ----------------------------------------------------------------------------

struct MsgDisplayCapabilities {
  ReceiptOutputTargetCode destination{};            // CDSP (0) .. VCHR (9)
  MsgCapabilityOutputFormatCode availableFormat{};  // MREF (0), TEXT, HTML
  std::optional<std::int64_t> numberOfLines;
  std::optional<std::int64_t> lineWidth;
  std::optional<std::string> availableLanguage;

  bool operator==(const MsgDisplayCapabilities&) const = default;

  // "destination" and "availableFormat" always (0 included, out-of-table
  // values as "MRCP" and "TEXT"); the others when present.
  platform::Json toDictionary() const;
  // Pretty-printed toDictionary(); nullopt (and a log line) when it cannot
  // be written.
  std::optional<std::string> toJSONString() const;
  // MsgDisplayCapabilities{destination='CDSP', availableFormat='TEXT',
  // numberOfLines=4, lineWidth=32, availableLanguage=null}: an absent number
  // prints "(null)", an absent language "null" without quotes.
  std::string toString() const;
};

}  // namespace veltrix::model
