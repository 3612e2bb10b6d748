/*
 * A host program: the typical road of a racing host against the virtual
 * devices of the ClockLink and RingReader stand-ins, through Skylark's
 * public exports only. It prints a step log, the table of arrivals and, on a
 * terminal, a progress line while downloading; it exits with 1 if any step
 * fails.
 */
#include <stdio.h>
#include <string.h>

#if defined(_WIN32)
#include <io.h>
#define stdout_is_terminal() _isatty(_fileno(stdout))
#else
#include <unistd.h>
#define stdout_is_terminal() isatty(STDOUT_FILENO)
#endif

#include "skylark.h"
#include "virtual_clock.h"
#include "virtual_reader.h"

static int failed_steps;

/* One line of the step log: what was done and whether it went as expected. */
static int step(int ok, const char* what, const char* detail)
{
    printf("  %-4s %-30s %s\n", ok ? "ok" : "FAIL", what, detail ? detail : "");
    if (!ok) failed_steps++;
    return ok;
}

static void section(const char* title)
{
    printf("\n%s\n", title);
}

/* "2026-05-16 09:41:07" from an OLE date, through the library's BCD codec. */
static const char* date_text(double date, char* out, size_t size)
{
    unsigned char bcd[6];
    DateToBcd(bcd, date);
    snprintf(out, size, "20%02X-%02X-%02X %02X:%02X:%02X", bcd[0], bcd[1], bcd[2], bcd[3],
             bcd[4], bcd[5]);
    return out;
}

/* Race day: 16 May 2026 (OLE date 46158); times as fractions of a day. */
#define RACE_DAY 46158.0
#define AT(h, m, s) (RACE_DAY + ((h) * 3600.0 + (m) * 60.0 + (s)) / 86400.0)

/* The team: twelve rings registered in the clock, ten of which come home. */
static const char* const team[] = {
    "2026A0010001", "2026A0010002", "2026A0010003", "2026A0010004",
    "2026A0010005", "2026A0010006", "2026A0010007", "2026A0010008",
    "2026A0010009", "2026A0010010", "2026A0010011", "2026A0010012",
};
#define TEAM_SIZE (sizeof team / sizeof team[0])
#define HOME 10 /* birds that arrive */

/* ---- M clock --------------------------------------------------------------- */

static const char* const log_names[] = {
    [0x01] = "initialised", [0x02] = "authenticated", [0x03] = "authentication refused",
    [0x04] = "time set", [0x05] = "in-system programming", [0x10] = "race created",
    [0x11] = "race confirmed", [0x12] = "race closed", [0x13] = "race removed",
    [0x14] = "races deposed", [0x15] = "arrival", [0x20] = "ring registered",
    [0x21] = "ring modified", [0x22] = "ring removed", [0x30] = "training created",
    [0x31] = "training confirmed", [0x32] = "training closed", [0x33] = "training removed",
    [0x34] = "training arrival", [0x40] = "setting changed",
};

static const char* log_name(unsigned type)
{
    if (type < sizeof log_names / sizeof log_names[0] && log_names[type] != NULL)
        return log_names[type];
    return "?";
}

/* Downloads every arrival of the race at index, with its proof, and prints
 * the arrival table. Returns the number of proven records. */
static unsigned download_race(SK_ULONG clock, SK_ULONG index, SK_ULONG arrivals)
{
    const int terminal = stdout_is_terminal();
    char rows[HOME][80];
    unsigned proven = 0, shown = 0;
    SK_ULONG i;

    for (i = 0; i < arrivals; i++) {
        char record[33], lead[9], when[24];
        double arrived = 0.0;
        const int ok = SKM_GetRaceRecord(clock, index, i, record, &arrived, lead) != 0;
        if (terminal) {
            printf("\r  downloading %lu/%lu", (unsigned long)(i + 1), (unsigned long)arrivals);
            fflush(stdout);
        }
        if (ok) proven++;
        if (shown < HOME) {
            if (ok) {
                snprintf(rows[shown], sizeof rows[shown], "    %-3lu %.12s   %s   yes",
                         (unsigned long)(i + 1), record, date_text(arrived, when, sizeof when));
            } else {
                snprintf(rows[shown], sizeof rows[shown], "    %-3lu (download refused)",
                         (unsigned long)(i + 1));
            }
            shown++;
        }
    }
    if (terminal) printf("\r%40s\r", "");
    printf("    #   ring           arrival time          verified\n");
    for (i = 0; i < shown; i++) printf("%s\n", rows[i]);
    return proven;
}

