// The replay device of our ClockLink: the ClockLink calls a trace recorded
// for one handle, answered again in order (standins/include/replay_device.h).
// It is the clock's side: the checks below are written from the layouts of
// the blocks the clock receives, not from the library's encoders.
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "frame/clocklink.h"
#include "security/constants.h"
#include "security/des.h"
#include "standins/clocklink/clock_device.h"
#include "standins/replay/replay_device.h"
#include "standins/replay/trace_cursor.h"
#include "standins/trace_file.h"

namespace standins {

namespace {

using tracefile::json;
using Bytes = std::vector<std::uint8_t>;

// Record downloads: user command, parameter length, challenge offset,
// reply length, bytes the code covers, code offset.
struct Download {
    std::uint32_t number;
    std::size_t paramLen, challengeAt, replyLen, covered;
    bool oddFirst;  // the challenge's first byte is always odd
};
constexpr Download kDownloads[] = {
    {7, 8, 4, 34, 26, false},  // M clock
    {6, 6, 2, 30, 22, true},   // S and H clocks
};

// The DES CBC-MAC of a download reply under the verification key: the
// covered bytes, the first 8 XORed with the challenge written twice, padded
// with 0x26 to whole blocks.
void downloadCode(const std::uint8_t* reply, std::size_t covered, const std::uint8_t challenge[4],
                  std::uint8_t code[8]) {
    std::uint8_t msg[32];
    std::memset(msg, 0x26, sizeof msg);
    std::memcpy(msg, reply, covered);
    for (int i = 0; i < 8; ++i) msg[i] ^= challenge[i % 4];
    const std::size_t blocks = (covered + 7) / 8;
    std::uint8_t v[8] = {};
    for (std::size_t b = 0; b < blocks; ++b) {
        for (int i = 0; i < 8; ++i) v[i] ^= msg[8 * b + i];
        skylark::desEncrypt(v, v, s_verifykey);
    }
    std::memcpy(code, v, 8);
}

bool bcdPair(std::uint8_t b, int lo, int hi) {
    if ((b >> 4) > 9 || (b & 15) > 9) return false;
    const int v = (b >> 4) * 10 + (b & 15);
    return v >= lo && v <= hi;
}

// Six bytes that form a BCD date-time YY MM DD hh mm ss.
bool bcdDateTime(const std::uint8_t* p) {
    return bcdPair(p[0], 0, 99) && bcdPair(p[1], 1, 12) && bcdPair(p[2], 1, 31) &&
           bcdPair(p[3], 0, 23) && bcdPair(p[4], 0, 59) && bcdPair(p[5], 0, 59);
}

// Eight bytes that read as a password folded in: characters, then zeros.
bool passwordShaped(const std::uint8_t folded[8]) {
    bool ended = false;
    for (int i = 0; i < 8; ++i) {
        if (folded[i] == 0) ended = true;
        else if (ended) return false;
    }
    return true;
}

class ReplayClock : public ClockDevice {
public:
    ReplayClock(std::shared_ptr<const tracefile::Trace> trace, std::uint32_t recorded, bool strict)
        : cur_(std::move(trace), "clocklink", "handle", recorded, "handle"), strict_(strict) {}

    BOOL16 runSysCmd(SK_ULONG cls, unsigned char* params, SK_ULONG paramLen, unsigned char* reply,
                     SK_ULONG* replyLen) override {
        return run(false, cls, params, paramLen, reply, replyLen);
    }
    BOOL16 runUserCmd(SK_ULONG cmdNo, unsigned char* params, SK_ULONG paramLen,
                      unsigned char* reply, SK_ULONG* replyLen) override {
        return run(true, cmdNo, params, paramLen, reply, replyLen);
    }

