// Single-block DES through a CDesKey, side by side with OpenSSL's
// DES_ecb_encrypt on a prepared DES_key_schedule doing the same block
// operation under the same key.
//
// Every benchmark feeds each output block back in as the next input, so the
// blocks form a chain the compiler cannot drop or overlap; the figure is the
// time of one block operation including, for CDesKey, packing its subkeys.

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "security/des.h"

namespace {

const std::uint8_t kKey[8] = {0x13, 0x34, 0x57, 0x79, 0x9B, 0xBC, 0xDF, 0xF1};
const std::uint8_t kBlock[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};

void OpenSslSchedule(DES_key_schedule* ks) {
    DES_cblock key;
    std::memcpy(key, kKey, 8);
    DES_set_key_unchecked(&key, ks);
}

void BM_DesEncrypt(benchmark::State& state) {
    const CDesKey key(kKey);
    std::uint8_t block[8];
    std::memcpy(block, kBlock, 8);
    for (auto _ : state) {
        skylark::desEncrypt(block, block, key);
        benchmark::DoNotOptimize(block);
    }
}
BENCHMARK(BM_DesEncrypt);

void BM_OpenSslEncrypt(benchmark::State& state) {
    DES_key_schedule ks;
    OpenSslSchedule(&ks);
    DES_cblock block;
    std::memcpy(block, kBlock, 8);
    for (auto _ : state) {
        DES_ecb_encrypt(&block, &block, &ks, DES_ENCRYPT);
        benchmark::DoNotOptimize(block);
    }
}
BENCHMARK(BM_OpenSslEncrypt);

void BM_DesDecrypt(benchmark::State& state) {
    const CDesKey key(kKey);
    std::uint8_t block[8];
    std::memcpy(block, kBlock, 8);
    for (auto _ : state) {
        skylark::desDecrypt(block, block, key);
        benchmark::DoNotOptimize(block);
    }
}
BENCHMARK(BM_DesDecrypt);

void BM_OpenSslDecrypt(benchmark::State& state) {
    DES_key_schedule ks;
    OpenSslSchedule(&ks);
    DES_cblock block;
    std::memcpy(block, kBlock, 8);
    for (auto _ : state) {
        DES_ecb_encrypt(&block, &block, &ks, DES_DECRYPT);
        benchmark::DoNotOptimize(block);
    }
}
BENCHMARK(BM_OpenSslDecrypt);

// Packed once, outside the loop: the cost of the rounds alone.
void BM_DesSchedulePackedDecrypt(benchmark::State& state) {
    const skylark::DesSchedule schedule = skylark::DesSchedule::from(CDesKey(kKey));
    std::uint8_t block[8];
    std::memcpy(block, kBlock, 8);
    for (auto _ : state) {
        schedule.decrypt(block, block);
        benchmark::DoNotOptimize(block);
    }
}
BENCHMARK(BM_DesSchedulePackedDecrypt);

// The cost of packing a CDesKey by itself.
void BM_DesScheduleFrom(benchmark::State& state) {
    const CDesKey key(kKey);
    for (auto _ : state) {
        skylark::DesSchedule schedule = skylark::DesSchedule::from(key);
        benchmark::DoNotOptimize(schedule);
    }
}
BENCHMARK(BM_DesScheduleFrom);

// The record decoder's benchmark is in record_bench.cpp.

}  // namespace

