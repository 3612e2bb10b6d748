/*
 * A C host that links Skylark through its import library, as a Windows
 * program built by another toolchain would: it calls a few exports by the
 * names skylark.h declares and exits with 0 when every answer is right, or
 * with the number of the first wrong one.
 *
 * Built twice: with MinGW against libSkylark.dll.a (a normal program), and
 * freestanding against Skylark.lib with lld-link (SKYLARK_FREESTANDING: no C
 * runtime, an entry point that ends in ExitProcess).
 */
#include "skylark.h"

static int same(const char* a, const char* b) {
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

static int run(void) {
    static const unsigned char id[4] = {0x00, 0xAB, 0x9F, 0x12};
    char hex[13];
    unsigned char bcd[6];
    unsigned char back[4];
    SK_ULONG count = 7;
    double date;

    BinToHex(id, 4, hex);
    if (!same(hex, "00AB9F12")) return 1;

    DateToBcd(bcd, 40251.37855324074); /* 14 March 2010 09:05:07 */
    BinToHex(bcd, 6, hex);
    if (!same(hex, "100314090507")) return 2;

    date = BcdToDate(bcd);
    if (date < 40251.3785 || date > 40251.3786) return 3;

    if (HexToBin("de:ad be-ef", back, 4) != 4 || back[0] != 0xDE || back[3] != 0xEF) return 4;

    /* Handle 0 names no channel: ClockLink fails, the library says 0 and
     * writes nothing. */
    if (SK_GetTime(0, &date) != 0) return 5;
    if (SKM_GetRaceCount(0, &count) != 0 || count != 7) return 6;
    return 0;
}

#ifdef SKYLARK_FREESTANDING
__declspec(dllimport) void SKAPI_CALL ExitProcess(unsigned int code);

/* Marks a program that uses floating point; the C runtime defines it. */
int _fltused = 0;

void start(void) { ExitProcess((unsigned int)run()); }
#else
int main(void) { return run(); }
#endif
