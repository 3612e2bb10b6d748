/* skylark_race_download: a host's download of a race day, as a club's
 * software does it: opens a clock file of the stand-in ClockLink (in place of
 * opening a real clock's channel), authenticates with the password, finds
 * every race and downloads each arrival with its proof.
 *
 *   skylark_race_download CLOCK.json [PASSWORD]
 *
 * Plain C against Skylark's public header and the stand-ins' header only.
 * Exit status: 0 every arrival downloaded and proven, 1 otherwise. */
#include <stdio.h>
#include <string.h>

#include "skylark.h"
#include "clocklink.h"
#include "virtual_clock.h"

static void iso(double date, char* out) {
    unsigned char bcd[6];
    char hex[13];
    DateToBcd(bcd, date);
    BinToHex(bcd, 6, hex);
    sprintf(out, "20%.2s-%.2s-%.2sT%.2s:%.2s:%.2s", hex, hex + 2, hex + 4, hex + 6, hex + 8, hex + 10);
}

int main(int argc, char** argv) {
    int err = 0, failed = 0;
    SK_ULONG h, races = 0, r;
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: skylark_race_download CLOCK.json [PASSWORD]\n");
        return 2;
    }
    h = CLV_Load(argv[1], &err);
    if (h == 0) {
        fprintf(stderr, "%s: %s\n", argv[1], CLV_ErrorText(err));
        return 1;
    }
    if (SK_ConnectEx(h, argc > 2 ? argv[2] : "") == 0) {
        fprintf(stderr, "authentication refused: %s\n", CLV_ErrorText((int)IFD_GetErrCode(h)));
        CLV_Close(h);
        return 1;
    }
    if (SKM_GetRaceCount(h, &races) == 0) races = 0;
    for (r = 0; r < races; ++r) {
        char key[17], when1[20];
        double t1 = 0, t2 = 0;
        SK_ULONG arrivals = 0, i;
        if (SKM_GetRaceInfo(h, r, key, &t1, &t2, &arrivals) == 0) {
            ++failed;
            continue;
        }
        iso(t1, when1);
        printf("race %lu, key %s, from %s: %lu arrivals\n", (unsigned long)r, key, when1, (unsigned long)arrivals);
        for (i = 0; i < arrivals; ++i) {
            char body[33], lead[9], when[20];
            double at = 0;
            if (SKM_GetRaceRecord(h, r, i, body, &at, lead) == 0) {
                printf("  %4lu  refused: the record does not prove\n", (unsigned long)i);
                ++failed;
                continue;
            }
            iso(at, when);
            printf("  %4lu  ring %.12s  arrived %s  proven\n", (unsigned long)i, body, when);
        }
    }
    CLV_Close(h);
    return failed ? 1 : 0;
}
