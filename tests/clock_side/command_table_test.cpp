// The virtual clock's command table beside the library's command index:
// every command the library can send is answered by the clocks of the
// kinds it is meant for, and the clocks answer nothing the library does not
// send. The two tables are written apart (the clock's from the command
// layouts), so a command missing or misfiled on either side fails here.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/commands.h"
#include "standins/clocklink/virtual/virtual_clock.h"

namespace {

using standins::vclock::ClockKind;
using standins::vclock::kKindH;
using standins::vclock::kKindM;
using standins::vclock::kKindS;
using standins::vclock::kNoCode;
using standins::vclock::VirtualClock;

const ClockKind kKinds[] = {ClockKind::M, ClockKind::S, ClockKind::H};
const char* kindName(ClockKind k) { return k == ClockKind::M ? "M" : k == ClockKind::S ? "S" : "H"; }

// The kinds of clock an index entry is sent to: its kinds column, in the
// clock's bits.
std::uint8_t kindsOf(const skylark::Command& c) {
    return static_cast<std::uint8_t>(((c.kinds & skylark::kClockM) ? kKindM : 0) |
                                     ((c.kinds & skylark::kClockS) ? kKindS : 0) |
                                     ((c.kinds & skylark::kClockH) ? kKindH : 0));
}

// The kinds an export family is meant for: SK_ every kind, SKM_ the M
// clock, SKH_ the H clock, SKS_ the S clock and, for the exchanges the SKH_
// exports forward to the SKS_ ones, the H clock too.
std::uint8_t familyKinds(const std::string& name) {
    static const char* const kForwardedToH[] = {"SKS_ReadCard", "SKS_QueryState", "SKS_ClearRace",
                                                "SKS_GetRaceRecord"};
    if (name.rfind("SKM_", 0) == 0) return kKindM;
    if (name.rfind("SKH_", 0) == 0) return kKindH;
    if (name.rfind("SKS_", 0) == 0) {
        for (const char* f : kForwardedToH)
            if (name == f) return kKindS | kKindH;
        return kKindS;
    }
    return kKindM | kKindS | kKindH;
}

// The code byte a class-0 or class-1 command carries; the clock's table
// keys the other classes and the user commands by number alone.
std::int16_t codeOf(const skylark::Command& c) {
    return c.kind == skylark::Kind::System && c.number <= 1 ? c.selector : kNoCode;
}

std::string describe(const skylark::Command& c) {
    return std::string(c.name) + (c.kind == skylark::Kind::User ? " user " : " class ") +
           std::to_string(c.number) + " selector " + std::to_string(c.selector);
}

// The index's kinds column agrees with the family of the export that sends
// each command, so a misfiled kind on the library's side fails here too.
TEST(ClockCommandTable, IndexKindsFollowTheExportFamilies) {
    for (const skylark::Command* c : skylark::kCommandIndex) {
        EXPECT_EQ(kindsOf(*c), familyKinds(c->name)) << describe(*c);
    }
}

TEST(ClockCommandTable, EveryCommandTheLibrarySendsIsAnswered) {
    for (const skylark::Command* c : skylark::kCommandIndex) {
        if (c->kind == skylark::Kind::System && c->number <= 1) {
            EXPECT_NE(c->selector, skylark::kNoSelector) << describe(*c) << ": a class 0/1 command has a code";
        }
        for (ClockKind k : kKinds) {
            const bool sent = (kindsOf(*c) & standins::vclock::kindBit(k)) != 0;
            const VirtualClock::Command* row =
                VirtualClock::findCommand(k, c->kind == skylark::Kind::User, c->number, codeOf(*c));
            if (sent) {
                EXPECT_NE(row, nullptr) << describe(*c) << " has no handler on the " << kindName(k) << " clock";
            }
        }
    }
}

TEST(ClockCommandTable, ClocksAnswerNothingTheLibraryDoesNotSend) {
    std::size_t count = 0;
    const VirtualClock::Command* table = VirtualClock::commandTable(count);
    ASSERT_GT(count, 0u);
    for (std::size_t i = 0; i < count; ++i) {
        const VirtualClock::Command& row = table[i];
        for (ClockKind k : kKinds) {
            if ((row.kinds & standins::vclock::kindBit(k)) == 0) continue;
            bool sent = false;
            for (const skylark::Command* c : skylark::kCommandIndex)
                sent = sent || ((kindsOf(*c) & standins::vclock::kindBit(k)) != 0 &&
                                (c->kind == skylark::Kind::User) == row.user && c->number == row.number &&
                                (row.code == kNoCode || codeOf(*c) == row.code));
            EXPECT_TRUE(sent) << "the " << kindName(k) << " clock answers \"" << row.name
                              << "\", which the library never sends it";
        }
        // A class 0/1 row names its code; no other row does.
        EXPECT_EQ(!row.user && row.number <= 1, row.code != kNoCode) << row.name;
    }
}

// No command is answered by two rows: the second would never run.
TEST(ClockCommandTable, EachCommandHasOneRow) {
    std::size_t count = 0;
    const VirtualClock::Command* table = VirtualClock::commandTable(count);
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t j = i + 1; j < count; ++j) {
            const VirtualClock::Command& a = table[i];
            const VirtualClock::Command& b = table[j];
            const bool overlap = a.user == b.user && a.number == b.number && (a.kinds & b.kinds) != 0 &&
                                 (a.code == b.code || a.code == kNoCode || b.code == kNoCode);
            EXPECT_FALSE(overlap) << "\"" << a.name << "\" and \"" << b.name << "\"";
            EXPECT_STRNE(a.name, b.name);
        }
}

}  // namespace
