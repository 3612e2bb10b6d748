// A small host: converts a date and a few bytes with the codecs and reads a
// clock's state byte through our ClockLink's test clock.
#include <cstdio>
#include <cstring>

#include "skylark/skylark.h"
#include "standins/clocklink/test_clock.h"

int main() {
    const unsigned char id[] = {0x00, 0xAB, 0x9F, 0x12};
    char hex[2 * sizeof id + 1];
    BinToHex(id, sizeof id, hex);
    std::printf("BinToHex      %s\n", hex);

    unsigned char bcd[6];
    DateToBcd(bcd, 40251.37855324074);  // 14 March 2010 09:05:07
    BinToHex(bcd, sizeof bcd, hex);
    std::printf("DateToBcd     %s\n", hex);
    std::printf("BcdToDate     %.8f\n", BcdToDate(bcd));

    const SK_ULONG clock = CLT_OpenTestClock();
    CltAnswer answer;
    std::memset(&answer, 0, sizeof answer);
    answer.status = 1;
    answer.reply[0] = 0x5A;
    answer.replyBytes = answer.delivered = 1;
    CLT_Queue(clock, &answer);

    unsigned char state = 0;
    const BOOL16 result = SK_GetDevState(clock, &state);
    std::printf("SK_GetDevState result %d, state 0x%02X\n", result, state);
    CLT_Close(clock);
    return result != 0 && state == 0x5A ? 0 : 1;
}
