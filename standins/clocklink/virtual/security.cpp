// The clock's side of the security: device randoms, the comm key, the
// authentication block, initialisation, in-system programming and the two
// time-setting blocks. A block proves itself against the latest device
// random; each random serves one block.
#include <algorithm>
#include <cstring>

#include "os/os.h"
#include "security/constants.h"
#include "security/des.h"
#include "standins/clocklink/verify_key.h"
#include "standins/clocklink/virtual/state_rules.h"
#include "standins/clocklink/virtual/virtual_clock.h"

namespace standins::vclock {

const ClockKeys& clockKeys() {
    static const ClockKeys keys = [] {
        ClockKeys k;
        k.verify = skylark::DesSchedule::from(CDesKey(kVerifyKey));
        k.record = skylark::DesSchedule::from(CDesKey(skylark::kRecordKey));
        return k;
    }();
    return keys;
}

void verifyEncrypt(std::uint8_t block[8]) { clockKeys().verify.encrypt(block, block); }
void verifyDecrypt(std::uint8_t block[8]) { clockKeys().verify.decrypt(block, block); }

namespace {

constexpr std::size_t kUsedRandoms = 16;

// The password bytes folded into the access code of an initialisation
// block; false unless they read as a password (characters, then zeros).
bool passwordOf(const std::uint8_t* block, std::array<std::uint8_t, 8>& password) {
    for (int i = 0; i < 8; ++i) password[i] = block[i] ^ skylark::kAccessCode[i];
    return validPassword(password);
}

}  // namespace

void VirtualClock::setPassword(const char* password) {
    s_.password.fill(0);
    for (int i = 0; password != nullptr && i < 8 && password[i] != '\0'; ++i)
        s_.password[i] = static_cast<std::uint8_t>(password[i]);
    authenticated_ = false;
}

// ---- Randoms and the comm key ------------------------------------------------------

BOOL16 VirtualClock::getRnd(unsigned char* rnd4) {
    return gated(CLV_ON_GET_RND, [&](SK_ULONG& err) {
        std::array<std::uint8_t, 4> r{};
        if (rnd4 == nullptr || !drawRandom(r.data(), r.size())) {
            err = CLV_ERR_BAD_PARAM;
            return BOOL16(0);
        }
        if (randomPending_) {  // an unused random is dropped: only the latest counts
            usedRnds_.push_back(pendingRnd_);
            if (usedRnds_.size() > kUsedRandoms) usedRnds_.pop_front();
        }
        pendingRnd_ = r;
        randomPending_ = true;
        std::memcpy(rnd4, r.data(), 4);
        return BOOL16(1);
    });
}

BOOL16 VirtualClock::getCommKeyRnd(unsigned char* rnd8) {
    return gated(CLV_ON_GET_COMM_KEY_RND, [&](SK_ULONG& err) {
        if (rnd8 == nullptr) {
            err = CLV_ERR_BAD_PARAM;
            return BOOL16(0);
        }
        std::memcpy(rnd8, commRnd_.data(), 8);
        err = CLV_ERR_NO_COMM_KEY;
        return BOOL16(commKeyValid_ ? 1 : 0);
    });
}

BOOL16 VirtualClock::setCommKey(unsigned char* key8, unsigned char* rnd8) {
    return gated(CLV_ON_SET_COMM_KEY, [&](SK_ULONG& err) {
        // The clocks know one comm key; its random has an odd first byte and
        // repeats its first half.
        if (key8 == nullptr || rnd8 == nullptr ||
            std::memcmp(key8, skylark::kCommKey, 8) != 0 || (rnd8[0] & 1) == 0 ||
            std::memcmp(rnd8, rnd8 + 4, 4) != 0) {
            err = CLV_ERR_BAD_PROOF;
            return BOOL16(0);
        }
        std::memcpy(commRnd_.data(), rnd8, 8);
        commKeyValid_ = true;
        authenticated_ = false;  // a new session
        return BOOL16(1);
    });
}

BOOL16 VirtualClock::isCommKeyValid() {
    // 0 without a key is an answer, not a failure: the error code stays.
    return gated(CLV_ON_IS_COMM_KEY_VALID, [&](SK_ULONG&) { return BOOL16(commKeyValid_ ? 1 : 0); });
}

// Tries check(random) on the pending random, then on the used ones. The
// pending random is used up either way.
template <class Check>
int VirtualClock::matchRandom(Check check) {
    if (randomPending_) {
        randomPending_ = false;
        usedRnds_.push_back(pendingRnd_);
        if (usedRnds_.size() > kUsedRandoms) usedRnds_.pop_front();
        if (check(pendingRnd_.data())) return 0;
    }
    for (const auto& r : usedRnds_)
        if (check(r.data())) return 1;
    return -1;
}

// ---- Class 2: initialise ------------------------------------------------------------

int VirtualClock::initialise(Exchange& x) {
    // 0 access code ^ password 8 | 8 host time 6
    if (x.len != 14) return CLV_ERR_BAD_PARAM;
    std::array<std::uint8_t, 8> password{};
    if (!passwordOf(x.params, password)) return CLV_ERR_BAD_PROOF;
    Seconds t = 0;
    if (!fromBcd(x.params + 8, t)) return CLV_ERR_BAD_PARAM;
    // Someone else's clock is not taken over by initialising it.
    if (s_.hasPassword() && !authenticated_) return CLV_ERR_NOT_AUTHENTICATED;
    s_.password = password;
    s_.initialised = true;
    s_.isp = false;
    authenticated_ = false;  // the new password is proven next
    setNow(t);
    log(CLV_LOG_INITIALISED);
    return CLV_OK;
}

// ---- Class 3: authentication ------------------------------------------------------------

int VirtualClock::authenticate(Exchange& x) {
    // 0 comm-key random T 4 | 4 E(T ^ R ^ ID[0..3], R ^ ID[4..7]) 8
    if (x.len != 12) return CLV_ERR_BAD_PARAM;
    if (!commKeyValid_) return CLV_ERR_NO_COMM_KEY;
    const bool sameRandom = std::memcmp(x.params, commRnd_.data(), 4) == 0;
    std::uint8_t id[8];
    for (int i = 0; i < 8; ++i) id[i] = skylark::kSystemIdPad[i] ^ s_.password[i];
    std::uint8_t plain[8];
    std::memcpy(plain, x.params + 4, 8);
    verifyDecrypt(plain);
    const int which = matchRandom([&](const std::uint8_t* r) {
        for (int i = 0; i < 4; ++i)
            if (plain[i] != (x.params[i] ^ r[i] ^ id[i]) || plain[4 + i] != (r[i] ^ id[4 + i]))
                return false;
        return sameRandom;
    });
    const int err = which == 0 ? CLV_OK : which == 1 ? CLV_ERR_REPLAY : CLV_ERR_BAD_PROOF;
    authenticated_ = err == CLV_OK;
    if (err == CLV_OK) log(CLV_LOG_AUTHENTICATED);
    else log(CLV_LOG_AUTH_REFUSED, {static_cast<std::uint8_t>(err)});
    return err;
}

// ---- Class 4: in-system programming ---------------------------------------------------------

int VirtualClock::enterIsp(Exchange& x) {
    if (x.len != 8) return CLV_ERR_BAD_PARAM;
    if (std::memcmp(x.params, skylark::kAccessCode, 8) != 0) return CLV_ERR_BAD_PROOF;
    s_.isp = true;
    log(CLV_LOG_ISP);
    return CLV_OK;
}

// ---- User command 0: time setting ------------------------------------------------------------

int VirtualClock::setTimeCommand(Exchange& x) {
    // 0 time 6 | 6 block 8: time[0..3]^R, time[4..5]^R[0..1], R[2..3]^mask
    // (encrypted with the pigeon mask, clear with the time mask)
    if (x.len != 14) return CLV_ERR_BAD_PARAM;
    Seconds t = 0;
    const bool dateOk = fromBcd(x.params, t);
    std::uint8_t decrypted[8];
    std::memcpy(decrypted, x.params + 6, 8);
    verifyDecrypt(decrypted);
    bool encrypted = false;
    const int which = matchRandom([&](const std::uint8_t* r) {
        std::uint8_t expect[8];
        for (int i = 0; i < 6; ++i) expect[i] = x.params[i] ^ r[i % 4];
        expect[6] = r[2] ^ skylark::kPigeonMask[0];
        expect[7] = r[3] ^ skylark::kPigeonMask[1];
        if (std::memcmp(expect, decrypted, 8) == 0) {
            encrypted = true;
            return true;
        }
        expect[6] = r[2] ^ skylark::kTimeMask[0];
        expect[7] = r[3] ^ skylark::kTimeMask[1];
        return std::memcmp(expect, x.params + 6, 8) == 0;
    });
    if (which == 1) return CLV_ERR_REPLAY;
    if (which != 0) return CLV_ERR_BAD_PROOF;
    if (!dateOk) return CLV_ERR_BAD_PARAM;
    std::vector<std::uint8_t> data(6);
    toBcd(now(), data.data());
    data.push_back(encrypted ? 1 : 0);
    setNow(t);
    log(CLV_LOG_TIME_SET, data);
    return CLV_OK;
}

}  // namespace standins::vclock
