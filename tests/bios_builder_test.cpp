// SPDX-License-Identifier: GPL-2.0-or-later
// The synthetic video BIOS: the option ROM layout read back from raw offsets.

#include "card/bios_builder.h"
#include "card/bios_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <ostream>
#include <string>

namespace {

using ruvuvuri::card::BiosLayout;
using ruvuvuri::card::BuildBiosImage;

unsigned Word(const std::vector<std::uint8_t>& image, std::size_t offset) {
    return image.at(offset) | image.at(offset + 1) << 8;
}

unsigned Sum(const std::vector<std::uint8_t>& image, std::size_t length) {
    return std::accumulate(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(length), 0u) &
           0xFF;
}

struct LayoutCase {
    const char* name;
    BiosLayout layout;
    std::size_t image_size;
    std::string text_bytes;  // the 8 bytes at 0x38
};

void PrintTo(const LayoutCase& c, std::ostream* out) {
    *out << c.name;
}

BiosLayout With(void (*change)(BiosLayout&)) {
    BiosLayout layout;
    change(layout);
    return layout;
}

class Builder : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(Builder, PlacesEveryFieldAndSumsToZero) {
    const LayoutCase& c = GetParam();
    const BiosLayout& layout = c.layout;
    const auto image = BuildBiosImage(layout);
    ASSERT_EQ(image.size(), c.image_size);

    EXPECT_EQ(image[0], 0x55);
    EXPECT_EQ(image[1], 0xAA);
    EXPECT_EQ(image[2], layout.size_units);
    const std::size_t stated = layout.size_units * 512u;
    EXPECT_EQ(Sum(image, stated), 0u);
    EXPECT_EQ(Sum(image, image.size()), 0u);

    const unsigned pcir = Word(image, 0x18);
    EXPECT_EQ(pcir, layout.pcir_offset);
    EXPECT_EQ(std::string(image.begin() + pcir, image.begin() + pcir + 4), "PCIR");
    EXPECT_EQ(Word(image, pcir + 4), layout.vendor);
    EXPECT_EQ(Word(image, pcir + 6), layout.device);
    EXPECT_EQ(Word(image, pcir + 0x0A), 0x18u);
    // Class code 0x030000 (VGA), the image length, the last-image flag.
    EXPECT_EQ(image[pcir + 0x0D], 0x00);
    EXPECT_EQ(image[pcir + 0x0E], 0x00);
    EXPECT_EQ(image[pcir + 0x0F], 0x03);
    EXPECT_EQ(Word(image, pcir + 0x10), layout.size_units);
    EXPECT_EQ(image[pcir + 0x15] & 0x80, 0x80);

    EXPECT_EQ(std::string(image.begin() + 0x38, image.begin() + 0x40), c.text_bytes);
    EXPECT_EQ(Word(image, 0x54), layout.word54);
    EXPECT_EQ(Word(image, 0x56), layout.word56);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(image[0x7C + i], layout.version[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, Builder,
    ::testing::Values(
        LayoutCase{"Default", BiosLayout{}, 8192, "GF2 GTS "},
        LayoutCase{"Larger", With([](BiosLayout& l) { l.size_units = 0x40; }), 32768, "GF2 GTS "},
        // The stated size is smaller than the 8 KB the program reads.
        LayoutCase{"SmallerThan8K", With([](BiosLayout& l) { l.size_units = 0x08; }), 8192,
                   "GF2 GTS "},
        LayoutCase{"ShortTextIsPadded", With([](BiosLayout& l) { l.text = "MX"; }), 8192,
                   std::string("MX\0\0\0\0\0\0", 8)},
        LayoutCase{"LongTextIsCut", With([](BiosLayout& l) { l.text = "GeForce4 Ti 4600"; }), 8192,
                   "GeForce4"},
        LayoutCase{"OtherCard", With([](BiosLayout& l) {
                       l.pcir_offset = 0x0100;
                       l.device = 0x0253;
                       l.word54 = 0x1043;
                       l.word56 = 0x8011;
                       l.version = {0x01, 0x02, 0x03, 0x04};
                   }),
                   8192, "GF2 GTS "}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

// A header pointer beyond the image is allowed (to build images the card check
// must refuse); the builder writes what fits and still balances the sum.
TEST(Builder, HeaderPointerOutsideTheImage) {
    BiosLayout layout;
    layout.pcir_offset = 0xFFF0;
    const auto image = BuildBiosImage(layout);
    ASSERT_EQ(image.size(), 8192u);
    EXPECT_EQ(Word(image, 0x18), 0xFFF0u);
    EXPECT_EQ(Sum(image, image.size()), 0u);
}

// The shape a virtual machine's firmware maps as its VGA ROM: the structure
// behind the header pointer names the emulated device, the first "PCIR" in the
// image names NVIDIA, and the card check goes by the latter's vendor and the
// former's device.
TEST(Builder, LeadingPciDataStructureAndInitEntry) {
    BiosLayout layout;
    layout.vendor = 0x1234;
    layout.device = 0x1111;
    layout.init_entry = 0xCB;
    layout.leading_pcir_offset = 0x0100;
    const auto image = BuildBiosImage(layout);

    EXPECT_EQ(image[3], 0xCB);
    EXPECT_EQ(std::string(image.begin() + 0x100, image.begin() + 0x104), "PCIR");
    EXPECT_EQ(Word(image, 0x104), 0x10DEu);
    EXPECT_EQ(Word(image, 0x180 + 4), 0x1234u);
    EXPECT_EQ(Word(image, 0x180 + 6), 0x1111u);
    EXPECT_EQ(Sum(image, image.size()), 0u);

    ruvuvuri::card::BiosImage bios;
    std::copy(image.begin(), image.begin() + ruvuvuri::card::kBiosImageSize, bios.image().begin());
    EXPECT_EQ(bios.CheckBIOSinfo(), 0);
    EXPECT_EQ(bios.DeviceId(), 0x1111);
}

}  // namespace