static void m_clock_road(void)
{
    static const char* const race_key = "5241434532303236"; /* "RACE2026" */
    static const unsigned char record_key[8] = {'l', 'o', 'f', 't', '-', 'k', 'e', 'y'};
    char text[128], line[160], when[24], key[17], info[33];
    SK_ULONG clock, count = 0, index = 0, figure = 0, max_log = 0, i;
    double t = 0.0, first = 0.0, second = 0.0;
    unsigned proven;
    int ok;

    section("M clock: the typical road");
    clock = CLV_Open(CLV_KIND_M);
    if (!step(clock != 0, "CLV_Open", "a fresh virtual M clock")) return;

    step(SK_InitDevEx(clock, "pigeon42") != 0, "SK_InitDevEx", "initialised, password set");
    step(SK_ConnectEx(clock, "letmein") == 0, "SK_ConnectEx (wrong password)", "refused");
    step(SK_ConnectEx(clock, "pigeon42") != 0, "SK_ConnectEx", "channel authenticated");
    step(SK_GetDevInfo(clock, info) != 0, "SK_GetDevInfo", info);

    ok = SK_SetPigeon(clock, AT(6, 0, 0)) != 0 && SK_GetTime(clock, &t) != 0;
    step(ok && t >= AT(6, 0, 0) && t < AT(6, 1, 0), "SK_SetPigeon, SK_GetTime",
         date_text(t, when, sizeof when));

    ok = 1;
    for (i = 0; i < TEAM_SIZE; i++)
        ok &= SKM_AppendCard(clock, team[i], 1, 2026, (SK_ULONG)i + 1, 0, 0x00010000UL + i,
                             "4C4F46542D4E4F52544800") != 0;
    ok &= SKM_GetCardCount(clock, &count) != 0;
    snprintf(line, sizeof line, "%lu rings registered", (unsigned long)count);
    step(ok && count == TEAM_SIZE, "SKM_AppendCard x12", line);

    ok = SKM_CreateRace(clock, race_key, AT(7, 30, 0), AT(21, 0, 0), 180000) != 0;
    snprintf(line, sizeof line, "race %s, liberation 07:30, closing 21:00", race_key);
    step(ok, "SKM_CreateRace", line);
    ok = 1;
    for (i = 0; i < TEAM_SIZE; i++) {
        snprintf(text, sizeof text, "%s0000", team[i]);
        ok &= SKM_AddRaceCard(clock, text) != 0;
    }
    step(ok, "SKM_AddRaceCard x12", "the team basketed");
    step(SKM_ConfirmRace(clock, race_key, 12, "BASKET01") != 0, "SKM_ConfirmRace", "race sealed");

    /* The day passes: the clock's time moves on to each arrival. */
    ok = 1;
    for (i = 0; i < HOME; i++) {
        const double arrival = AT(9, 41, 7) + i * 83.0 / 86400.0;
        ok &= CLV_SetClockTime(clock, arrival) == CLV_OK &&
              CLV_RecordArrival(clock, 0, team[(i * 7) % TEAM_SIZE], arrival) == CLV_OK;
    }
    step(ok, "birds arrive", "10 of 12 birds clocked in");

    ok = SKM_GetRaceCount(clock, &count) != 0 && SKM_GetRaceIndex(clock, race_key, &index) != 0 &&
         SKM_GetRaceInfo(clock, index, key, &first, &second, &figure) != 0;
    snprintf(line, sizeof line, "%lu race(s); %s at index %lu, %lu arrivals", (unsigned long)count,
             key, (unsigned long)index, (unsigned long)figure);
    step(ok && strcmp(key, race_key) == 0 && figure == HOME, "find the race", line);

    printf("\n");
    proven = download_race(clock, index, figure);
    printf("\n");
    snprintf(line, sizeof line, "%u of %lu records proven", proven, (unsigned long)figure);
    step(proven == HOME, "SKM_GetRaceRecord", line);

    {
        char record[33], lead[9];
        double arrived;
        CLV_SetFault(clock, CLV_FAULT_TAMPER, 77);
        step(SKM_GetRaceRecord(clock, index, 0, record, &arrived, lead) == 0,
             "tampered reply", "one bit flipped on the wire: refused");
        CLV_SetFault(clock, CLV_FAULT_CUT, 3);
        step(SKM_GetRaceRecord(clock, index, 0, record, &arrived, lead) == 0, "short reply",
             "three bytes cut: refused");
        step(SKM_GetRaceRecord(clock, index, 0, record, &arrived, lead) != 0, "clean reply",
             "accepted again");
    }

    step(SKM_CloseRace(clock, race_key) != 0, "SKM_CloseRace", "race closed");

    ok = 1;
    for (i = 0; i < HOME; i++) {
        char stored[97], plain[81];
        ok &= CLV_GetStoredRecord(clock, index, i, record_key, stored) == CLV_OK &&
              SK_ParseRecordInfo(record_key, stored, plain) != 0;
        if (i == 0 && ok) {
            stored[40] = stored[40] == '0' ? '1' : '0';
            step(SK_ParseRecordInfo(record_key, stored, plain) == 0, "SK_ParseRecordInfo (altered)",
                 "a stored record with one digit changed: refused");
        }
    }
    snprintf(line, sizeof line, "%d stored 48-byte records decrypted and proven", HOME);
    step(ok, "SK_ParseRecordInfo", line);
    {
        /* A decoded record: body (ring first), arrival time (BCD), lead field. */
        char stored[97], plain[81];
        if (CLV_GetStoredRecord(clock, index, HOME - 1, record_key, stored) == CLV_OK &&
            SK_ParseRecordInfo(record_key, stored, plain) != 0)
            printf("    last record: ring %.12s, arrived 20%.2s-%.2s-%.2s %.2s:%.2s:%.2s,"
                   " clock %.8s\n",
                   plain, plain + 32, plain + 34, plain + 36, plain + 38, plain + 40, plain + 42,
                   plain + 44);
    }
    {
        char masked[49], plain[49];
        ok = CLV_GetMaskedRecord(clock, index, 0, masked) == CLV_OK &&
             SK_ParseRecordInfo2(0, masked, plain) != 0;
        snprintf(line, sizeof line, "first arrival unmasked: ring %.12s", plain);
        step(ok && strncmp(plain, team[0], 12) == 0, "SK_ParseRecordInfo2", line);
    }

    ok = SKM_GetMaxLogNo(clock, &max_log) != 0;
    snprintf(line, sizeof line, "%lu entries, the first five and the last three:",
             (unsigned long)max_log);
    step(ok && max_log > 8, "SKM_GetMaxLogNo", line);
    for (i = 1; ok && i <= max_log; i++) {
        unsigned char type = 0;
        char data[51];
        if (i == 6 && max_log > 8) {
            printf("    ...\n");
            i = max_log - 3;
            continue;
        }
        ok = SKM_GetLogInfo(clock, i, &type, &t, data) != 0;
        if (ok && type == CLV_LOG_AUTH_REFUSED) {
            /* The entry carries the clock's error code. */
            unsigned char code = 0;
            HexToBin(data, &code, 1);
            snprintf(text, sizeof text, "%s (%s)", data, CLV_ErrorText(code));
        } else if (ok) {
            snprintf(text, sizeof text, "%s", data);
        }
        if (ok)
            printf("    %4lu  %s  %-22s %s\n", (unsigned long)i, date_text(t, when, sizeof when),
                   log_name(type), text);
    }
    step(ok, "SKM_GetLogInfo", "every entry read");
    CLV_Close(clock);
}

