#include "security/auth.h"

#include "frame/clocklink_calls.h"
#include "frame/frame.h"
#include "os/os.h"
#include "security/constants.h"
#include "security/des.h"

namespace skylark {

namespace {

// The generator of the Microsoft C runtime's rand(), kept in a local so the
// host's own rand() sequence is left alone and every platform draws the same
// numbers from the same seed.
class MsRand {
public:
    explicit MsRand(std::uint32_t seed) : x_(seed) {}
    std::uint32_t next() {
        x_ = x_ * 214013u + 2531011u;
        return (x_ >> 16) & 0x7FFFu;
    }

private:
    std::uint32_t x_;
};

}  // namespace

void foldPassword(const std::uint8_t base[8], const char* password, std::uint8_t out[8]) {
    bool ended = password == nullptr;
    for (std::size_t i = 0; i < 8; ++i) {
        if (!ended && password[i] == '\0') ended = true;
        out[i] = ended ? base[i] : static_cast<std::uint8_t>(base[i] ^ password[i]);
    }
}

void systemIdentifier(const char* password, std::uint8_t id[8]) {
    foldPassword(kSystemIdPad, password, id);
}

void verificationBlock(const std::uint8_t data[8], const std::uint8_t rnd[kRandomSize],
                       const std::uint8_t mask[8], std::uint8_t out[kVerifyBlockSize]) {
    for (std::size_t i = 0; i < kVerifyBlockSize; ++i)
        out[i] = static_cast<std::uint8_t>(data[i] ^ rnd[i % kRandomSize] ^ mask[i]);
}

void authenticationBlock(const CDesKey& key, const std::uint8_t t[kRandomSize],
                         const std::uint8_t r[kRandomSize], const std::uint8_t id[8],
                         std::uint8_t out[kAuthBlockSize]) {
    // 0 T 4 | 4 verification block of data T0..T3 00 00 00 00, mask id 12
    const std::uint8_t data[8] = {t[0], t[1], t[2], t[3], 0, 0, 0, 0};
    for (std::size_t i = 0; i < kRandomSize; ++i) out[i] = t[i];
    std::uint8_t* block = out + kRandomSize;
    verificationBlock(data, r, id, block);
    desEncrypt(block, block, key);
}

void commKeyRandom(std::uint32_t seed, std::uint8_t rnd[8]) {
    MsRand generator(seed);
    for (std::size_t i = 0; i < 4; ++i) rnd[i] = static_cast<std::uint8_t>(generator.next());
    rnd[0] |= 0x01;
    for (std::size_t i = 0; i < 4; ++i) rnd[4 + i] = rnd[i];
}

BOOL16 createCommKeySeeded(SK_ULONG handle, std::uint32_t seed) {
    std::uint8_t key[8];
    for (std::size_t i = 0; i < 8; ++i) key[i] = kCommKey[i];
    std::uint8_t rnd[8];
    commKeyRandom(seed, rnd);
    return link::setCommKey(handle, key, rnd);
}

BOOL16 createCommKey(SK_ULONG handle) {
    // srand(time(nullptr)) takes the time's low 32 bits as its seed.
    return createCommKeySeeded(handle, static_cast<std::uint32_t>(osTimeNow()));
}

BOOL16 connectEx(SK_ULONG handle, const char* password) {
    std::uint8_t id[8];
    systemIdentifier(password, id);

    if (link::isCommKeyValid(handle) == 0 && createCommKey(handle) == 0) return 0;

    std::uint8_t r[kRandomSize] = {};
    if (link::getRnd(handle, r) == 0) return 0;

    // Only the first four bytes are used. Its status is not examined; should
    // ClockLink leave the buffer unfilled, the block carries zeros rather
    // than undefined bytes.
    std::uint8_t t[8] = {};
    link::getCommKeyRnd(handle, t);

    std::uint8_t block[kAuthBlockSize];
    authenticationBlock(s_verifykey, t, r, id, block);
    Params params = paramsFor(cmd::Authenticate);
    params.bytes(block, kAuthBlockSize);
    return run(handle, cmd::Authenticate, params, nullptr).result;
}

}  // namespace skylark
