// Pairing by code. AuthManager makes the eight-digit pairing code, keeps it
// in memory, and sends a terminal the "request_auth" message, which carries
// the code's first four digits with this device's identifier, its model
// name and the method "DCA", over TCP through the running discovery scan.
// AuthBean is the pairing message record: the request, the approval
// message and the parsers of their replies.
//
// The terminal's answers take the handshake road of discovery; the
// delegate calls only log.
//
// Threads: AuthManager lives on the main loop (its singleton is made once,
// safely, on first use). AuthBean is a plain value. Ownership: the manager
// refers to the discovery manager, which outlives it. Non-copyable.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "veltrix/platform/json.h"

namespace veltrix::registry {

class DiscoverManager;

class AuthManagerDelegate {
 public:
  virtual ~AuthManagerDelegate() = default;
  virtual void onAuthRequestRspn(const platform::Json& /*info*/) {}
  virtual void onAuthApproveRspn(const platform::Json& /*info*/) {}
};

struct AuthBean {
  std::optional<std::string> authType;
  std::optional<std::string> initiation;
  std::optional<std::string> model;
  std::optional<std::string> random;
  std::optional<std::string> sn;
  std::optional<std::string> msgType;
  std::optional<std::string> code;
  std::optional<std::string> message;
  std::optional<std::string> eccPub;
  std::optional<std::string> sign;
  std::optional<std::string> dataKcv;

  // The request for `code`: this device's identifier, "DCA", its model
  // name, "auto", "request_auth".
  static AuthBean initAuthRequestBean(std::optional<std::string> code);
  static AuthBean initAuthApproveBean(std::optional<std::string> eccPub,
                                      std::optional<std::string> random,
                                      std::optional<std::string> sign);
  // The replies; a text that is not a JSON object leaves every field absent.
  static AuthBean initAuthResponseBean(std::string_view text);
  static AuthBean initAuthApproveResponseBean(std::string_view text);

  // {"authType","initiation","model","msgType","random","sn"}, compact,
  // "random" holding only the code's first four characters.
  std::optional<std::string> requestToJSONString() const;
  // {"authType","eccPub","model","msgType","random","sign","sn"}.
  std::optional<std::string> approveToJSONString() const;
  // The wire text (line breaks, spaces and backslashes removed from the
  // values); nullopt for an absent object or one that cannot be written.
  static std::optional<std::string> objectToJSONString(const std::optional<platform::Json>& object);
  static std::string getUUID();
};

class AuthManager : public AuthManagerDelegate {
 public:
  // Four secure random bytes (little-endian); nullopt when the source fails.
  using RandomSource = std::function<std::optional<std::uint32_t>()>;

  // Over the discovery singleton, made once on first use.
  static AuthManager& sharedInstance();

  // Registers itself as `discoverManager`'s pairing delegate.
  explicit AuthManager(DiscoverManager& discoverManager, RandomSource random = {});
  AuthManager(const AuthManager&) = delete;
  AuthManager& operator=(const AuthManager&) = delete;

  // A new eight-digit code ("%08d", evenly spread over 0..99999999), kept
  // as the code of the next auth().
  std::string createRandom();
  const std::optional<std::string>& random1() const { return random1_; }

  // Sends the request for the current code to the host part of the
  // terminal's "address" (always on the terminals' TCP port). True only
  // when a connection was started and the text queued; false without a
  // code, without an address, for this device's own address, or when no
  // LAN scan runs.
  bool auth(const platform::Json& terminal);

  void onAuthRequestRspn(const platform::Json& info) override;
  void onAuthApproveRspn(const platform::Json& info) override;

 private:
  DiscoverManager& discoverManager_;
  RandomSource random_;
  std::optional<std::string> random1_;
  // The delegate registered with discovery; it logs as this manager does.
  std::shared_ptr<AuthManagerDelegate> delegateLink_;
};

}  // namespace veltrix::registry