/* ---- S and H clocks -------------------------------------------------------- */

static void s_clock_road(void)
{
    static const char* const race_key = "5352414345303031";
    char line[96], record[33], when[24];
    SK_ULONG clock, first = 0, second = 0, i;
    unsigned char state = 0;
    double t = 0.0, arrived = 0.0;
    int ok;

    section("S clock: one race");
    clock = CLV_Open(CLV_KIND_S);
    if (!step(clock != 0, "CLV_Open", "a fresh virtual S clock")) return;
    step(SK_Connect(clock) != 0, "SK_Connect", "no password: authenticated");
    step(SK_SetPigeon(clock, AT(6, 0, 0)) != 0, "SK_SetPigeon", "clock set to 06:00:00");
    step(SKS_CreateRace(clock, race_key, AT(7, 30, 0), AT(21, 0, 0)) != 0, "SKS_CreateRace",
         race_key);
    ok = 1;
    for (i = 0; i < 3; i++) ok &= CLV_RecordArrival(clock, 0, team[i], AT(10, 2, 0) + i * 40 / 86400.0) == CLV_OK;
    step(ok, "birds arrive", "3 birds clocked in");
    ok = SKS_QueryState(clock, &state, &t, &first, &second) != 0;
    snprintf(line, sizeof line, "state %02X, counters %lu and %lu", state, (unsigned long)first,
             (unsigned long)second);
    step(ok, "SKS_QueryState", line);
    for (i = 0; i < 3; i++) {
        ok = SKS_GetRaceRecord(clock, i, record, &arrived) != 0;
        snprintf(line, sizeof line, "ring %.12s at %s, verified", record,
                 date_text(arrived, when, sizeof when));
        step(ok && strncmp(record, team[i], 12) == 0, "SKS_GetRaceRecord", line);
    }
    step(SKS_ClearRace(clock) != 0, "SKS_ClearRace", "race cleared");
    CLV_Close(clock);
}

