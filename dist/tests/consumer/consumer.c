/* A host built against the installed tree: converts a few bytes and checks
 * the version it was compiled with. Exits 0 when all is right. */
#include <stdio.h>
#include <string.h>

#include <skylark.h>

int main(void) {
    static const unsigned char id[4] = {0x00, 0xAB, 0x9F, 0x12};
    char hex[9];
    BinToHex(id, 4, hex);
    printf("Skylark %s: %s\n", SKYLARK_VERSION, hex);
    return strcmp(hex, "00AB9F12") != 0;
}
