// The virtual tag reader's calls, RRV_ and RingReader's HTS_, in any order
// with any pages, null buffers and unknown handles.
//  - Results are 0 or 1; an output is written whole on 1 (nothing past its
//    size) and not at all on 0.
//  - A page write that reports success without a write fault armed reads
//    back as written.
#include "fuzz_support.h"
#include "ring/ringreader.h"
#include "skylark/virtual_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const RRV_HANDLE reader = RRV_Open();
    fuzz::check(reader != 0, "RRV_Open");
    bool faultArmed = false;
    for (int step = 0; step < 64 && !in.empty(); ++step) {
        const std::uint8_t op = in.u8();
        // Now and then a handle that names no reader.
        const RRV_HANDLE h = (op & 0x80) ? reader + 1 + in.u8() : reader;
        const bool known = h == reader;
        const SK_ULONG page = (op & 0x40) ? in.u32() : in.u8() % 20u;
        int r = 0;
        fuzz::context = "op " + std::to_string(op % 9) + " page " + std::to_string(page);
        switch (op % 9) {
            case 0: {
                unsigned char uid[4] = {};
                in.fill(uid, 4);
                r = RRV_PutTag(h, (op & 0x20) ? nullptr : uid);
                break;
            }
            case 1: r = RRV_TakeTag(h); break;
            case 2: {
                fuzz::Out<4> out;
                unsigned char uid[4] = {};
                in.fill(uid, 4);
                r = RRV_ReadTagPage(h, (op & 0x20) ? nullptr : uid, page, out.bytes);
                fuzz::check(r == 1 ? out.slackUntouched() : out.untouched(), "RRV_ReadTagPage output");
                break;
            }
            case 3:
                r = RRV_FailNextWrite(h, in.u8() % 4);
                if (r == 1) faultArmed = true;
                break;
            case 4: {
                fuzz::Out<4> uid;
                r = HTS_Active(h, (op & 0x20) ? nullptr : uid.bytes);
                fuzz::check(r == 1 ? uid.slackUntouched() : uid.untouched(), "HTS_Active output");
                break;
            }
            case 5: r = HTS_Deactive(h); break;
            case 6: {
                fuzz::Out<4> out;
                r = HTS_ReadPage(h, page, (op & 0x20) ? nullptr : out.bytes);
                fuzz::check(r == 1 ? out.slackUntouched() : out.untouched(), "HTS_ReadPage output");
                break;
            }
            case 7: {
                unsigned char bytes[4] = {};
                in.fill(bytes, 4);
                r = HTS_WritePage(h, page, (op & 0x20) ? nullptr : bytes);
                if (r == 1 && !faultArmed) {
                    unsigned char back[4] = {};
                    fuzz::check(RRV_ReadTagPage(reader, nullptr, page, back) == 1 &&
                                    std::memcmp(back, bytes, 4) == 0,
                                "a reported write that did not land");
                }
                break;
            }
            default: {
                fuzz::Out<16> out;
                r = HTS_ReadBlock(h, page, (op & 0x20) ? nullptr : out.bytes);
                fuzz::check(r == 1 ? out.slackUntouched() : out.untouched(), "HTS_ReadBlock output");
                break;
            }
        }
        fuzz::check(r == 0 || r == 1, "a result that is neither 0 nor 1");
        if (!known) fuzz::check(r == 0, "an unknown reader answered");
    }
    RRV_Close(reader);
    return 0;
}
