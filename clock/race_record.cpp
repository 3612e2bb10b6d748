#include "clock/race_record.h"

#include "security/download.h"

namespace skylark {

namespace {

constexpr std::size_t kLeadBytes = 4;
constexpr std::size_t kBodyBytes = 16;
// The reply bytes the verification code covers: all but the code itself.
constexpr std::size_t kCovered = coveredBytes(cmd::GetRaceRecord);
constexpr std::size_t kTimeBytes = kBcdDateSize;
static_assert(kLeadBytes + kBodyBytes + kTimeBytes == kCovered,
              "the code covers lead field, record body and arrival time");

}  // namespace

// 0 race index 2 | 2 record index 2 | 4 challenge 4 | 8
// reply: 0 lead 4 | 4 record body 16 | 20 arrival time 6 | 26 verification code 8 | 34
BOOL16 getRaceRecord(SK_ULONG handle, SK_ULONG raceIndex, SK_ULONG recordIndex, char* recordText,
                     double* arrivalTime, char* leadText) {
    if (recordText == nullptr || arrivalTime == nullptr || leadText == nullptr) return 0;

    std::uint8_t challenge[kChallengeSize];
    if (!drawChallenge(challenge)) return 0;

    Params params = paramsFor(cmd::GetRaceRecord);
    params.be16(raceIndex).be16(recordIndex).bytes(challenge, kChallengeSize);
    return runVerifiedRead(handle, cmd::GetRaceRecord, params, challenge, [&](ReplyReader& r) {
        r.hex(kLeadBytes, leadText);
        r.hex(kBodyBytes, recordText);
        *arrivalTime = r.bcdDate();
    });
}

}  // namespace skylark
