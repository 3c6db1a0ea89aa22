#pragma once
// Tests whose work runs in a child under an address-space budget.

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace trimlet::test {

// Skipped in address-sanitizer builds, whose shadow memory no budget can hold.
class AddressLimitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
#ifdef TRIMLET_ASAN
        GTEST_SKIP() << "address-space limits do not work under AddressSanitizer";
#endif
    }
    TempDir dir;
};

}  // namespace trimlet::test
