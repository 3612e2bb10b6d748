#include "clock/race.h"

#include "clock/identifiers.h"
#include "frame/frame.h"

namespace skylark {

namespace {

constexpr std::size_t kConfirmDataBytes = 8;
constexpr std::size_t kDeposeBytes = 8;

// Runs a race command that expects no reply.
BOOL16 send(SK_ULONG handle, const Command& c, Params& params) {
    return run(handle, c, params, nullptr).result;
}

// A block of the command's selector byte, if it has one, and one field of hex
// text of the given width.
BOOL16 sendHexField(SK_ULONG handle, const Command& c, const char* text, std::size_t width) {
    if (text == nullptr) return 0;
    Params params = paramsFor(c);
    params.hex(text, width);
    return send(handle, c, params);
}

}  // namespace

// 0 race key 8 | 8 first time 6 | 14 second time 6 | 20 race param 4 | 24
BOOL16 createRace(SK_ULONG handle, const char* raceKeyHex, double firstTime, double secondTime,
                  SK_ULONG raceParam) {
    if (raceKeyHex == nullptr) return 0;
    Params params = paramsFor(cmd::CreateRace);
    params.hex(raceKeyHex, kRaceKeyBytes).bcdDate(firstTime).bcdDate(secondTime).be32(raceParam);
    return send(handle, cmd::CreateRace, params);
}

// 0 card entry 8 | 8
BOOL16 addRaceCard(SK_ULONG handle, const char* cardHex) {
    return sendHexField(handle, cmd::AddRaceCard, cardHex, kCardEntryBytes);
}

// 0 race key 8 | 8 confirm value 2 | 10 confirm data 8 | 18
BOOL16 confirmRace(SK_ULONG handle, const char* raceKeyHex, SK_ULONG confirmValue,
                   const char* confirmData) {
    if (raceKeyHex == nullptr || confirmData == nullptr) return 0;
    Params params = paramsFor(cmd::ConfirmRace);
    params.hex(raceKeyHex, kRaceKeyBytes)
        .be16(confirmValue)
        .bytes(reinterpret_cast<const std::uint8_t*>(confirmData), kConfirmDataBytes);
    return send(handle, cmd::ConfirmRace, params);
}

// 0 selector 2 | 1 race key 8 | 9
BOOL16 closeRace(SK_ULONG handle, const char* raceKeyHex) {
    return sendHexField(handle, cmd::CloseRace, raceKeyHex, kRaceKeyBytes);
}

// 0 selector 1 | 1 race key 8 | 9
BOOL16 removeRace(SK_ULONG handle, const char* raceKeyHex) {
    return sendHexField(handle, cmd::RemoveRace, raceKeyHex, kRaceKeyBytes);
}

// 0 depose value 8 | 8
BOOL16 deposeRaces(SK_ULONG handle, const char* deposeHex) {
    return sendHexField(handle, cmd::DeposeRaces, deposeHex, kDeposeBytes);
}

}  // namespace skylark
