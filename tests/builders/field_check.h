// Shared pieces of the builder tests. expectTextFieldsCarried checks that a
// builder carries each text field into the property of the same name: every
// setter gets its own field name as value, so a value that lands in the
// wrong property shows up by name.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>

namespace veltrix::model::testing {

// A parameter class and its builder, for typed test suites.
template <typename P, typename B>
struct Kind {
  using Param = P;
  using Builder = B;
};

template <typename Builder, typename Param>
struct TextField {
  const char* name;
  Builder& (Builder::*set)(std::optional<std::string>);
  std::optional<std::string> Param::*get;
};

template <typename Builder, typename Param>
void expectTextFieldsCarried(std::initializer_list<TextField<Builder, Param>> fields) {
  const Param param = Param::makeWithBuilder([&](Builder& b) {
    for (const auto& f : fields) (b.*f.set)(f.name);
  });
  for (const auto& f : fields) EXPECT_EQ(param.*f.get, f.name) << f.name;
}

}  // namespace veltrix::model::testing

// One row of expectTextFieldsCarried: the setter and the property share the name.
#define VELTRIX_TEXT_FIELD(Builder, Param, field) \
  ::veltrix::model::testing::TextField<Builder, Param> { #field, &Builder::field, &Param::field }