    BOOL16 getRnd(unsigned char* rnd4) override {
        std::lock_guard<std::mutex> lock(mutex_);
        const json* e = expect("IFD_GetRnd");
        if (e == nullptr) return 0;
        Bytes r;
        tracefile::hexBytes((*e)["reply"], r);
        r.resize(4);
        if (rnd4 != nullptr) std::memcpy(rnd4, r.data(), 4);
        std::memcpy(lastRnd_, r.data(), 4);
        return answer(*e);
    }

    BOOL16 getCommKeyRnd(unsigned char* rnd8) override {
        std::lock_guard<std::mutex> lock(mutex_);
        const json* e = expect("IFD_GetCommKeyRnd");
        if (e == nullptr) return 0;
        Bytes r;
        tracefile::hexBytes((*e)["reply"], r);
        r.resize(8);
        if (rnd8 != nullptr) std::memcpy(rnd8, r.data(), 8);
        std::memcpy(lastCommRnd_, r.data(), 4);
        return answer(*e);
    }

    BOOL16 setCommKey(unsigned char* key8, unsigned char* rnd8) override {
        std::lock_guard<std::mutex> lock(mutex_);
        const json* e = expect("IFD_SetCommKey");
        if (e == nullptr) return 0;
        Bytes key;
        tracefile::hexBytes((*e)["key"], key);
        const Bytes got = key8 != nullptr ? Bytes(key8, key8 + 8) : Bytes{};
        if (got != key) return mismatch(*e, "IFD_SetCommKey key", key, got);
        // The random is drawn afresh: it only has to be one a clock accepts.
        if (rnd8 == nullptr || (rnd8[0] & 1) == 0 || std::memcmp(rnd8, rnd8 + 4, 4) != 0)
            return mismatch(*e, "IFD_SetCommKey random is not well formed (odd first byte, "
                                "second half repeating the first): received " +
                                    (rnd8 != nullptr ? tracefile::hexText(rnd8, 8) : "null"));
        return answer(*e);
    }

    BOOL16 isCommKeyValid() override {
        std::lock_guard<std::mutex> lock(mutex_);
        const json* e = expect("IFD_IsCommKeyValid");
        return e == nullptr ? 0 : answer(*e);
    }

    SK_ULONG getErrCode() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (cur_.failed()) return REPLAY_ERR_MISMATCH;
        if (const json* e = cur_.takeIf("IFD_GetErrCode"))
            lastErr_ = static_cast<SK_ULONG>(e->value("result", std::uint64_t{0}));
        return lastErr_;
    }

    int check(std::uint64_t call, std::string& message) {
        std::lock_guard<std::mutex> lock(mutex_);
        return cur_.check(call, message);
    }

private:
    const json* expect(const char* fn) { return cur_.expect(fn); }

    BOOL16 mismatch(const json& e, const std::string& what) {
        cur_.fail(cur_.where(e) + ": " + what);
        return 0;
    }
    BOOL16 mismatch(const json& e, const std::string& what, const Bytes& expected,
                    const Bytes& received) {
        return mismatch(e, what + ": expected " + tracefile::hexText(expected) + ", received " +
                               tracefile::hexText(received));
    }

    // The recorded status; a failure's code is the one the library reads next.
    BOOL16 answer(const json& e) {
        const BOOL16 status = static_cast<BOOL16>(e.value("status", std::int64_t{0}));
        lastErr_ = 0;
        return status;
    }

    std::string exportOf(const json& e) const {
        return tracefile::exportOf(cur_.trace(), e.value("call", std::uint64_t{0}));
    }

    // Whether the export of e's call reported success when it was recorded.
    bool exportSucceeded(const json& e) const {
        const tracefile::Trace& t = cur_.trace();
        const auto it = t.exports.find(e.value("call", std::uint64_t{0}));
        return it != t.exports.end() &&
               t.events[it->second].value("result", std::int64_t{0}) != 0;
    }

