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
    printf("Skylark demo: a host's road on virtual devices\n");
    tag_road();

    printf("\n%s\n", failed_steps == 0 ? "All steps passed." : "Some steps FAILED.");
    return failed_steps == 0 ? 0 : 1;
}
