#include "veltrix/ui/scan/auth_random_view.h"

#include <fmt/format.h>

#include <algorithm>

#include "veltrix/registry/auth_manager.h"

namespace veltrix::ui::scan {
namespace {

constexpr double kCornerRadius = 10;
const Rect kTitleFrame{10, 10, 200, 40};
const Rect kMessageFrame{10, 30, 300, 70};
const Rect kCodeFrame{10, 100, 300, 60};

}  // namespace

std::string AuthManagerPairing::createRandom() { return manager_.createRandom(); }

bool AuthManagerPairing::auth(const platform::Json& terminal) { return manager_.auth(terminal); }

std::shared_ptr<PairingAuth> sharedPairingAuth() {
  return std::make_shared<AuthManagerPairing>(registry::AuthManager::sharedInstance());
}

std::string pairingCodeText(std::string_view code) {
  const std::size_t split = std::min<std::size_t>(code.size(), 4);
  return fmt::format("{} {}", code.substr(0, split), code.substr(split));
}

AuthRandomView::AuthRandomView(std::string randomStr, std::string sn)
    : randomStr_(std::move(randomStr)), sn_(std::move(sn)) {
  setupUI();
}

void AuthRandomView::setupUI() {
  setBackgroundColor(Color::white());
  cornerRadius = kCornerRadius;

  auto title = std::make_shared<Label>(kTitleFrame);
  title->setText("Invitation sent");
  title->textColor = Color::black();
  title->setFont(Font::bold(20));
  title->textAlignment = TextAlignment::Left;
  addSubview(title);

  auto message = std::make_shared<Label>(kMessageFrame);
  message->setText(fmt::format("Please enter the following pairing code on device {}", sn_));
  message->textColor = Color::gray();
  message->setFont(Font::bold(15));
  message->textAlignment = TextAlignment::Left;
  message->setNumberOfLines(0);
  message->lineBreakMode = LineBreakMode::Clip;
  addSubview(message);

  auto code = std::make_shared<Label>(kCodeFrame);
  code->setText(randomStr_);
  code->textColor = Color::blue();
  code->setFont(Font::bold(40));
  code->textAlignment = TextAlignment::Center;
  addSubview(code);
}

}  // namespace veltrix::ui::scan
