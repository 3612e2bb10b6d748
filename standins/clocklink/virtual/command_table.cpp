// The virtual clock's command table: every command a clock answers, by
// call, class or number and code, with the kinds that answer it, when it is
// answered and its handler. A command that is not here, or not for the
// clock's kind, is refused with CLV_ERR_UNKNOWN_COMMAND. Written from the
// command layouts, not from the library's command index; a test holds the
// two side by side.
#include "standins/clocklink/virtual/virtual_clock.h"

namespace standins::vclock {

namespace {

using VC = VirtualClock;
constexpr bool kSys = false, kUser = true;
constexpr std::uint8_t kSH = kKindS | kKindH;
constexpr Access kAuth = Access::Authenticated, kOpen = Access::Open, kIsp = Access::OpenInIsp;

}  // namespace

const VC::Command VC::kCommands[] = {
    // name                     call   no  code   kinds      access handler
    // Class 0: reads, by code.
    {"state",                   kSys,  0,  0x00,  kAllKinds, kIsp,  &VC::readState},
    {"device information",      kSys,  0,  0x01,  kAllKinds, kIsp,  &VC::readDeviceInfo},
    {"time",                    kSys,  0,  0x10,  kAllKinds, kOpen, &VC::readTime},
    {"single-race state",       kSys,  0,  0x11,  kSH,       kAuth, &VC::singleState},
    {"single race",             kSys,  0,  0x12,  kSH,       kAuth, &VC::singleRaceInfo},
    {"channel number",          kSys,  0,  0x13,  kKindM,    kAuth, &VC::readIndexedSetting},
    {"race card count (H)",     kSys,  0,  0x14,  kKindH,    kAuth, &VC::hCardCount},
    {"race card (H)",           kSys,  0,  0x15,  kKindH,    kAuth, &VC::hRaceCard},
    {"race index",              kSys,  0,  0x16,  kKindM,    kAuth, &VC::raceIndex},
    {"race count",              kSys,  0,  0x17,  kKindM,    kAuth, &VC::raceCount},
    {"race entry",              kSys,  0,  0x18,  kKindM,    kAuth, &VC::raceEntry},
    {"race figures",            kSys,  0,  0x19,  kKindM,    kAuth, &VC::raceEntry},
    {"race card",               kSys,  0,  0x1A,  kKindM,    kAuth, &VC::raceCard},
    {"training index",          kSys,  0,  0x1B,  kKindM,    kAuth, &VC::trainingIndex},
    {"training count",          kSys,  0,  0x1C,  kKindM,    kAuth, &VC::trainingCount},
    {"training entry",          kSys,  0,  0x1D,  kKindM,    kAuth, &VC::trainingEntry},
    {"training site",           kSys,  0,  0x1E,  kKindM,    kAuth, &VC::trainingSite},
    {"training record",         kSys,  0,  0x1F,  kKindM,    kAuth, &VC::trainingRecord},
    {"registry index",          kSys,  0,  0x20,  kKindM,    kAuth, &VC::cardIndex},
    {"registry count",          kSys,  0,  0x21,  kKindM,    kAuth, &VC::cardCount},
    {"registry entry",          kSys,  0,  0x22,  kKindM,    kAuth, &VC::cardEntry},
    {"maximum log number",      kSys,  0,  0x23,  kKindM,    kAuth, &VC::maxLogNumber},
    {"log entry",               kSys,  0,  0x24,  kKindM,    kAuth, &VC::logEntry},
    {"site",                    kSys,  0,  0x25,  kKindM,    kAuth, &VC::readSettingField},
    {"phone code",              kSys,  0,  0x26,  kKindM,    kAuth, &VC::readSettingField},
    {"staff number",            kSys,  0,  0x27,  kKindM,    kAuth, &VC::readSettingField},
    {"touch type",              kSys,  0,  0x28,  kKindM,    kAuth, &VC::readIndexedSetting},
    // Class 1: writes, with the code of the matching read.
    {"set channel number",      kSys,  1,  0x13,  kKindM,    kAuth, &VC::writeIndexedSetting},
    {"set training site",       kSys,  1,  0x1E,  kKindM,    kAuth, &VC::trainingSite},
    {"set site",                kSys,  1,  0x25,  kKindM,    kAuth, &VC::writeSettingField},
    {"set phone code",          kSys,  1,  0x26,  kKindM,    kAuth, &VC::writeSettingField},
    {"set staff number",        kSys,  1,  0x27,  kKindM,    kAuth, &VC::writeSettingField},
    {"set touch type",          kSys,  1,  0x28,  kKindM,    kAuth, &VC::writeIndexedSetting},
    // Classes with one command each.
    {"initialise",              kSys,  2,  kNoCode, kAllKinds, kIsp, &VC::initialise},
    {"authenticate",            kSys,  3,  kNoCode, kAllKinds, kIsp, &VC::authenticate},
    {"in-system programming",   kSys,  4,  kNoCode, kAllKinds, kOpen, &VC::enterIsp},
    {"card data",               kSys,  5,  kNoCode, kSH,       kAuth, &VC::readCardData},
    // User commands.
    {"set time",                kUser, 0,  kNoCode, kAllKinds, kAuth, &VC::setTimeCommand},
    {"create race",             kUser, 2,  kNoCode, kKindM,    kAuth, &VC::createRace},
    {"create single race",      kUser, 2,  kNoCode, kSH,       kAuth, &VC::createSingleRace},
    {"add race card",           kUser, 3,  kNoCode, kKindM,    kAuth, &VC::addRaceCard},
    {"add race card (H)",       kUser, 3,  kNoCode, kKindH,    kAuth, &VC::hAddRaceCard},
    {"confirm race",            kUser, 4,  kNoCode, kKindM,    kAuth, &VC::confirmRace},
    {"confirm race (H)",        kUser, 4,  kNoCode, kKindH,    kAuth, &VC::hConfirmRace},
    {"close or remove race",    kUser, 5,  kNoCode, kKindM,    kAuth, &VC::closeOrRemoveRace},
    {"clear single race",       kUser, 5,  kNoCode, kSH,       kAuth, &VC::clearSingleRace},
    {"download single record",  kUser, 6,  kNoCode, kSH,       kAuth, &VC::downloadSingleRecord},
    {"download race record",    kUser, 7,  kNoCode, kKindM,    kAuth, &VC::downloadRaceRecord},
    {"depose races",            kUser, 8,  kNoCode, kKindM,    kAuth, &VC::deposeRaces},
    {"append or modify card",   kUser, 9,  kNoCode, kKindM,    kAuth, &VC::appendOrModifyCard},
    {"remove card",             kUser, 10, kNoCode, kKindM,    kAuth, &VC::removeCard},
    {"create training",         kUser, 11, kNoCode, kKindM,    kAuth, &VC::createTraining},
    {"add training ring",       kUser, 12, kNoCode, kKindM,    kAuth, &VC::addTrainingRing},
    {"confirm training",        kUser, 13, kNoCode, kKindM,    kAuth, &VC::confirmTraining},
    {"close or remove training", kUser, 14, kNoCode, kKindM,   kAuth, &VC::closeOrRemoveTraining},
};
const std::size_t VC::kCommandCount = sizeof kCommands / sizeof kCommands[0];

const VirtualClock::Command* VirtualClock::commandTable(std::size_t& count) {
    count = kCommandCount;
    return kCommands;
}

const VirtualClock::Command* VirtualClock::findCommand(ClockKind kind, bool user,
                                                        std::uint32_t number, std::int16_t code) {
    for (std::size_t i = 0; i < kCommandCount; ++i) {
        const Command& c = kCommands[i];
        if (c.user == user && c.number == number && (c.code == kNoCode || c.code == code) &&
            (c.kinds & kindBit(kind)) != 0)
            return &c;
    }
    return nullptr;
}

// Finds the command's row, then lets it through by the clock's state.
int VirtualClock::run(Exchange& x) {
    // A class-0 or class-1 command is its code byte at least.
    const bool coded = !x.user && x.number <= 1;
    if (coded && x.len == 0) return CLV_ERR_BAD_PARAM;
    const Command* c = findCommand(s_.kind, x.user, x.number, coded ? x.code() : kNoCode);
    // In in-system programming the clock answers only its state, identity,
    // authentication and the initialisation that ends it.
    if (s_.isp && (c == nullptr || c->access != Access::OpenInIsp)) return CLV_ERR_BAD_STATE;
    if (!authenticated_ && (c == nullptr || c->access == Access::Authenticated))
        return CLV_ERR_NOT_AUTHENTICATED;
    if (c == nullptr) return CLV_ERR_UNKNOWN_COMMAND;
    return (this->*c->handler)(x);
}

}  // namespace standins::vclock