    // Compares a received parameter block with the recorded one; the fields
    // that differ by design are checked for their form instead.
    bool sameBlock(const json& e, bool user, std::uint32_t number, const Bytes& want,
                   const Bytes& got, const char* label) {
        std::vector<bool> skip(want.size(), false);
        auto skipRange = [&](std::size_t from, std::size_t n) {
            for (std::size_t i = from; i < from + n && i < skip.size(); ++i) skip[i] = true;
        };
        std::string bad;
        for (const Download& d : kDownloads)
            if (user && number == d.number && got.size() == d.paramLen) {
                skipRange(d.challengeAt, 4);
                if (d.oddFirst && (got[d.challengeAt] & 1) == 0)
                    bad = "the challenge's first byte is not odd";
            }
        if (!user && number == 2 && got.size() == 14) {
            skipRange(8, 6);
            if (!bcdDateTime(got.data() + 8)) bad = "the host's time (bytes 8-13) is not a BCD date-time";
            if (!strict_) {
                skipRange(0, 8);
                std::uint8_t folded[8];
                for (int i = 0; i < 8; ++i) folded[i] = got[i] ^ skylark::kAccessCode[i];
                if (!passwordShaped(folded))
                    bad = "bytes 0-7 are not the access code with a password folded in";
            }
        }
        if (!user && number == 3 && got.size() == 12) {
            if (std::memcmp(got.data(), lastCommRnd_, 4) != 0)
                bad = "bytes 0-3 are not the comm-key random handed out";
            if (!strict_) {
                skipRange(4, 8);
                // E(T ^ R ^ ID[0..3], R ^ ID[4..7]), ID = pad ^ password.
                std::uint8_t x[8];
                skylark::desDecrypt(got.data() + 4, x, s_verifykey);
                std::uint8_t folded[8];
                for (int i = 0; i < 8; ++i)
                    folded[i] = x[i] ^ lastRnd_[i % 4] ^ (i < 4 ? lastCommRnd_[i] : 0) ^
                                skylark::kSystemIdPad[i];
                if (!passwordShaped(folded))
                    bad = "the verification block (bytes 4-11) is not well formed over the "
                          "randoms handed out";
            }
        }
        if (user && number == 0 && got.size() == 14 && !strict_) {
            skipRange(6, 8);
            const std::string ex = exportOf(e);
            auto fits = [&](bool encrypted, const std::uint8_t mask[2]) {
                std::uint8_t x[8];
                std::memcpy(x, got.data() + 6, 8);
                if (encrypted) skylark::desDecrypt(x, x, s_verifykey);
                for (int i = 0; i < 6; ++i)
                    if (x[i] != (got[i] ^ lastRnd_[i % 4])) return false;
                return x[6] == (lastRnd_[2] ^ mask[0]) && x[7] == (lastRnd_[3] ^ mask[1]);
            };
            const bool pigeon = fits(true, skylark::kPigeonMask);
            const bool clear = fits(false, skylark::kTimeMask);
            const bool ok = ex == "SK_SetPigeon" ? pigeon : ex == "SK_SetTime" ? clear : pigeon || clear;
            if (!ok) bad = "the time-setting block (bytes 6-13) is not well formed over the device random";
        }
        if (!bad.empty()) {
            mismatch(e, std::string(label) + ": " + bad + "; received " + tracefile::hexText(got));
            return false;
        }
        if (want.size() != got.size()) {
            mismatch(e, std::string(label) + " of " + std::to_string(got.size()) +
                            " bytes, recorded " + std::to_string(want.size()),
                     want, got);
            return false;
        }
        for (std::size_t i = 0; i < want.size(); ++i)
            if (!skip[i] && want[i] != got[i]) {
                mismatch(e, std::string(label) + " (byte " + std::to_string(i) + " differs)", want,
                         got);
                return false;
            }
        return true;
    }

