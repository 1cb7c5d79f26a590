// Every request parameter builder. A host includes this header and fills a
// request with chained calls, for example:
//
//   auto payment = model::PaymentParam::makeWithBuilder([](model::PaymentParamBuilder& b) {
//     b.transactionReference("INV-1").totalAmount("10.00").currency(...);
//   });
#pragma once

#include "veltrix/builders/auth_adjustment_builder.h"
#include "veltrix/builders/balance_inquiry_builder.h"
#include "veltrix/builders/base_financial_builder.h"
#include "veltrix/builders/chain_setters.h"
#include "veltrix/builders/device_service_builders.h"
#include "veltrix/builders/message_service_builders.h"
#include "veltrix/builders/payment_builders.h"
#include "veltrix/builders/preauth_builders.h"
#include "veltrix/builders/refund_builders.h"
#include "veltrix/builders/reversal_builder.h"
