#include "sim/ble_simulator.h"

#include <fmt/format.h>

#include <algorithm>
#include <deque>
#include <nlohmann/json.hpp>
#include <utility>

#include "sim/default_scenario.h"
#include "veltrix/platform/clock.h"
#include "veltrix/platform/dispatch.h"

namespace veltrix::sim {
namespace {

namespace ble = ::veltrix::platform::ble;

constexpr std::uint8_t kWrongStartByte = 0x01;
constexpr Millis kStaleFrame{1000};

ble::BleUuid uuid(const char* text) { return *ble::BleUuid::fromString(text); }

std::string trimmedRight(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

// `text` with a top-level "padding" member that makes its frame at least
// `frameBytes` long.
std::string padded(const std::string& text, std::size_t frameBytes) {
  const std::size_t close = text.rfind('}');
  if (close == std::string::npos) return text;
  const std::string head = trimmedRight(text.substr(0, close));
  const std::string tail = text.substr(close);
  const std::string open =
      (head.empty() || head.back() == '{') ? R"("padding":")" : R"(,"padding":")";
  const std::size_t frame = head.size() + open.size() + 1 + tail.size() + 6;
  const std::size_t fill = frameBytes > frame ? frameBytes - frame : 0;
  return head + open + std::string(fill, 'x') + "\"" + tail;
}

}  // namespace

BleReply BleReply::of(const std::vector<std::string>& texts, Millis gap, BleFault fault) {
  BleReply reply;
  for (const std::string& text : texts) reply.messages.push_back(BleMessage{text, gap});
  reply.fault = fault;
  return reply;
}

TerminalIdentity BleTerminalOptions::identity() const {
  TerminalIdentity identity;
  identity.sn = sn;
  identity.model = model;
  identity.address = address;
  identity.parameter = parameter;
  identity.services = services;
  return identity;
}

struct BleSimulator::Impl : std::enable_shared_from_this<Impl> {
  struct Entry {
    BleReplyMaker maker;
    ReplyMatch match;
    bool repeat = false;
  };

  Impl(ble::SimRadio& r, BleTerminalOptions o) : radio(r), options(std::move(o)) {}

  ble::SimRadio& radio;
  BleTerminalOptions options;
  std::shared_ptr<ble::SimPeripheralDevice> device;
  const ble::BleUuid notifyUuid = uuid(kBleTerminalNotify);
  BleFrameReader reader;
  std::deque<Entry> script;
  // Moves with every link, so a reply under way stops with its link.
  std::uint64_t link = 0;
  std::vector<std::string> requests;
  Ledger ledger;
  std::vector<std::string> handshakes;
  std::size_t handshakesSent = 0;
  std::size_t badFrames = 0;
  std::vector<std::size_t> writeSizes;
  std::vector<std::size_t> notificationSizes;
  std::function<void(const std::string&)> log;
  platform::TimePoint lastWrite{};

  void say(const std::string& line) {
    if (log) log(fmt::format("[ble {}] {}", options.sn, line));
  }

  // Runs `task` after `delay` while this terminal and its link live.
  void later(Millis delay, std::function<void(Impl&)> task) {
    platform::after(platform::mainLoop(), delay,
                    [weak = weak_from_this(), at = link, task = std::move(task)] {
                      const auto self = weak.lock();
                      if (self && self->link == at) task(*self);
                    });
  }

  void start() {
    ble::SimPeripheralSpec spec;
    spec.identifier = options.identifier;
    spec.name = options.name;
    ByteString data{0xFF, 0xFF};
    data.insert(data.end(), options.sn.begin(), options.sn.end());
    spec.advertisement.manufacturerData = options.manufacturerData.value_or(data);
    spec.advertisement.localName = options.name;
    spec.advertisement.serviceUuids = {uuid(kBleTerminalService)};
    spec.services = {ble::SimServiceSpec{
        uuid(kBleTerminalService),
        {{uuid(kBleTerminalWrite), {.write = true}}, {notifyUuid, {.notify = true}}}}};
    device = radio.addPeripheral(std::move(spec));
    device->setWriteHandler(
        [weak = weak_from_this()](const ble::BleUuid&, const platform::Bytes& value) {
          if (const auto self = weak.lock()) self->onWrite(value);
        });
    device->setConnectionHandler([weak = weak_from_this()](bool connected) {
      const auto self = weak.lock();
      if (!self) return;
      ++self->link;
      self->reader = BleFrameReader();
      self->say(connected ? "connected" : "disconnected");
    });
  }

