#include "about/AboutTexts.h"

#include <gtest/gtest.h>

#include "about/Version.h"
#include "lang/Captions.h"

namespace kelmora {
namespace {

TEST(AboutTexts, CzechOnlyForLangOne) {
    const AboutTexts czech = aboutTexts(kCzech);
    EXPECT_TRUE(czech.description.starts_with("Tento freewarový program Vám pomůže"));
    EXPECT_TRUE(czech.description.ends_with("Vaše názory mailujte na:"));
    EXPECT_EQ(czech.web, "více informací na kelmora.example.org");
    EXPECT_EQ(czech.caution, "");

    for (const std::uint8_t lang :
         {std::uint8_t{2}, std::uint8_t{0}, std::uint8_t{3}, std::uint8_t{255}}) {
        const AboutTexts english = aboutTexts(lang);
        EXPECT_TRUE(english.description.starts_with("This freeware will help with the cleaning"));
        EXPECT_TRUE(english.description.ends_with("You comments please mail on:"));
        EXPECT_EQ(english.web, "more information on kelmora.example.org");
        EXPECT_EQ(english.caution, "");
    }
}

TEST(AboutTexts, CaptionAndVersionLine) {
    EXPECT_EQ(aboutCaption(), "About Kelmora");
    EXPECT_EQ(versionLine(kVersionMajor, kVersionMinor, kVersionRevision), "Version 0.71.25");
    EXPECT_EQ(versionLine(0, 71, 5), "Version 0.71.5");
    EXPECT_EQ(kVersionPatch, 0);
}

}  // namespace
}  // namespace kelmora
