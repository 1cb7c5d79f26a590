// The frame that the response decoders share: one decoder object per
// incoming message, whose startParser turns the message text into the
// service's result and hands it to the decoder's delegate.
//
// startParser runs six steps, each failure one platform log line with the
// decoder's class name in front ("RefundRspnBuilder: JSON字符串为空"):
//   1. an absent or empty text: "X: JSON字符串为空", stop;
//   2. the text is no JSON object or array: "X: JSON解析失败 - <reason>",
//      stop (a text of blanks fails here);
//   3. the header parser reads the top level; when it is no object:
//      "X: 报文头解析失败", go on without a header;
//   4. the top-level "response" must be an object, which the body reader
//      turns into the result; otherwise "X: 报文体不存在或格式错误";
//   5. with a header, endFlag() takes the header's end flag;
//   6. notifyDelegate: no delegate, nothing; no result,
//      "X: 解析结果为空，无法回调"; else the delegate's operation with the
//      result, the header's exchange identifier ("" without one) and the
//      header's end flag (false without a header), never endFlag().
// A message that fails before step 6 gives no callback at all.
//
// `Derived` provides:
//   static constexpr std::string_view kClassName;
//   static std::shared_ptr<Result> parseBodyFromDictionary(const platform::Json* body);
//   static void deliver(Delegate&, std::shared_ptr<const Result>, const std::string&, bool);
// and may provide
//   static constexpr bool kTakesHeaderEndFlag = false;  (skips step 5)
//   static void willReadBody(const platform::Json* member);  (before step 4's test)
//
// Threads: a decoder runs synchronously on the thread that calls
// startParser (the main loop on the response road) and calls its delegate
// there before returning. It owns its header and result, never its
// delegate. Not copyable: it stands for one message.
#pragma once

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "veltrix/codec/rspn_builder_helper.h"
#include "veltrix/codec/transaction_header.h"
#include "veltrix/model/service_records.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"

namespace veltrix::codec {

namespace detail {

// Steps 1 and 2: the message text as JSON, or nullopt after
// "<name><qualifier>: JSON字符串为空" (absent or empty text) or
// "<name><qualifier>: JSON解析失败 - <reason>".
inline std::optional<platform::Json> parseLoggedText(std::optional<std::string_view> text,
                                                     std::string_view name,
                                                     std::string_view qualifier = {}) {
  if (!text || text->empty()) {
    platform::logf("{}{}: JSON字符串为空", name, qualifier);
    return std::nullopt;
  }
  std::string error;
  std::optional<platform::Json> value = parseMessageText(*text, error);
  if (!value) platform::logf("{}{}: JSON解析失败 - {}", name, qualifier, error);
  return value;
}

// A result from a text that holds a body object alone, through `reader`;
// `resultName` names the result class in the two log lines.
template <typename Reader>
auto parseBodyJSONString(std::optional<std::string_view> text, std::string_view resultName,
                         Reader reader) -> decltype(reader(nullptr)) {
  const std::optional<platform::Json> value =
      parseLoggedText(text, resultName, " parseFromJSONString");
  if (!value) return nullptr;
  return reader(&*value);
}

// Runs `step`; an exception it throws ends in the log line
// "<className>: 解析异常 - <what>" ("<className>: 解析异常" without a text).
template <typename Step>
void runGuarded(std::string_view className, Step&& step) noexcept {
  try {
    step();
  } catch (const std::exception& e) {
    platform::logf("{}: 解析异常 - {}", className, e.what());
  } catch (...) {
    platform::logf("{}: 解析异常", className);
  }
}

// Logs "<className>: 无效的报文体数据" and gives false when `body` is no
// object.
bool isBodyObject(const platform::Json* body, std::string_view className);
// Logs "<resultName> parseFromDictionary: 无效的字典数据" and gives false
// when `body` is no object.
bool isResultObject(const platform::Json* body, std::string_view resultName);

}  // namespace detail

template <typename Derived, typename Result, typename Delegate>
class RspnFrame {
 public:
  using ResultType = Result;
  using DelegateType = Delegate;

  static constexpr bool kTakesHeaderEndFlag = true;

  RspnFrame() = default;
  RspnFrame(const RspnFrame&) = delete;
  RspnFrame& operator=(const RspnFrame&) = delete;

  void setDelegate(std::weak_ptr<Delegate> delegate) { delegate_ = std::move(delegate); }
  const std::weak_ptr<Delegate>& delegate() const { return delegate_; }
  // The header of the last message, when it had one.
  const std::optional<model::TransactionHeader>& header() const { return header_; }
  // The result of the last message, or null.
  std::shared_ptr<const Result> result() const { return result_; }
  // Set by the creator to the transport's end flag; replaced by the
  // header's. The callback never reads it.
  bool endFlag() const { return endFlag_; }
  void setEndFlag(bool endFlag) { endFlag_ = endFlag; }

  // Decodes one message and calls the delegate before returning. Never
  // throws: every failure is a log line.
  void startParser(std::optional<std::string_view> text) noexcept {
    detail::runGuarded(Derived::kClassName, [&] { parse(text); });
  }

  // Step 6 on its own: calls the delegate with what the decoder holds.
  void notifyDelegate() noexcept {
    detail::runGuarded(Derived::kClassName, [&] { notify(); });
  }

  // RspnBuilderHelper::safeString.
  static std::optional<std::string> safeString(const platform::Json& value) {
    return RspnBuilderHelper::safeString(value);
  }

 protected:
  ~RspnFrame() = default;

 private:
  void parse(std::optional<std::string_view> text) {
    constexpr std::string_view name = Derived::kClassName;
    const std::optional<platform::Json> root = detail::parseLoggedText(text, name);
    if (!root) return;
    header_ = TransactionHeaderParser::parseHeaderFromDictionary(*root);
    if (!header_) platform::logf("{}: 报文头解析失败", name);

    const platform::Json* member = nullptr;
    if (root->is_object()) {
      auto it = root->find("response");
      if (it != root->end()) member = &*it;
    }
    if constexpr (requires { Derived::willReadBody(member); }) Derived::willReadBody(member);
    if (member != nullptr && member->is_object()) {
      result_ = Derived::parseBodyFromDictionary(member);
    } else {
      platform::logf("{}: 报文体不存在或格式错误", name);
    }

    if constexpr (Derived::kTakesHeaderEndFlag) {
      if (header_) endFlag_ = header_->endFlag;
    }
    notify();
  }

  void notify() {
    const std::shared_ptr<Delegate> delegate = delegate_.lock();
    if (!delegate) return;
    if (!result_) {
      platform::logf("{}: 解析结果为空，无法回调", Derived::kClassName);
      return;
    }
    const std::string exchangeId =
        header_ ? header_->exchangeIdentification.value_or(std::string()) : std::string();
    Derived::deliver(*delegate, result_, exchangeId, header_ ? header_->endFlag : false);
  }

  std::weak_ptr<Delegate> delegate_;
  std::optional<model::TransactionHeader> header_;
  std::shared_ptr<Result> result_;
  bool endFlag_ = false;
};

}  // namespace veltrix::codec
