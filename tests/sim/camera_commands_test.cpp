// The simulated camera's command table: every row reachable by its own
// block, and the order in which the camera refuses a block.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/big_endian.h"
#include "sim/camera_commands.h"
#include "tests/sim/camera_fixture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes BlockOf(const sim::CameraCommand& c) {
    Bytes cdb(c.form == sim::BlockForm::Short ? 6 : 16, 0);
    cdb[0] = c.op;
    if (c.form == sim::BlockForm::Checker) platform::PutBe16(&cdb[2], c.code);
    return cdb;
}

// A row that an earlier one shadows would never be carried out, and its
// name would never be recorded.
TEST(CameraCommands, EveryRowIsFoundByItsOwnBlockAndNamed) {
    for (const sim::CameraCommand& c : sim::Camera::Commands()) {
        SCOPED_TRACE(c.name);
        const Bytes cdb = BlockOf(c);
        EXPECT_EQ(sim::FindCameraCommand(cdb.data(), cdb.size()), &c);
        EXPECT_EQ(sim::CommandName(cdb.data(), cdb.size()), c.name);
    }
    // Blocks of no row: byte 1 set in a checker block, a read code under the
    // write class, a 6-byte block other than INQUIRY, INQUIRY's opcode in 16 bytes.
    const std::vector<Bytes> unknown = {{0xFC, 1, 0x10, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                                        {0xFD, 0, 0x20, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                                        {0xFC, 0, 0x10, 0x01, 0, 0},
                                        {0x12, 0, 0, 0, 36, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
    for (const Bytes& cdb : unknown) EXPECT_EQ(sim::CommandName(cdb.data(), cdb.size()), "UNKNOWN");
}

class CameraRefusals : public test_support::CameraTest {};

TEST_F(CameraRefusals, FirstFailedCheckAnswers) {
    const std::uint8_t kSequence = sim::kAscSequenceError, kField = sim::kAscInvalidField,
                       kOpcode = sim::kAscInvalidOpcode;
    // Checker closed, no session: the state refuses before the code is looked at.
    EXPECT_EQ(link->Checker(0xFC, 0x7777).Asc(), kSequence);
    EXPECT_EQ(link->Dcmd(0xE4).Asc(), kSequence);
    EXPECT_EQ(link->GetProperty(10).Asc(), kSequence);
    ASSERT_TRUE(link->OpenChecker().Ok());
    ASSERT_TRUE(link->ResumeSession());
    // Open: an unknown code or opcode; then the row's direction and length.
    EXPECT_EQ(link->Checker(0xFC, 0x7777).Asc(), kOpcode);
    EXPECT_EQ(link->Checker(0xFD, 0x2080, 0, {1}).Asc(), kOpcode);  // a read code sent as a write
    EXPECT_EQ(link->Checker(0xFC, 0x6001, 0, {1}).Asc(), kField);
    EXPECT_EQ(link->Checker(0xFD, 0x7081, 0, {1, 0}).Asc(), kField);
    EXPECT_EQ(link->Dcmd(0xE4).Asc(), kOpcode);
    EXPECT_EQ(link->Dcmd(0xEA, 10, {}, 8).Asc(), kField);
    EXPECT_EQ(link->Dcmd(0xE0, 0, {1}).Asc(), kField);
    // Nothing refused changed the camera.
    EXPECT_FALSE(Cam().Modes().ccdPower);
    EXPECT_FALSE(Cam().Modes().ob);
}

}  // namespace
