// The command index: every command the library sends to a clock, with its
// kind, class or number, selector byte, lengths, result rule and the clock
// kinds that answer it. Exports name their entry here and repeat none of
// these numbers.
#pragma once

#include <cstdint>

namespace skylark {

enum class Kind : std::uint8_t {
    System,  // IFD_RunSysCmd; number = class
    User,    // IFD_RunUserCmd; number = user command number
};

// How ClockLink's status and the delivered reply length become the result.
enum class Rule : std::uint8_t {
    PassThrough,      // ClockLink's 16-bit status, unchanged
    Normalised,       // -1 on non-zero status, else 0
    ExactLength,      // -1 only if status non-zero and the reply has the expected length
    MinimumLength,    // -1 only if status non-zero and the reply has at least minReply bytes
    UncheckedLength,  // -1 on non-zero status; the reply length is not looked at
    DeviceState,      // the state read: error 145 is tolerated, the reply must be 1 byte
    Verified,         // ExactLength, and the reply ends in the code the clock computed over
                      // the rest of it and the request's challenge (the frame's ReplyProof)
};

// The kinds of clock that answer a command, as a set of bits.
using ClockKinds = std::uint8_t;
inline constexpr ClockKinds kClockM = 1;
inline constexpr ClockKinds kClockS = 2;
inline constexpr ClockKinds kClockH = 4;

// The fixed first parameter byte of a command: the code of a class-0 read
// or class-1 write, or the variant of a user command that has several.
inline constexpr std::int16_t kNoSelector = -1;

struct Command {
    const char* name;       // the export that sends it
    Kind kind;
    std::uint8_t number;    // system class or user command number
    std::int16_t selector;  // fixed parameter byte 0, or kNoSelector
    std::uint8_t paramLen;  // bytes sent; the block must be exactly this long
    std::uint8_t replyLen;  // expected reply length; 0 = no reply (null reply pointers)
    std::uint8_t minReply;  // MinimumLength only
    Rule rule;
    ClockKinds kinds;       // the clocks that answer it (kClockM | kClockS | kClockH)
};

// The index, one line per command; every list of commands is made from it.
//   X(entry, export name, kind, class or number, selector, param, reply, min, rule, clocks)
// System class 0 are reads and class 1 writes with the code of the matching
// read; classes 2 to 5 carry one command each. User commands with a
// selector are the variants of one command number. The last column is the
// set of clock kinds that answer the command: the device commands all three,
// the S clock's read, state, clear and download the H clock too (its SKH_
// exports of the same names send them), the rest the clock of the export's
// family.
#define SKYLARK_COMMANDS(X) \
    /* System commands, class 0: reads. */ \
    X(GetDevState,    "SK_GetDevState",     K::System, 0,  0x00,  1,  1,  0, R::DeviceState,     M | S | H) \
    X(GetDevInfo,     "SK_GetDevInfo",      K::System, 0,  0x01,  1,  16, 0, R::ExactLength,     M | S | H) \
    X(GetTime,        "SK_GetTime",         K::System, 0,  0x10,  1,  6,  0, R::ExactLength,     M | S | H) \
    X(SQueryState,    "SKS_QueryState",     K::System, 0,  0x11,  1,  11, 0, R::ExactLength,     S | H) \
    X(SGetRaceInfo,   "SKS_GetRaceInfo",    K::System, 0,  0x12,  1,  14, 0, R::ExactLength,     S) \
    X(HGetRaceKey,    "SKH_GetRaceInfo",    K::System, 0,  0x12,  1,  8,  0, R::ExactLength,     H) \
    X(GetChannelNo,   "SKM_GetChannelNo",   K::System, 0,  0x13,  2,  4,  0, R::ExactLength,     M) \
    X(HGetCardCount,  "SKH_GetRaceInfo",    K::System, 0,  0x14,  1,  2,  0, R::ExactLength,     H) \
    X(HGetRaceCard,   "SKH_GetRaceCard",    K::System, 0,  0x15,  3,  22, 0, R::ExactLength,     H) \
    X(GetRaceIndex,   "SKM_GetRaceIndex",   K::System, 0,  0x16,  9,  2,  0, R::ExactLength,     M) \
    X(GetRaceCount,   "SKM_GetRaceCount",   K::System, 0,  0x17,  1,  2,  0, R::ExactLength,     M) \
    X(GetRaceInfo,    "SKM_GetRaceInfo",    K::System, 0,  0x18,  3,  22, 0, R::ExactLength,     M) \
    X(GetRaceInfo2,   "SKM_GetRaceInfo2",   K::System, 0,  0x19,  3,  6,  0, R::ExactLength,     M) \
    X(GetRaceCard,    "SKM_GetRaceCard",    K::System, 0,  0x1A,  5,  8,  0, R::ExactLength,     M) \
    X(GetTrainIndex,  "SKM_GetTrainIndex",  K::System, 0,  0x1B,  3,  2,  0, R::ExactLength,     M) \
    X(GetTrainCount,  "SKM_GetTrainCount",  K::System, 0,  0x1C,  1,  2,  0, R::ExactLength,     M) \
    X(GetTrainInfo,   "SKM_GetTrainInfo",   K::System, 0,  0x1D,  3,  17, 0, R::ExactLength,     M) \
    X(GetTrainSite,   "SKM_GetTrainSite",   K::System, 0,  0x1E,  2,  4,  0, R::ExactLength,     M) \
    X(GetTrainRecord, "SKM_GetTrainRecord", K::System, 0,  0x1F,  5,  21, 0, R::ExactLength,     M) \
    X(GetCardIndex,   "SKM_GetCardIndex",   K::System, 0,  0x20,  9,  2,  0, R::ExactLength,     M) \
    X(GetCardCount,   "SKM_GetCardCount",   K::System, 0,  0x21,  1,  2,  0, R::ExactLength,     M) \
    X(GetCardInfo,    "SKM_GetCardInfo",    K::System, 0,  0x22,  3,  31, 0, R::ExactLength,     M) \
    X(GetMaxLogNo,    "SKM_GetMaxLogNo",    K::System, 0,  0x23,  1,  4,  0, R::ExactLength,     M) \
    X(GetLogInfo,     "SKM_GetLogInfo",     K::System, 0,  0x24,  5,  32, 7, R::MinimumLength,   M) \
    X(GetSiteInfo,    "SKM_GetSiteInfo",    K::System, 0,  0x25,  1,  16, 0, R::ExactLength,     M) \
    X(GetPhoneCode,   "SKM_GetPhoneCode",   K::System, 0,  0x26,  1,  16, 0, R::ExactLength,     M) \
    X(GetStaffNo,     "SKM_GetStaffNo",     K::System, 0,  0x27,  1,  16, 0, R::UncheckedLength, M) \
    X(GetTouchType,   "SKM_GET_TOUCH_TYPE", K::System, 0,  0x28,  2,  4,  0, R::ExactLength,     M) \
    /* System commands, class 1: writes, with the code of the matching read. */ \
    X(SetChannelNo,   "SKM_SetChannelNo",   K::System, 1,  0x13,  6,  0,  0, R::Normalised,      M) \
    X(SetTrainSite,   "SKM_SetTrainSite",   K::System, 1,  0x1E,  6,  0,  0, R::Normalised,      M) \
    X(SetSiteInfo,    "SKM_SetSiteInfo",    K::System, 1,  0x25,  17, 0,  0, R::Normalised,      M) \
    X(SetPhoneCode,   "SKM_SetPhoneCode",   K::System, 1,  0x26,  17, 0,  0, R::Normalised,      M) \
    X(SetStaffNo,     "SKM_SetStaffNo",     K::System, 1,  0x27,  17, 0,  0, R::Normalised,      M) \
    X(SetTouchType,   "SKM_SET_TOUCH_TYPE", K::System, 1,  0x28,  6,  0,  0, R::Normalised,      M) \
    /* System commands of the classes that carry one command each. */ \
    X(InitDev,        "SK_InitDevEx",       K::System, 2,  kNone, 14, 0,  0, R::PassThrough,     M | S | H) \
    X(Authenticate,   "SK_ConnectEx",       K::System, 3,  kNone, 12, 0,  0, R::PassThrough,     M | S | H) \
    X(ActiveIsp,      "SK_ActiveIsp",       K::System, 4,  kNone, 8,  0,  0, R::PassThrough,     M | S | H) \
    X(SReadCard,      "SKS_ReadCard",       K::System, 5,  0x00,  1,  16, 0, R::ExactLength,     S | H) \
    /* User commands; the selector is the variant where byte 0 picks one. */ \
    X(SetPigeon,      "SK_SetPigeon",       K::User,   0,  kNone, 14, 0,  0, R::PassThrough,     M | S | H) \
    X(SetTime,        "SK_SetTime",         K::User,   0,  kNone, 14, 0,  0, R::PassThrough,     M | S | H) \
    X(CreateRace,     "SKM_CreateRace",     K::User,   2,  kNone, 24, 0,  0, R::Normalised,      M) \
    X(SCreateRace,    "SKS_CreateRace",     K::User,   2,  kNone, 20, 0,  0, R::Normalised,      S) \
    X(HCreateRace,    "SKH_CreateRace",     K::User,   2,  kNone, 14, 0,  0, R::Normalised,      H) \
    X(AddRaceCard,    "SKM_AddRaceCard",    K::User,   3,  kNone, 8,  0,  0, R::Normalised,      M) \
    X(HAddRaceCard,   "SKH_AddRaceCard",    K::User,   3,  kNone, 22, 0,  0, R::PassThrough,     H) \
    X(ConfirmRace,    "SKM_ConfirmRace",    K::User,   4,  kNone, 18, 0,  0, R::Normalised,      M) \
    X(HConfirmRace,   "SKH_ConfirmRace",    K::User,   4,  kNone, 10, 0,  0, R::PassThrough,     H) \
    X(CloseRace,      "SKM_CloseRace",      K::User,   5,  2,     9,  0,  0, R::PassThrough,     M) \
    X(RemoveRace,     "SKM_RemoveRace",     K::User,   5,  1,     9,  0,  0, R::PassThrough,     M) \
    X(SClearRace,     "SKS_ClearRace",      K::User,   5,  1,     1,  0,  0, R::PassThrough,     S | H) \
    X(SGetRaceRecord, "SKS_GetRaceRecord",  K::User,   6,  kNone, 6,  30, 0, R::Verified,        S | H) \
    X(GetRaceRecord,  "SKM_GetRaceRecord",  K::User,   7,  kNone, 8,  34, 0, R::Verified,        M) \
    X(DeposeRaces,    "SKM_DeposeRaces",    K::User,   8,  kNone, 8,  0,  0, R::Normalised,      M) \
    X(AppendCard,     "SKM_AppendCard",     K::User,   9,  0,     32, 0,  0, R::Normalised,      M) \
    X(ModifyCard,     "SKM_ModifyCard",     K::User,   9,  1,     20, 0,  0, R::Normalised,      M) \
    X(RemoveCard,     "SKM_RemoveCard",     K::User,   10, kNone, 8,  0,  0, R::Normalised,      M) \
    X(CreateTrain,    "SKM_CreateTrain",    K::User,   11, kNone, 13, 2,  2, R::MinimumLength,   M) \
    X(AddTrainCard,   "SKM_AddTrainCard",   K::User,   12, kNone, 8,  0,  0, R::Normalised,      M) \
    X(ConfirmTrain,   "SKM_ConfirmTrain",   K::User,   13, kNone, 4,  0,  0, R::Normalised,      M) \
    X(CloseTrain,     "SKM_CloseTrain",     K::User,   14, 2,     3,  0,  0, R::PassThrough,     M) \
    X(RemoveTrain,    "SKM_RemoveTrain",    K::User,   14, 1,     3,  0,  0, R::PassThrough,     M)

namespace cmd {

inline constexpr std::int16_t kNone = kNoSelector;
using K = Kind;
using R = Rule;
inline constexpr ClockKinds M = kClockM;
inline constexpr ClockKinds S = kClockS;
inline constexpr ClockKinds H = kClockH;

#define SKYLARK_DEFINE_COMMAND(entry, ...) inline constexpr Command entry{__VA_ARGS__};
SKYLARK_COMMANDS(SKYLARK_DEFINE_COMMAND)
#undef SKYLARK_DEFINE_COMMAND

}  // namespace cmd

// Every entry, for tests that check the index as a whole.
#define SKYLARK_COMMAND_ADDRESS(entry, ...) &cmd::entry,
inline constexpr const Command* kCommandIndex[] = {SKYLARK_COMMANDS(SKYLARK_COMMAND_ADDRESS)};
#undef SKYLARK_COMMAND_ADDRESS

}  // namespace skylark
