// The ring-tag exports against a test reader whose tag pages and call
// results are fuzzed (results of any int value, pages of any bytes).
//  - Result 0: outputs untouched; -1: hex outputs of their stated length.
//  - On an undisturbed reader, a ring and race number that SKR_FormatCard
//    accepted read back unchanged with SKR_ReadCard.
#include "skylark/skylark.h"
#include "fuzz_support.h"
#include "standins/ringreader/test_reader.h"

namespace {

int fuzzedResult(fuzz::Input& in) {
    switch (in.u8() % 5) {
        case 0: return 0;
        case 1: return 1;
        case 2: return -1;
        case 3: return 0x10000;  // only bits above the low 16
        default: return static_cast<int>(in.u32());
    }
}

void disturbed(fuzz::Input& in) {
    const SK_ULONG reader = RRT_OpenTestReader();
    unsigned char uid4[4] = {};
    in.fill(uid4, 4);
    RRT_InsertTag(reader, uid4);
    for (SK_ULONG page = 0; page < 16; ++page) {
        unsigned char p[4] = {};
        in.fill(p, 4);
        RRT_SetPage(reader, page, p);
    }
    const int scripted = in.u8() % 12;
    for (int i = 0; i < scripted; ++i) {
        RrtAnswer a;
        std::memset(&a, 0, sizeof a);
        const SK_ULONG index = in.u8() % 16;
        a.result = fuzzedResult(in);
        in.fill(a.data, 16);
        RRT_Script(reader, index, &a);
    }

    const std::string ring = in.text(20), race = in.text(20);
    for (int step = 0; step < 4; ++step) {
        fuzz::Out<13> a;
        fuzz::Out<9> b;
        BOOL16 r = 0;
        switch (in.u8() % 4) {
            case 0:
                r = SKR_ActiveCard(reader, b.text());
                fuzz::check(r == 0 ? b.untouched() : b.isHex(8), "ActiveCard output");
                break;
            case 1:
                r = SKR_ReadCard(reader, a.text(), b.text());
                fuzz::check(r == 0 ? a.untouched() && b.untouched() : a.isHex(12) && b.isHex(8),
                            "ReadCard outputs");
                break;
            case 2: r = SKR_FormatCard(reader, ring.c_str(), race.c_str()); break;
            case 3: r = SKR_DeactiveCard(reader); break;
        }
        fuzz::check(r == 0 || r == -1, "result -1 or 0");
    }
    RRT_Close(reader);
}

void roundTrip(fuzz::Input& in) {
    const SK_ULONG reader = RRT_OpenTestReader();
    RRT_InsertTag(reader, reinterpret_cast<const unsigned char*>("\x04\x03\x02\x01"));
    const std::string ring = in.text(30), race = in.text(30);
    if (SKR_FormatCard(reader, ring.c_str(), race.c_str()) == -1) {
        fuzz::Out<13> ringOut;
        fuzz::Out<9> raceOut;
        fuzz::check(SKR_ReadCard(reader, ringOut.text(), raceOut.text()) == -1,
                    "formatted tag reads");
        unsigned char ringBytes[6] = {}, raceBytes[4] = {};
        HexToBin(ring.c_str(), ringBytes, 6);
        HexToBin(race.c_str(), raceBytes, 4);
        char ringHex[13], raceHex[9];
        BinToHex(ringBytes, 6, ringHex);
        BinToHex(raceBytes, 4, raceHex);
        fuzz::check(std::strcmp(ringHex, ringOut.text()) == 0 &&
                        std::strcmp(raceHex, raceOut.text()) == 0,
                    "ReadCard gives back what FormatCard wrote");
    }
    RRT_Close(reader);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    if (in.u8() & 1)
        roundTrip(in);
    else
        disturbed(in);
    return 0;
}
