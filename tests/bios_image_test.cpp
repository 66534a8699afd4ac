// SPDX-License-Identifier: GPL-2.0-or-later
#include "card/bios_image.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/bios_images.h"

namespace ruvuvuri::card {
namespace {

using test::GeForceImage;
using test::PutByte;
using test::PutPcir;
using test::PutWord;

constexpr std::uint16_t kNvidia = 0x10DE;

struct CheckCase {
    std::string name;
    std::function<BiosImage()> make;
    int expected;
};

std::vector<CheckCase> CheckCases() {
    return {
        {"AllZero", [] { return BiosImage{}; }, 1},
        {"GeForce2Gts", [] { return GeForceImage(0x0150); }, 0},
        {"SizeByte0x80Passes",
         [] {
             BiosImage bios = GeForceImage();
             PutByte(bios, 0x02, 0x80);
             return bios;
         },
         0},
        {"SizeByte0x81Fails",
         [] {
             BiosImage bios = GeForceImage();
             PutByte(bios, 0x02, 0x81);
             return bios;
         },
         1},
        {"ForeignFirstPcirHidesNvidiaOne",
         [] {
             BiosImage bios = GeForceImage(0x0150, 0x0180);
             PutPcir(bios, 0x0100, 0x1002, 0x5046);
             return bios;
         },
         1},
        {"Device0x00FF", [] { return GeForceImage(0x00FF); }, 1},
        {"Device0x0100", [] { return GeForceImage(0x0100); }, 0},
        {"DeviceFromHeaderPointerNotScannedPosition",
         [] {
             // The scan finds the structure at 0x100 whose device is no
             // GeForce; the header pointer names a GeForce device at 0x206.
             BiosImage bios;
             PutPcir(bios, 0x0100, kNvidia, 0x0000);
             PutWord(bios, 0x18, 0x0200);
             PutWord(bios, 0x0206, 0x0150);
             return bios;
         },
         0},
        {"HeaderPointerDeviceNotGeForce",
         [] {
             BiosImage bios;
             PutPcir(bios, 0x0100, kNvidia, 0x0150);
             PutWord(bios, 0x18, 0x0200);
             PutWord(bios, 0x0206, 0x0020);
             return bios;
         },
         1},
        {"VendorFromScannedPositionNotHeaderPointer",
         [] {
             // The header pointer leads to an NVIDIA vendor word, but the
             // first signature carries another vendor.
             BiosImage bios;
             PutPcir(bios, 0x0100, 0x1002, 0x0150);
             PutWord(bios, 0x18, 0x0200);
             PutWord(bios, 0x0204, kNvidia);
             PutWord(bios, 0x0206, 0x0150);
             return bios;
         },
         1},
        {"SignatureAtLastWholeVendorPosition",
         [] {
             BiosImage bios;
             PutPcir(bios, 8184, kNvidia, 0x0150);
             PutWord(bios, 0x18, 8184);
             return bios;
         },
         0},
        {"SignatureAt8187VendorPartlyBeyondImage",
         [] {
             BiosImage bios = GeForceImage();
             PutWord(bios, 0x0180, 0);  // no earlier signature
             PutPcir(bios, 8187, kNvidia, 0x0000);
             // The vendor's high byte lies beyond the image: it counts as zero
             // whatever the padding holds.
             PutByte(bios, kBiosImageSize, 0x10);
             return bios;
         },
         1},
        {"SignatureAt8188VendorBeyondImage",
         [] {
             BiosImage bios = GeForceImage();
             PutWord(bios, 0x0180, 0);
             PutPcir(bios, 8188, kNvidia, 0x0000);
             PutWord(bios, kBiosImageSize, kNvidia);
             return bios;
         },
         1},
        {"HeaderPointerDeviceAtLastWord",
         [] {
             BiosImage bios = GeForceImage();
             PutWord(bios, 0x18, 8184);
             PutWord(bios, 8190, 0x0150);
             return bios;
         },
         0},
        {"HeaderPointerDeviceStraddlesEnd",
         [] {
             BiosImage bios = GeForceImage();
             PutWord(bios, 0x18, 8185);
             PutByte(bios, 8191, 0x50);
             PutByte(bios, kBiosImageSize, 0x01);
             return bios;
         },
         1},
        {"HeaderPointerBeyondImage",
         [] {
             BiosImage bios = GeForceImage();
             PutWord(bios, 0x18, 0xFFFF);
             return bios;
         },
         1},
    };
}

TEST(BiosImageCheck, JudgesEachImage) {
    for (const CheckCase& c : CheckCases()) {
        SCOPED_TRACE(c.name);
        BiosImage bios = c.make();
        EXPECT_EQ(bios.CheckBIOSinfo(), c.expected);
    }
}

TEST(BiosImageFields, DeviceIdGoesThroughHeaderPointerWithinImage) {
    struct Case {
        std::uint16_t pointer;
        std::optional<std::uint16_t> expected;
    };
    const std::vector<Case> cases = {
        {0x0180, 0x0150},
        {8184, 0x0000},  // last whole word of the image
        {8185, std::nullopt},
        {0xFFFF, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pointer);
        BiosImage bios = GeForceImage(0x0150, 0x0180);
        PutWord(bios, 0x18, c.pointer);
        EXPECT_EQ(bios.DeviceId(), c.expected);
    }
}

TEST(BiosImageFields, PanelWordsAndVersion) {
    BiosImage bios = GeForceImage();
    PutWord(bios, 0x54, 0x1043);
    PutWord(bios, 0x56, 0x8021);
    PutByte(bios, 0x7F, 0x03);
    PutByte(bios, 0x7E, 0x11);
    PutByte(bios, 0x7D, 0x01);
    PutByte(bios, 0x7C, 0x05);
    EXPECT_EQ(bios.RomWord54(), 0x1043);
    EXPECT_EQ(bios.RomWord56(), 0x8021);
    EXPECT_EQ(bios.BiosVersion(), "3.11.01.05");
}

TEST(BiosImageFields, TextIsEightBytesOrUpToZero) {
    struct Case {
        std::string bytes;  // written at 0x38, followed by a non-zero byte
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"GF2 GTS!", "GF2 GTS!"},
        {std::string("GF2\0GTS!", 8), "GF2"},
        {std::string("\0ABCDEFG", 8), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        BiosImage bios = GeForceImage();
        for (std::size_t i = 0; i < c.bytes.size(); ++i) {
            PutByte(bios, 0x38 + i, static_cast<std::uint8_t>(c.bytes[i]));
        }
        PutByte(bios, 0x40, 'X');
        EXPECT_EQ(bios.BiosText(), c.expected);
    }
}

}  // namespace
}  // namespace ruvuvuri::card
