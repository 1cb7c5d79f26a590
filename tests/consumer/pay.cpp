// pay: one card payment through VeltrixConnect, from an application outside
// the library's tree. The README shows this file as its example.
//
//   pay HOST:PORT     pays 12.50 EUR on the terminal service at HOST:PORT
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "veltrix/builders/builders.h"
#include "veltrix/facade/retailer_manager.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/paths.h"

using namespace veltrix;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pay HOST:PORT\n");
    return 2;
  }
  // The database and the log file go here (default: ~/.local/share/veltrix);
  // set before the library's first use, it cannot change afterwards.
  platform::setDocumentsDir("pay-data");
  std::printf("resources %s\n", platform::resourceDir().c_str());

  // The library's callbacks run on its main loop; this thread runs it.
  platform::MainLoop& loop = platform::MainLoop::shared();
  loop.bindCurrentThread();

  const model::PaymentParam param =
      model::PaymentParam::makeWithBuilder([&](model::PaymentParamBuilder& b) {
        b.transactionReference("ORDER-42")
            .totalAmount("12.50")
            .currency(model::ISO4217ActiveCurrency::EUR)
            .servicesWithSn(std::nullopt, std::nullopt, std::string(argv[1]));
      });

  std::int64_t code = -1;
  facade::RetailerManager::sharedManager().payment(
      param,
      [](const std::string& exchangeId) { std::printf("exchange %s\n", exchangeId.c_str()); },
      [&](std::shared_ptr<const model::PaymentResult> result, std::int64_t resultCode,
          std::optional<std::string> message) {
        code = resultCode;
        std::printf("result %lld %s\n", static_cast<long long>(resultCode),
                    message ? message->c_str() : "");
        if (result) std::printf("%s\n", result->toString().c_str());
        loop.stop();
      });
  loop.run();
  return code == 0 ? 0 : 1;
}
