// SK_ParseRecordInfo per stored record, side by side with OpenSSL's DES doing
// the same block operations on the same records: five decryptions under the
// record key, the five-decryption chain check and the two-encryption body
// check under the verification key. The OpenSSL side works on the record's
// bytes; the export also decodes 96 hex digits and writes 80.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "skylark/skylark.h"
#include "standins/clocklink/verify_key.h"
#include "security/constants.h"

namespace {

struct Des {
    DES_key_schedule schedule;
    explicit Des(const std::uint8_t key[8]) {
        DES_cblock k;
        std::memcpy(k, key, 8);
        DES_set_key_unchecked(&k, &schedule);
    }
    void encrypt(std::uint8_t* block) { run(block, DES_ENCRYPT); }
    void decrypt(std::uint8_t* block) { run(block, DES_DECRYPT); }
    void run(std::uint8_t* block, int direction) {
        DES_cblock in, out;
        std::memcpy(in, block, 8);
        DES_ecb_encrypt(&in, &out, &schedule, direction);
        std::memcpy(block, out, 8);
    }
};

const std::uint8_t kVKey[8] = {0x01, 0x80, 0x7F, 0xFF, 0x00, 0x55, 0xAA, 0x33};

// The body check value of plain bytes 0..25 under the verification key.
void bodyCode(const std::uint8_t* p, Des& verify, std::uint8_t code[8]) {
    const std::uint8_t first[8] = {p[0], p[1], p[2], p[3], p[4], p[5],
                                   std::uint8_t(p[12] ^ p[22]), std::uint8_t(p[13] ^ p[23])};
    std::memcpy(code, first, 8);
    verify.encrypt(code);
    code[0] ^= std::uint8_t(p[14] ^ p[24]);
    code[1] ^= std::uint8_t(p[15] ^ p[25]);
    for (int i = 0; i < 6; ++i) code[2 + i] ^= p[16 + i];
    verify.encrypt(code);
}

// The chain check value of the 40 plain bytes.
void chainCode(const std::uint8_t* p, const std::uint8_t vKey[8], Des& verify,
               std::uint8_t code[8]) {
    for (int i = 0; i < 8; ++i) code[i] = std::uint8_t(p[i] ^ std::uint8_t(vKey[i] << 1));
    verify.decrypt(code);
    for (int at = 8; at < 40; at += 8) {
        for (int i = 0; i < 8; ++i) code[i] ^= p[at + i];
        verify.decrypt(code);
    }
}

struct Records {
    std::vector<std::vector<std::uint8_t>> bytes;  // 48 each
    std::vector<std::string> texts;                // 96 hex digits each
};

const Records& records() {
    static const Records r = [] {
        Records out;
        Des recordKey(skylark::kRecordKey);
        Des verify(standins::kVerifyKey);
        for (int n = 0; n < 256; ++n) {
            std::uint8_t p[48];
            for (int i = 0; i < 40; ++i) p[i] = std::uint8_t(n * 131 + i * 29 + (i * i) % 17);
            std::uint8_t code[8];
            bodyCode(p, verify, code);
            std::memcpy(p + 8, code, 4);
            chainCode(p, kVKey, verify, p + 40);
            for (int at = 0; at < 40; at += 8) recordKey.encrypt(p + at);
            out.bytes.emplace_back(p, p + 48);
            char text[97];
            BinToHex(p, 48, text);
            out.texts.emplace_back(text);
        }
        return out;
    }();
    return r;
}

void BM_ParseRecordInfo(benchmark::State& state) {
    const Records& r = records();
    char out[81];
    std::size_t i = static_cast<std::size_t>(state.thread_index()) * 64 % r.texts.size();
    for (auto _ : state) {
        const BOOL16 ok = SK_ParseRecordInfo(kVKey, r.texts[i].c_str(), out);
        if (ok != -1) {
            state.SkipWithError("record rejected");
            break;
        }
        benchmark::DoNotOptimize(out);
        i = (i + 1) % r.texts.size();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.counters["records/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}
// One and two threads at once (wall-clock time, so the rate is the total):
// the export shares nothing between calls, so two threads should come near
// twice the records per second of one on two free cores.
BENCHMARK(BM_ParseRecordInfo)->Threads(1)->Threads(2)->UseRealTime();

void BM_OpenSslRecordBlocks(benchmark::State& state) {
    const Records& r = records();
    Des recordKey(skylark::kRecordKey);
    Des verify(standins::kVerifyKey);
    std::size_t i = 0;
    for (auto _ : state) {
        std::uint8_t p[48];
        std::memcpy(p, r.bytes[i].data(), 48);
        for (int at = 0; at < 40; at += 8) recordKey.decrypt(p + at);
        std::uint8_t chain[8], body[8];
        chainCode(p, kVKey, verify, chain);
        bodyCode(p, verify, body);
        const bool ok = std::memcmp(chain, p + 40, 8) == 0 && std::memcmp(body, p + 8, 4) == 0;
        if (!ok) {
            state.SkipWithError("record rejected");
            break;
        }
        benchmark::DoNotOptimize(p);
        i = (i + 1) % r.bytes.size();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_OpenSslRecordBlocks);

}  // namespace

