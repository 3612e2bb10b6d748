// The command index: every command the library sends to a clock, with its
// kind, class or number, leading parameter byte, lengths and result rule.
// Exports name their entry here and repeat none of these numbers.
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
};

inline constexpr std::int16_t kNoLead = -1;

struct Command {
    const char* name;       // the export that sends it
    Kind kind;
    std::uint8_t number;    // system class or user command number
    std::int16_t lead;      // fixed parameter byte 0 (command code or variant), or kNoLead
    std::uint8_t paramLen;  // bytes sent
    std::uint8_t replyLen;  // expected reply length; 0 = no reply (null reply pointers)
    std::uint8_t minReply;  // MinimumLength only
    Rule rule;
};

namespace cmd {

using K = Kind;
using R = Rule;

// System commands, class 0: reads.
//                                      name                  kind  cls lead  param reply min rule
inline constexpr Command GetDevState   {"SK_GetDevState",     K::System, 0, 0x00, 1,  1, 0, R::DeviceState};
inline constexpr Command GetDevInfo    {"SK_GetDevInfo",      K::System, 0, 0x01, 1, 16, 0, R::ExactLength};
inline constexpr Command GetTime       {"SK_GetTime",         K::System, 0, 0x10, 1,  6, 0, R::ExactLength};
inline constexpr Command SQueryState   {"SKS_QueryState",     K::System, 0, 0x11, 1, 11, 0, R::ExactLength};
inline constexpr Command SGetRaceInfo  {"SKS_GetRaceInfo",    K::System, 0, 0x12, 1, 14, 0, R::ExactLength};
inline constexpr Command HGetRaceKey   {"SKH_GetRaceInfo",    K::System, 0, 0x12, 1,  8, 0, R::ExactLength};
inline constexpr Command GetChannelNo  {"SKM_GetChannelNo",   K::System, 0, 0x13, 2,  4, 0, R::ExactLength};
inline constexpr Command HGetCardCount {"SKH_GetRaceInfo",    K::System, 0, 0x14, 1,  2, 0, R::ExactLength};
inline constexpr Command HGetRaceCard  {"SKH_GetRaceCard",    K::System, 0, 0x15, 3, 22, 0, R::ExactLength};
inline constexpr Command GetRaceIndex  {"SKM_GetRaceIndex",   K::System, 0, 0x16, 9,  2, 0, R::ExactLength};
inline constexpr Command GetRaceCount  {"SKM_GetRaceCount",   K::System, 0, 0x17, 1,  2, 0, R::ExactLength};
inline constexpr Command GetRaceInfo   {"SKM_GetRaceInfo",    K::System, 0, 0x18, 3, 22, 0, R::ExactLength};
inline constexpr Command GetRaceInfo2  {"SKM_GetRaceInfo2",   K::System, 0, 0x19, 3,  6, 0, R::ExactLength};
inline constexpr Command GetRaceCard   {"SKM_GetRaceCard",    K::System, 0, 0x1A, 5,  8, 0, R::ExactLength};
inline constexpr Command GetTrainIndex {"SKM_GetTrainIndex",  K::System, 0, 0x1B, 3,  2, 0, R::ExactLength};
inline constexpr Command GetTrainCount {"SKM_GetTrainCount",  K::System, 0, 0x1C, 1,  2, 0, R::ExactLength};
inline constexpr Command GetTrainInfo  {"SKM_GetTrainInfo",   K::System, 0, 0x1D, 3, 17, 0, R::ExactLength};
inline constexpr Command GetTrainSite  {"SKM_GetTrainSite",   K::System, 0, 0x1E, 2,  4, 0, R::ExactLength};
inline constexpr Command GetTrainRecord{"SKM_GetTrainRecord", K::System, 0, 0x1F, 5, 21, 0, R::ExactLength};
inline constexpr Command GetCardIndex  {"SKM_GetCardIndex",   K::System, 0, 0x20, 9,  2, 0, R::ExactLength};
inline constexpr Command GetCardCount  {"SKM_GetCardCount",   K::System, 0, 0x21, 1,  2, 0, R::ExactLength};
inline constexpr Command GetCardInfo   {"SKM_GetCardInfo",    K::System, 0, 0x22, 3, 31, 0, R::ExactLength};
inline constexpr Command GetMaxLogNo   {"SKM_GetMaxLogNo",    K::System, 0, 0x23, 1,  4, 0, R::ExactLength};
inline constexpr Command GetLogInfo    {"SKM_GetLogInfo",     K::System, 0, 0x24, 5, 32, 7, R::MinimumLength};
inline constexpr Command GetSiteInfo   {"SKM_GetSiteInfo",    K::System, 0, 0x25, 1, 16, 0, R::ExactLength};
inline constexpr Command GetPhoneCode  {"SKM_GetPhoneCode",   K::System, 0, 0x26, 1, 16, 0, R::ExactLength};
inline constexpr Command GetStaffNo    {"SKM_GetStaffNo",     K::System, 0, 0x27, 1, 16, 0, R::UncheckedLength};
inline constexpr Command GetTouchType  {"SKM_GET_TOUCH_TYPE", K::System, 0, 0x28, 2,  4, 0, R::ExactLength};

// System commands, class 1: writes, with the code of the matching read.
inline constexpr Command SetChannelNo  {"SKM_SetChannelNo",   K::System, 1, 0x13,  6, 0, 0, R::Normalised};
inline constexpr Command SetTrainSite  {"SKM_SetTrainSite",   K::System, 1, 0x1E,  6, 0, 0, R::Normalised};
inline constexpr Command SetSiteInfo   {"SKM_SetSiteInfo",    K::System, 1, 0x25, 17, 0, 0, R::Normalised};
inline constexpr Command SetPhoneCode  {"SKM_SetPhoneCode",   K::System, 1, 0x26, 17, 0, 0, R::Normalised};
inline constexpr Command SetStaffNo    {"SKM_SetStaffNo",     K::System, 1, 0x27, 17, 0, 0, R::Normalised};
inline constexpr Command SetTouchType  {"SKM_SET_TOUCH_TYPE", K::System, 1, 0x28,  6, 0, 0, R::Normalised};

// System commands of the classes that carry one command each.
inline constexpr Command InitDev       {"SK_InitDevEx",       K::System, 2, kNoLead, 14,  0, 0, R::PassThrough};
inline constexpr Command Authenticate  {"SK_ConnectEx",       K::System, 3, kNoLead, 12,  0, 0, R::PassThrough};
inline constexpr Command ActiveIsp     {"SK_ActiveIsp",       K::System, 4, kNoLead,  8,  0, 0, R::PassThrough};
inline constexpr Command SReadCard     {"SKS_ReadCard",       K::System, 5, 0x00,     1, 16, 0, R::ExactLength};

// User commands; lead is the variant byte where byte 0 selects one.
inline constexpr Command SetPigeon     {"SK_SetPigeon",       K::User,  0, kNoLead, 14,  0, 0, R::PassThrough};
inline constexpr Command SetTime       {"SK_SetTime",         K::User,  0, kNoLead, 14,  0, 0, R::PassThrough};
inline constexpr Command CreateRace    {"SKM_CreateRace",     K::User,  2, kNoLead, 24,  0, 0, R::Normalised};
inline constexpr Command SCreateRace   {"SKS_CreateRace",     K::User,  2, kNoLead, 20,  0, 0, R::Normalised};
inline constexpr Command HCreateRace   {"SKH_CreateRace",     K::User,  2, kNoLead, 14,  0, 0, R::Normalised};
inline constexpr Command AddRaceCard   {"SKM_AddRaceCard",    K::User,  3, kNoLead,  8,  0, 0, R::Normalised};
inline constexpr Command HAddRaceCard  {"SKH_AddRaceCard",    K::User,  3, kNoLead, 22,  0, 0, R::PassThrough};
inline constexpr Command ConfirmRace   {"SKM_ConfirmRace",    K::User,  4, kNoLead, 18,  0, 0, R::Normalised};
inline constexpr Command HConfirmRace  {"SKH_ConfirmRace",    K::User,  4, kNoLead, 10,  0, 0, R::PassThrough};
inline constexpr Command CloseRace     {"SKM_CloseRace",      K::User,  5, 2,        9,  0, 0, R::PassThrough};
inline constexpr Command RemoveRace    {"SKM_RemoveRace",     K::User,  5, 1,        9,  0, 0, R::PassThrough};
inline constexpr Command SClearRace    {"SKS_ClearRace",      K::User,  5, 1,        1,  0, 0, R::PassThrough};
inline constexpr Command SGetRaceRecord{"SKS_GetRaceRecord",  K::User,  6, kNoLead,  6, 30, 0, R::ExactLength};
inline constexpr Command GetRaceRecord {"SKM_GetRaceRecord",  K::User,  7, kNoLead,  8, 34, 0, R::ExactLength};
inline constexpr Command DeposeRaces   {"SKM_DeposeRaces",    K::User,  8, kNoLead,  8,  0, 0, R::Normalised};
inline constexpr Command AppendCard    {"SKM_AppendCard",     K::User,  9, 0,       32,  0, 0, R::Normalised};
inline constexpr Command ModifyCard    {"SKM_ModifyCard",     K::User,  9, 1,       20,  0, 0, R::Normalised};
inline constexpr Command RemoveCard    {"SKM_RemoveCard",     K::User, 10, kNoLead,  8,  0, 0, R::Normalised};
inline constexpr Command CreateTrain   {"SKM_CreateTrain",    K::User, 11, kNoLead, 13,  2, 0, R::UncheckedLength};
inline constexpr Command AddTrainCard  {"SKM_AddTrainCard",   K::User, 12, kNoLead,  8,  0, 0, R::Normalised};
inline constexpr Command ConfirmTrain  {"SKM_ConfirmTrain",   K::User, 13, kNoLead,  4,  0, 0, R::Normalised};
inline constexpr Command CloseTrain    {"SKM_CloseTrain",     K::User, 14, 2,        3,  0, 0, R::PassThrough};
inline constexpr Command RemoveTrain   {"SKM_RemoveTrain",    K::User, 14, 1,        3,  0, 0, R::PassThrough};

}  // namespace cmd