static void h_clock_road(void)
{
    static const char* const race_key = "4852414345303031";
    char line[96], key[17], ring[13], code[17], record[33], when[24];
    SK_ULONG clock, cards = 0, i;
    double t = 0.0, arrived = 0.0;
    int ok;

    section("H clock: one race with its race cards");
    clock = CLV_Open(CLV_KIND_H);
    if (!step(clock != 0, "CLV_Open", "a fresh virtual H clock")) return;
    step(SK_Connect(clock) != 0, "SK_Connect", "no password: authenticated");
    step(SK_SetPigeon(clock, AT(6, 0, 0)) != 0, "SK_SetPigeon", "clock set to 06:00:00");
    step(SKH_CreateRace(clock, race_key) != 0, "SKH_CreateRace", race_key);
    ok = 1;
    for (i = 0; i < 3; i++) ok &= SKH_AddRaceCard(clock, team[i], "C0DE000000000001", AT(6, 30, 0)) != 0;
    step(ok, "SKH_AddRaceCard x3", "three race cards");
    step(SKH_ConfirmRace(clock, race_key, 3) != 0, "SKH_ConfirmRace", "race sealed");
    ok = SKH_GetRaceInfo(clock, key, &cards) != 0;
    snprintf(line, sizeof line, "race %s, %lu cards", key, (unsigned long)cards);
    step(ok && cards == 3, "SKH_GetRaceInfo", line);
    ok = SKH_GetRaceCard(clock, 1, ring, code, &t) != 0;
    snprintf(line, sizeof line, "card 1: ring %s, code %s", ring, code);
    step(ok && strcmp(ring, team[1]) == 0, "SKH_GetRaceCard", line);
    ok = 1;
    for (i = 0; i < 2; i++) ok &= CLV_RecordArrival(clock, 0, team[i], AT(11, 15, 0) + i * 25 / 86400.0) == CLV_OK;
    step(ok, "birds arrive", "2 birds clocked in");
    for (i = 0; i < 2; i++) {
        ok = SKH_GetRaceRecord(clock, i, record, &arrived) != 0;
        snprintf(line, sizeof line, "ring %.12s at %s, verified", record,
                 date_text(arrived, when, sizeof when));
        step(ok && strncmp(record, team[i], 12) == 0, "SKH_GetRaceRecord", line);
    }
    step(SKH_ClearRace(clock) != 0, "SKH_ClearRace", "race cleared");
    CLV_Close(clock);
}

/* ---- Ring tags ------------------------------------------------------------- */

static void tag_road(void)
{
    static const unsigned char uid[4] = {0x5A, 0x01, 0xC3, 0x7E};
    const char* ring = "2026A0012345";
    const char* race = "00000017";
    char uid_text[9] = "", ring_text[13] = "", race_text[9] = "", line[96];
    unsigned char page[4];
    RRV_HANDLE reader;
    int ok;

    section("Ring tag on a virtual reader");
    reader = RRV_Open();
    if (!step(reader != 0 && RRV_PutTag(reader, uid), "tag into the field", "UID 5A01C37E"))
        return;

    step(SKR_ActiveCard(reader, uid_text) != 0 && strcmp(uid_text, "5A01C37E") == 0,
         "SKR_ActiveCard", uid_text);
    snprintf(line, sizeof line, "ring %s, race %s", ring, race);
    step(SKR_FormatCard(reader, ring, race) != 0, "SKR_FormatCard", line);
    step(RRV_ReadTagPage(reader, NULL, 1, page) && page[1] == 0x08, "configuration page",
         "byte 1 reads 08");
    ok = SKR_ReadCard(reader, ring_text, race_text) != 0;
    snprintf(line, sizeof line, "ring %s, race %s", ring_text, race_text);
    step(ok && strcmp(ring_text, ring) == 0 && strcmp(race_text, race) == 0, "SKR_ReadCard", line);
    step(SKR_DeactiveCard(reader) != 0, "SKR_DeactiveCard", "tag released");

    /* A tag that loses a write: the read-back catches it. */
    RRV_FailNextWrite(reader, RRV_WRITE_LOST);
    SKR_ActiveCard(reader, uid_text);
    step(SKR_FormatCard(reader, "1999FF000001", race) == 0, "lost write caught",
         "SKR_FormatCard fails on the read-back");
    SKR_DeactiveCard(reader);
    RRV_TakeTag(reader);
    RRV_Close(reader);
}

int main(void)
{
    printf("Skylark demo: a racing host's road on the virtual clocks and tag reader\n");
    m_clock_road();
    s_clock_road();
    h_clock_road();
    tag_road();

    printf("\n%s\n", failed_steps == 0 ? "All steps passed." : "Some steps FAILED.");
    return failed_steps == 0 ? 0 : 1;
}