  void onWrite(const platform::Bytes& value) {
    writeSizes.push_back(value.size());
    // A frame left unfinished (a write the radio refused) is given up once
    // the central has been silent a while, as a terminal's receive time-out.
    const platform::TimePoint now = platform::clock().now();
    if (reader.bufferedBytes() > 0 && now - lastWrite >= kStaleFrame) {
      say("unfinished frame dropped");
      reader = BleFrameReader();
    }
    lastWrite = now;
    for (BleFrameReader::Frame& frame : reader.feed(value)) {
      if (!frame.valid) {
        ++badFrames;
        say("bad frame dropped");
        continue;
      }
      onMessage(frame.payload);
    }
  }

  void onMessage(const std::string& text) {
    const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_object() && json.value("contentType", "") == "discover") {
      handshakes.push_back(text);
      say("handshake received");
      if (options.answerHandshakes) {
        later(options.handshakeDelay, [](Impl& self) {
          if (self.send(handshakeText(self.options.identity(), wireTimeNow()))) {
            ++self.handshakesSent;
          }
        });
      }
      return;
    }
    requests.push_back(text);
    RecordedRequest request;
    request.connection = link;
    request.method = "POST";
    request.target = "ble";
    request.body = text;
    say(fmt::format("request {}", request.jsonText("serviceType").value_or("(none)")));
    if (std::optional<BleReply> reply = replyFor(request)) play(std::move(*reply));
  }

  std::optional<BleReply> replyFor(const RecordedRequest& request) {
    for (auto it = script.begin(); it != script.end(); ++it) {
      if (!it->match.matches(request)) continue;
      const BleReplyMaker maker = it->maker;
      if (!it->repeat) script.erase(it);
      return maker(request);
    }
    if (!options.defaults) return std::nullopt;
    const Reply http = defaultReply(request, options.gap, options.sn, &ledger);
    if (http.status != 200) {
      say("request is not a casp message: not answered");
      return std::nullopt;
    }
    BleReply reply;
    for (const Piece& piece : http.pieces) {
      reply.messages.push_back(BleMessage{trimmedRight(piece.bytes), piece.delay});
    }
    return reply;
  }

  void play(BleReply reply) {
    auto shared = std::make_shared<BleReply>(std::move(reply));
    playFrom(shared, 0);
  }

  void playFrom(const std::shared_ptr<BleReply>& reply, std::size_t index) {
    if (index >= reply->messages.size()) return;
    later(reply->messages[index].delay, [reply, index](Impl& self) {
      self.deliver(*reply, index);
      self.playFrom(reply, index + 1);
    });
  }

  void deliver(const BleReply& reply, std::size_t index) {
    const std::size_t last = reply.messages.size() - 1;
    const BleFault fault = index == last ? reply.fault : BleFault::kNone;
    const bool paired = reply.fault == BleFault::kTwoFramesInOneNotification && last > 0;
    // The message before the response waits to go out with it.
    if (paired && index == last - 1) return;
    const std::string& text = reply.messages[index].text;
    switch (fault) {
      case BleFault::kNone:
        send(text);
        return;
      case BleFault::kBadFirstByte: {
        ByteString frame = bleFrame(text);
        frame[0] = kWrongStartByte;
        sendBytes(frame, options.mtu);
        return;
      }
      case BleFault::kBadLrc: {
        ByteString frame = bleFrame(text);
        frame.back() ^= 0xFF;
        sendBytes(frame, options.mtu);
        return;
      }
      case BleFault::kTwoFramesInOneNotification: {
        ByteString bytes;
        if (paired) bytes = bleFrame(reply.messages[index - 1].text);
        const ByteString frame = bleFrame(text);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
        sendBytes(bytes, options.mtu);
        return;
      }
      case BleFault::kOversizedFrame:
        send(padded(text, options.oversizeBytes));
        return;
      case BleFault::kNotifyError:
        say("notification error");
        device->notifyError(notifyUuid, ble::BleError{14, "CBATTErrorDomain", "Unlikely error."});
        return;
      case BleFault::kDisconnect:
        say("drops the link");
        device->disconnect();
        return;
      case BleFault::kPowerOff:
        say("radio powered off");
        radio.setState(ble::ManagerState::PoweredOff);
        return;
    }
  }