    BOOL16 run(bool user, std::uint32_t number, unsigned char* params, SK_ULONG paramLen,
               unsigned char* reply, SK_ULONG* replyLen) {
        std::lock_guard<std::mutex> lock(mutex_);
        const char* fn = user ? "IFD_RunUserCmd" : "IFD_RunSysCmd";
        const json* ep = expect(fn);
        if (ep == nullptr) return 0;
        const json& e = *ep;
        const std::string name = std::string(fn) + " " + std::to_string(number);
        const std::uint64_t recNumber = e.value(user ? "number" : "class", std::uint64_t{~0u});
        if (recNumber != number)
            return mismatch(e, std::string(fn) + (user ? " number" : " class") + ": expected " +
                                   std::to_string(recNumber) + ", received " +
                                   std::to_string(number));
        Bytes want;
        tracefile::hexBytes(e["params"], want);
        const Bytes got = params != nullptr ? Bytes(params, params + paramLen) : Bytes{};
        const std::string label = name + " parameter block";
        if (!sameBlock(e, user, number, want, got, label.c_str())) return 0;

        const bool recordedLength = e.contains("preset") && !e["preset"].is_null();
        if (recordedLength != (replyLen != nullptr))
            return mismatch(e, name + ": reply length pointer " +
                                   (recordedLength ? "recorded, received null" : "recorded null, received one"));
        if (replyLen == nullptr) return answer(e);
        const std::uint64_t preset = e["preset"].get<std::uint64_t>();
        if (*replyLen != preset)
            return mismatch(e, name + ": preset reply length expected " + std::to_string(preset) +
                                   ", received " + std::to_string(*replyLen));

        Bytes bytes;
        tracefile::hexBytes(e.value("reply", json("")), bytes);
        const BOOL16 status = answer(e);
        const std::uint64_t delivered = e.value("delivered", std::uint64_t{0});
        for (const Download& d : kDownloads)
            if (user && number == d.number && status != 0 && delivered == d.replyLen &&
                bytes.size() == d.replyLen && got.size() == d.paramLen) {
                // A fresh challenge: the code is computed anew over it. A
                // reply refused when recorded stays one that does not verify.
                downloadCode(bytes.data(), d.covered, got.data() + d.challengeAt,
                             bytes.data() + d.covered);
                if (!exportSucceeded(e)) bytes[d.covered + 7] ^= 0xFF;
            }
        if (reply != nullptr)
            std::memcpy(reply, bytes.data(), bytes.size() < preset ? bytes.size() : preset);
        *replyLen = static_cast<SK_ULONG>(delivered);
        return status;
    }

    std::mutex mutex_;
    replay::TraceCursor cur_;
    bool strict_;
    SK_ULONG lastErr_ = 0;
    std::uint8_t lastRnd_[4] = {};
    std::uint8_t lastCommRnd_[4] = {};
};

std::shared_ptr<ReplayClock> findReplay(REPLAY_ULONG handle) {
    return std::dynamic_pointer_cast<ReplayClock>(clockDevices().find(handle));
}


}  // namespace

}  // namespace standins

extern "C" {

REPLAY_CLR_API REPLAY_ULONG REPLAY_CALL CLR_OpenReplay(const char* path, REPLAY_ULONG recorded,
                                                      int mode, int* err) {
    auto trace = standins::replay::openTrace(path, mode, err);
    if (!trace) return 0;
    try {
        return standins::clockDevices().add(
            std::make_shared<standins::ReplayClock>(trace, recorded, mode == REPLAY_STRICT));
    } catch (...) {
        if (err != nullptr) *err = REPLAY_ERR_FILE;
        return 0;
    }
}

REPLAY_CLR_API int REPLAY_CALL CLR_CloseReplay(REPLAY_ULONG handle) {
    if (!standins::findReplay(handle)) return REPLAY_ERR_ARGUMENT;
    standins::clockDevices().remove(handle);
    return REPLAY_OK;
}

REPLAY_CLR_API int REPLAY_CALL CLR_ReplayCheck(REPLAY_ULONG handle, REPLAY_ULONG call,
                                              char* message, REPLAY_ULONG size) {
    return standins::replay::reportCheck(standins::findReplay(handle), call, message, size);
}

}  // extern "C"
