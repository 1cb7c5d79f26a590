// The pairing code card: "Invitation sent", the message naming the terminal,
// and the eight-digit pairing code split after its fourth digit. The scan
// screen shows it while the pairing request goes to the terminal.
//
// PairingAuth is what the card's screen needs of AuthManager: a new code
// and the request that carries it.
//
// Threads: the main loop only. The card is owned like every view;
// AuthManagerPairing refers to an AuthManager that outlives it (the
// process-wide one by default).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "veltrix/platform/json.h"
#include "veltrix/platform/ui/controls.h"

namespace veltrix::registry {
class AuthManager;
}

namespace veltrix::ui::scan {

class PairingAuth {
 public:
  virtual ~PairingAuth() = default;
  // A new eight-digit code, kept as the code of the next auth().
  virtual std::string createRandom() = 0;
  // Sends the pairing request to the terminal's "address"; false when
  // nothing was sent.
  virtual bool auth(const platform::Json& terminal) = 0;
};

class AuthManagerPairing : public PairingAuth {
 public:
  explicit AuthManagerPairing(registry::AuthManager& manager) : manager_(manager) {}
  std::string createRandom() override;
  bool auth(const platform::Json& terminal) override;

 private:
  registry::AuthManager& manager_;
};

// Over AuthManager::sharedInstance().
std::shared_ptr<PairingAuth> sharedPairingAuth();

// "0123 4567": the first four characters, a space, the rest; leading zeros
// stay.
std::string pairingCodeText(std::string_view code);

class AuthRandomView : public View {
 public:
  // `randomStr` as shown ("0123 4567"); `sn` the terminal to pair.
  AuthRandomView(std::string randomStr, std::string sn);

  const std::string& randomStr() const { return randomStr_; }
  const std::string& sn() const { return sn_; }

  std::string typeName() const override { return "AuthRandomView"; }

 private:
  void setupUI();
  std::string randomStr_;
  std::string sn_;
};

}  // namespace veltrix::ui::scan
