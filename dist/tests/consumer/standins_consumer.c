/* A host built against the installed stand-ins: puts a virtual M clock
 * behind a channel handle, authenticates it through Skylark and reads its
 * time. Links only because the stand-ins' pkg-config file and CMake targets
 * bring the stand-in ClockLink along. With a file name, also writes one
 * stored record the clock hands out as a "key,record" line for
 * skylark-records. Exits 0 when all is right. */
#include <stdio.h>

#include <skylark.h>
#include <virtual_clock.h>

static int storedRecord(const char* path) {
    static const unsigned char vKey[8] = {0x01, 0x80, 0x7F, 0xFF, 0x00, 0x55, 0xAA, 0x33};
    const char* key = "5241434532303130";
    const double start = 40251.375; /* 14 March 2010 09:00 */
    char stored[97];
    FILE* f;
    CLV_ULONG h = CLV_Open(CLV_KIND_M);
    int ok = h != 0 && SK_InitDev(h) != 0 && SK_Connect(h) != 0 &&
             SKM_CreateRace(h, key, start, start + 0.5, 0) != 0 &&
             SKM_AddRaceCard(h, "0123456789AB0000") != 0 &&
             SKM_ConfirmRace(h, key, 1, "\0\0\0\0\0\0\0\0") != 0 &&
             CLV_RecordArrival(h, 0, "0123456789AB", start + 0.0625) == CLV_OK &&
             CLV_GetStoredRecord(h, 0, 0, vKey, stored) == CLV_OK;
    CLV_Close(h);
    if (!ok || (f = fopen(path, "w")) == NULL) return 0;
    fprintf(f, "0180" "7FFF" "0055" "AA33,%s\n", stored);
    return fclose(f) == 0;
}

int main(int argc, char** argv) {
    CLV_ULONG h = CLV_Open(CLV_KIND_M);
    double t = 0.0;
    int ok = h != 0 && SK_InitDev(h) != 0 && SK_Connect(h) != 0 && SK_SetPigeon(h, 46158.25) != 0 &&
             SK_GetTime(h, &t) != 0 && t >= 46158.25 && t < 46158.26;
    printf("virtual M clock %lu: %s\n", (unsigned long)h, ok ? "connected, time set" : "FAILED");
    CLV_Close(h);
    if (ok && argc > 1) {
        ok = storedRecord(argv[1]);
        printf("stored record to %s: %s\n", argv[1], ok ? "written" : "FAILED");
    }
    return !ok;
}
