// Every request goes through an encoder once: header, body and JSON text.
// The target is at least 100k encodes of a fully filled payment per second
// on one core.
#include <benchmark/benchmark.h>

#include <optional>
#include <string>
#include <vector>

#include "veltrix/codec/financial_req_builders.h"
#include "veltrix/codec/transaction_header.h"

namespace {

using namespace veltrix::model;
using veltrix::codec::PaymentReqBuilder;
using veltrix::codec::TransactionHeaderBuilder;
using veltrix::codec::TransactionHeaderParser;

PaymentParam fullPayment() {
  PaymentParam p;
  p.transactionReference = "TXN-0001";
  p.transactionType = TransactionTypeCode::CRDP;
  p.accountType = CardAccountTypeCode::CRDT;
  p.cashierIdentification = "cashier-7";
  p.additionalSaleData = "extra";
  p.cardBrand = "VISA";
  p.attendanceContext = AttendanceContextCode::SATT;
  p.cardDataEntryMode = CardDataReadingCode::CICC;
  p.emailAddress = "buyer@example.com";
  p.merchantIdentification = "M-1";
  p.merchantIdentificationName = "Corner shop";
  p.poiIdentificationId = "POI-9";
  p.tokenIdentification = "tok-1";
  p.forceOnlineFlag = true;
  p.mobilePhone = std::vector<std::string>{"+8613800000000"};
  p.valueAddedTaxs = std::vector<DetailedAmount>{{"1.30", "VAT 13%"}};
  p.fees = std::vector<DetailedAmount>{{"0.50", "service"}};
  p.totalAmount = "100.00";
  p.gratuity = "5.00";
  p.cashBack = "20.00";
  p.currency = ISO4217ActiveCurrency::CNY;
  p.pan = "4111111111111111";
  p.track2 = "4111111111111111=2512";
  p.maskedPAN = "411111******1111";
  p.requestedAmount = "125.00";
  p.postCode = "200000";
  p.addressLine = "1 Main St";
  p.expiryDate = "2512";
  p.cvv2 = "123";
  RetailerSaleItem item;
  item.productCode = "A1";
  item.unitOfMeasure = UnitOfMeasureCode::KILO;
  item.productAmount = "30.00";
  item.productQuantity = "2";
  item.unitPrice = "15.00";
  item.productLabel = "Apples";
  item.productDescription = "Red apples";
  p.saleItems = std::vector<RetailerSaleItem>{item, item, item};
  return p;
}

ServiceParams lanService() {
  ServiceParams s;
  s.address = "192.168.1.20:8080";
  s.serviceId = "svc-01";
  s.packageName = "com.tavio.payment";
  s.serviceType = "Purchase";
  s.serviceSn = "TV2024000123";
  s.exchangeId = "0A1B2C3D4E5F60718293A4B5C6D7E8F9";
  s.netWorkTp = "LAN";
  return s;
}

void BM_EncodeFullPayment(benchmark::State& state) {
  TransactionHeaderBuilder::setDeviceIdentifierProvider(
      [] { return std::optional<std::string>("5B0E4C1A-9D3F-4E2B-8A71-C6D5E4F3A2B1"); });
  const PaymentParam param = fullPayment();
  const ServiceParams service = lanService();
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::optional<std::string> text = PaymentReqBuilder().buildJsonWithParameters(&param, &service);
    bytes += text ? text->size() : 0;
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  TransactionHeaderBuilder::setDeviceIdentifierProvider({});
}
BENCHMARK(BM_EncodeFullPayment);

void BM_ParseHeader(benchmark::State& state) {
  const std::string text = R"({
    "exchangeIdentification": "0A1B2C3D4E5F60718293A4B5C6D7E8F9",
    "creationDateTime": "2026-01-31T22:05:12.100+08:00", "protocolVersion": "1.0.01",
    "endFlag": true, "initiatingPartyId": "TV2024000123", "initiatingPartyType": "POIT",
    "serviceType": "Purchase", "contentType": "caspResp",
    "response": {"responseCode": "SUCC", "totalAmount": "100.00"}})";
  for (auto _ : state) {
    benchmark::DoNotOptimize(TransactionHeaderParser::parseHeaderFromJSONString(text));
  }
}
BENCHMARK(BM_ParseHeader);

}  // namespace
