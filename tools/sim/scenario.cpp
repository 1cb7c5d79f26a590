#include "sim/scenario.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "sim/default_scenario.h"

namespace veltrix::sim {
namespace {

using nlohmann::json;

void replaceAll(std::string& text, std::string_view from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

std::string substitute(std::string text, const RecordedRequest& request) {
  replaceAll(text, "${exchangeIdentification}",
             jsonEscape(request.jsonText("exchangeIdentification").value_or("")));
  replaceAll(text, "${serviceType}", jsonEscape(request.jsonText("serviceType").value_or("")));
  return text;
}

Millis millisOf(const json& object, const char* key, Millis fallback) {
  const auto it = object.find(key);
  if (it == object.end()) return fallback;
  if (!it->is_number()) throw std::invalid_argument(std::string(key) + " must be a number");
  return Millis(it->get<std::int64_t>());
}

Framing framingOf(const std::string& name) {
  if (name == "chunked") return Framing::kChunked;
  if (name == "content-length") return Framing::kContentLength;
  if (name == "close") return Framing::kClose;
  throw std::invalid_argument("unknown framing: " + name);
}

Fault faultOf(const std::string& name) {
  if (name == "none") return Fault::kNone;
  if (name == "close-without-data") return Fault::kCloseWithoutData;
  if (name == "hold-open") return Fault::kHoldOpen;
  if (name == "reset") return Fault::kReset;
  throw std::invalid_argument("unknown fault: " + name);
}

// Builds the reply of one script entry for one request.
Reply replyFromScript(const json& script, const RecordedRequest& request) {
  Reply reply;
  reply.status = script.value("status", 200);
  reply.reason = script.value("reason", reply.status == 200 ? std::string("OK") : std::string());
  if (const auto it = script.find("contentType"); it != script.end()) {
    reply.contentType =
        it->is_null() ? std::nullopt : std::optional<std::string>(it->get<std::string>());
  }
  reply.framing = framingOf(script.value("framing", std::string("chunked")));
  if (const auto it = script.find("headers"); it != script.end()) {
    for (const auto& [name, value] : it->items()) {
      reply.headers.emplace_back(name, value.get<std::string>());
    }
  }
  reply.headerDelay = millisOf(script, "headerDelayMs", Millis(0));
  reply.waitForRelease = script.value("waitForRelease", false);
  reply.fault = faultOf(script.value("fault", std::string("none")));
  reply.holdLimit = millisOf(script, "holdMs", reply.holdLimit);

  std::vector<Piece> pieces;
  std::string whole;
  for (const json& message : script.value("messages", json::array())) {
    if (message.is_string()) {
      std::string text = substitute(message.get<std::string>(), request);
      whole += text;
      pieces.push_back(Piece{std::move(text), Millis(0)});
      continue;
    }
    std::string text = substitute(message.at("text").get<std::string>(), request);
    whole += text;
    const Millis delay = millisOf(message, "delayMs", Millis(0));
    const Millis pieceDelay = millisOf(message, "pieceDelayMs", Millis(5));
    std::size_t from = 0;
    Millis next = delay;
    for (const json& at : message.value("splitAt", json::array())) {
      const std::size_t cut = std::min(at.get<std::size_t>(), text.size());
      if (cut <= from) continue;
      pieces.push_back(Piece{text.substr(from, cut - from), next});
      from = cut;
      next = pieceDelay;
    }
    if (from < text.size()) pieces.push_back(Piece{text.substr(from), next});
  }
  if (const auto it = script.find("cuts"); it != script.end()) {
    Reply cut = Reply::cut(whole, it->get<std::vector<std::size_t>>(),
                           millisOf(script, "cutDelayMs", Millis(5)));
    pieces = std::move(cut.pieces);
  }
  reply.pieces = std::move(pieces);
  return reply;
}

}  // namespace

void Scenario::add(Reply reply, ReplyMatch match, bool repeat) {
  add([reply = std::move(reply)](const RecordedRequest&) { return reply; }, std::move(match),
      repeat);
}

void Scenario::add(ReplyMaker maker, ReplyMatch match, bool repeat) {
  entries_.push_back(Entry{std::move(maker), std::move(match), repeat});
}

Reply Scenario::replyFor(const RecordedRequest& request, std::string_view serial, Ledger* ledger) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (!it->match.matches(request)) continue;
    ReplyMaker maker = it->maker;
    if (!it->repeat) entries_.erase(it);
    return maker(request);
  }
  if (defaults_) return defaultReply(request, defaultDelay_, serial, ledger);
  return Reply::plain(404, "Not Found", "no reply scripted for this request\n", "text/plain");
}

std::optional<Scenario> Scenario::fromJson(std::string_view text, std::string* error) {
  try {
    const json root = json::parse(text);
    if (!root.is_object()) throw std::invalid_argument("the scenario must be a JSON object");
    Scenario scenario;
    scenario.defaults_ = root.value("defaults", true);
    scenario.defaultDelay_ = millisOf(root, "defaultDelayMs", scenario.defaultDelay_);
    for (const json& entry : root.value("replies", json::array())) {
      // Fail now rather than on the first request.
      replyFromScript(entry, RecordedRequest{});
      ReplyMatch match;
      if (const auto it = entry.find("match"); it != entry.end()) {
        if (it->contains("method")) match.method = it->at("method").get<std::string>();
        if (it->contains("serviceType")) {
          match.serviceType = it->at("serviceType").get<std::string>();
        }
      }
      scenario.add(
          [entry](const RecordedRequest& request) { return replyFromScript(entry, request); },
          std::move(match), entry.value("repeat", false));
    }
    return scenario;
  } catch (const std::exception& e) {
    if (error != nullptr) *error = e.what();
    return std::nullopt;
  }
}

std::optional<Scenario> Scenario::fromFile(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error != nullptr) *error = "cannot read " + path;
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return fromJson(text.str(), error);
}

}  // namespace veltrix::sim
