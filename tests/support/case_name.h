#pragma once
// Names parameterised test cases after the `name` member of their case.

#include <gtest/gtest.h>

#include <string>

namespace vardel::testing_support {

struct CaseName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
        return info.param.name;
    }
};

}  // namespace vardel::testing_support