  bool send(std::string_view text) { return sendBytes(bleFrame(text), options.mtu); }

  bool sendBytes(const ByteString& bytes, std::size_t chunk) {
    if (chunk == 0) return false;
    bool sent = false;
    for (std::size_t at = 0; at < bytes.size(); at += chunk) {
      const std::size_t end = std::min(at + chunk, bytes.size());
      const platform::Bytes piece(bytes.begin() + static_cast<long>(at),
                                  bytes.begin() + static_cast<long>(end));
      if (device->notify(notifyUuid, piece)) {
        notificationSizes.push_back(piece.size());
        sent = true;
      }
    }
    return sent;
  }
};

BleSimulator::BleSimulator(platform::ble::SimRadio& radio, BleTerminalOptions options)
    : impl_(std::make_shared<Impl>(radio, std::move(options))) {
  impl_->start();
}

BleSimulator::~BleSimulator() { impl_->radio.removePeripheral(impl_->device); }

const std::string& BleSimulator::sn() const { return impl_->options.sn; }
const std::string& BleSimulator::identifier() const { return impl_->device->identifier(); }
platform::ble::SimPeripheralDevice& BleSimulator::device() { return *impl_->device; }

void BleSimulator::add(BleReply reply, ReplyMatch match, bool repeat) {
  add([reply = std::move(reply)](const RecordedRequest&) { return reply; }, std::move(match),
      repeat);
}

void BleSimulator::add(BleReplyMaker maker, ReplyMatch match, bool repeat) {
  impl_->script.push_back(Impl::Entry{std::move(maker), std::move(match), repeat});
}

void BleSimulator::setDefaultsEnabled(bool enabled) { impl_->options.defaults = enabled; }
void BleSimulator::setMtu(std::size_t mtu) { impl_->options.mtu = mtu; }
void BleSimulator::setAnswerHandshakes(bool answer) { impl_->options.answerHandshakes = answer; }

void BleSimulator::failWrite(std::int64_t packet) {
  platform::ble::SimFaults faults = impl_->device->faults();
  faults.failWriteNumber = packet;
  impl_->device->setFaults(std::move(faults));
}

bool BleSimulator::send(std::string_view text) { return impl_->send(text); }

bool BleSimulator::sendBytes(const ByteString& bytes, std::size_t chunk) {
  return impl_->sendBytes(bytes, chunk);
}

void BleSimulator::disconnect() { impl_->device->disconnect(); }

std::vector<std::string> BleSimulator::requests() const { return impl_->requests; }
const Ledger& BleSimulator::ledger() const { return impl_->ledger; }
std::vector<std::string> BleSimulator::handshakes() const { return impl_->handshakes; }
std::size_t BleSimulator::handshakesSent() const { return impl_->handshakesSent; }
std::size_t BleSimulator::badFrames() const { return impl_->badFrames; }
std::vector<std::size_t> BleSimulator::writeSizes() const { return impl_->writeSizes; }
std::vector<std::size_t> BleSimulator::notificationSizes() const {
  return impl_->notificationSizes;
}

std::string BleSimulator::handshake() const {
  return handshakeText(impl_->options.identity(), wireTimeNow());
}

void BleSimulator::setLog(std::function<void(const std::string&)> log) {
  impl_->log = std::move(log);
}

}  // namespace veltrix::sim