// Every entry, for tests that check the index as a whole.
inline constexpr const Command* kCommandIndex[] = {
    &cmd::GetDevState,   &cmd::GetDevInfo,    &cmd::GetTime,        &cmd::SQueryState,
    &cmd::SGetRaceInfo,  &cmd::HGetRaceKey,   &cmd::GetChannelNo,   &cmd::HGetCardCount,
    &cmd::HGetRaceCard,  &cmd::GetRaceIndex,  &cmd::GetRaceCount,   &cmd::GetRaceInfo,
    &cmd::GetRaceInfo2,  &cmd::GetRaceCard,   &cmd::GetTrainIndex,  &cmd::GetTrainCount,
    &cmd::GetTrainInfo,  &cmd::GetTrainSite,  &cmd::GetTrainRecord, &cmd::GetCardIndex,
    &cmd::GetCardCount,  &cmd::GetCardInfo,   &cmd::GetMaxLogNo,    &cmd::GetLogInfo,
    &cmd::GetSiteInfo,   &cmd::GetPhoneCode,  &cmd::GetStaffNo,     &cmd::GetTouchType,
    &cmd::SetChannelNo,  &cmd::SetTrainSite,  &cmd::SetSiteInfo,    &cmd::SetPhoneCode,
    &cmd::SetStaffNo,    &cmd::SetTouchType,  &cmd::InitDev,        &cmd::Authenticate,
    &cmd::ActiveIsp,     &cmd::SReadCard,     &cmd::SetPigeon,      &cmd::SetTime,
    &cmd::CreateRace,    &cmd::SCreateRace,   &cmd::HCreateRace,    &cmd::AddRaceCard,
    &cmd::HAddRaceCard,  &cmd::ConfirmRace,   &cmd::HConfirmRace,   &cmd::CloseRace,
    &cmd::RemoveRace,    &cmd::SClearRace,    &cmd::SGetRaceRecord, &cmd::GetRaceRecord,
    &cmd::DeposeRaces,   &cmd::AppendCard,    &cmd::ModifyCard,     &cmd::RemoveCard,
    &cmd::CreateTrain,   &cmd::AddTrainCard,  &cmd::ConfirmTrain,   &cmd::CloseTrain,
    &cmd::RemoveTrain,
};

}  // namespace skylark
