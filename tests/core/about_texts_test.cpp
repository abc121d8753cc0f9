// SPDX-License-Identifier: MIT
#include "about/AboutTexts.h"

#include <gtest/gtest.h>

#include "about/Version.h"

namespace kelmora {
namespace {

TEST(AboutTexts, VersionLineShowsMajorMinorAndRevisionInPlainDecimal) {
    EXPECT_EQ(versionLine(kVersionMajor, kVersionMinor, kVersionRevision), "Version 0.71.25");
    EXPECT_EQ(versionLine(0, 71, 5), "Version 0.71.5");
    EXPECT_EQ(kVersionPatch, 0);
}

}  // namespace
}  // namespace kelmora
