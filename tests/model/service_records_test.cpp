#include "veltrix/model/service_records.h"

#include <gtest/gtest.h>

namespace veltrix::model {
namespace {

TEST(TransactionHeaderTest, LogFormPrintsAbsentTextsAsNull) {
  TransactionHeader header;
  EXPECT_EQ(header.toString(),
            "<TransactionHeader: exchangeId=(null), creationDateTime=(null), serviceId=(null), "
            "endFlag=0>");
  header.exchangeIdentification = "0A1B";
  header.creationDateTime = "";
  header.serviceId = "svc-1";
  header.endFlag = true;
  header.contentType = "caspRspn";  // not part of the form
  EXPECT_EQ(header.toString(),
            "<TransactionHeader: exchangeId=0A1B, creationDateTime=, serviceId=svc-1, endFlag=1>");
}

}  // namespace
}  // namespace veltrix::model
