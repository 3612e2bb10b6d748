#include "clock/sclock.h"

#include "frame/frame.h"
#include "security/download.h"

namespace skylark {

namespace {

constexpr std::size_t kCardBytes = 16;
constexpr std::size_t kRaceKeyBytes = 8;
constexpr std::size_t kRecordBytes = 16;
constexpr std::size_t kTimeBytes = kBcdDateSize;
// Reply bytes the verification code covers: all but the code itself.
constexpr std::size_t kRecordCovered = coveredBytes(cmd::SGetRaceRecord);
static_assert(kRecordBytes + kTimeBytes == kRecordCovered,
              "the code covers the record and its arrival time");

}  // namespace

BOOL16 sReadCard(SK_ULONG handle, char* cardDataHex) {
    if (cardDataHex == nullptr) return 0;
    Params params = paramsFor(cmd::SReadCard);
    // 0 card data 16 | 16
    return runRead(handle, cmd::SReadCard, params,
                   [&](ReplyReader& r) { r.hex(kCardBytes, cardDataHex); });
}

BOOL16 sQueryState(SK_ULONG handle, std::uint8_t* state, double* stateTime, SK_ULONG* firstCount,
                   SK_ULONG* secondCount) {
    if (state == nullptr || stateTime == nullptr || firstCount == nullptr ||
        secondCount == nullptr)
        return 0;
    Params params = paramsFor(cmd::SQueryState);
    // 0 state 1 | 1 first count 2 | 3 second count 2 | 5 state time 6 | 11
    return runRead(handle, cmd::SQueryState, params, [&](ReplyReader& r) {
        *state = r.u8();
        *firstCount = r.be16();
        *secondCount = r.be16();
        *stateTime = r.bcdDate();
    });
}

BOOL16 sGetRaceInfo(SK_ULONG handle, char* raceKeyHex, double* firstTime, double* secondTime) {
    if (raceKeyHex == nullptr || firstTime == nullptr || secondTime == nullptr) return 0;
    Params params = paramsFor(cmd::SGetRaceInfo);
    // 0 race key 8 | 8 first race time 6 | 14
    return runRead(handle, cmd::SGetRaceInfo, params, [&](ReplyReader& r) {
        r.hex(kRaceKeyBytes, raceKeyHex);
        *firstTime = r.bcdDate();
        *secondTime = 0.0;  // not in the reply: the library's "no date"
    });
}

BOOL16 sCreateRace(SK_ULONG handle, const char* raceKeyHex, double firstTime, double secondTime) {
    if (raceKeyHex == nullptr) return 0;
    // 0 race key 8 | 8 first race time 6 | 14 second race time 6 | 20
    Params params = paramsFor(cmd::SCreateRace);
    params.hex(raceKeyHex, kRaceKeyBytes).bcdDate(firstTime).bcdDate(secondTime);
    return run(handle, cmd::SCreateRace, params, nullptr).result;
}

BOOL16 sClearRace(SK_ULONG handle) {
    // 0 selector 1 (clear) | 1
    Params params = paramsFor(cmd::SClearRace);
    return run(handle, cmd::SClearRace, params, nullptr).result;
}

BOOL16 sGetRaceRecord(SK_ULONG handle, SK_ULONG recordIndex, char* recordText,
                      double* arrivalTime) {
    if (recordText == nullptr || arrivalTime == nullptr) return 0;
    // A fresh challenge per request; the S clock expects its first byte odd.
    std::uint8_t challenge[kChallengeSize];
    if (!drawChallenge(challenge)) return 0;
    challenge[0] |= 0x01;

    // 0 record index 2 (low 16 bits) | 2 challenge 4 | 6
    Params params = paramsFor(cmd::SGetRaceRecord);
    params.be16(recordIndex).bytes(challenge, kChallengeSize);
    // 0 record 16 | 16 arrival time 6 | 22 verification code 8 | 30
    return runVerifiedRead(handle, cmd::SGetRaceRecord, params, challenge, [&](ReplyReader& r) {
        r.hex(kRecordBytes, recordText);
        *arrivalTime = r.bcdDate();
    });
}

}  // namespace skylark
