/* A host built against the installed tree: converts a few bytes and checks
 * the version it was compiled with. Exits 0 when all is right. Every
 * installed header is included, so each one is shown to be there and to
 * compile as C beside the others. */
#include <stdio.h>
#include <string.h>

#include <clocklink.h>
#include <skylark.h>
#include <virtual_clock.h>
#include <virtual_reader.h>

int main(void) {
    static const unsigned char id[4] = {0x00, 0xAB, 0x9F, 0x12};
    char hex[9];
    BinToHex(id, 4, hex);
    printf("Skylark %s: %s\n", SKYLARK_VERSION, hex);
    return strcmp(hex, "00AB9F12") != 0;
}
