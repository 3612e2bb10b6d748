// Hostile saved clocks. The input is either a file's text (when it starts
// with '{') or a list of edits to the saved file of an M, S or H clock that
// holds something in every table: values replaced by numbers, texts, other
// fields' values, fields removed or entries repeated.
//  - A refused file: CLV_ERR_FILE_DAMAGED or CLV_ERR_FILE_VERSION, a reason
//    within the buffer, the file left as it was.
//  - A loaded file: the clock saves again, and that file holds every field
//    as the input did (the host's save time, and a running clock's time,
//    aside); the clock is usable (password set, authenticated, time read) and
//    its save after that loads again.

#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "skylark/skylark.h"
#include "fuzz_support.h"
#include "skylark/clocklink.h"
#include "skylark/virtual_clock.h"

namespace {

using nlohmann::json;

constexpr double kStart = 46095.4;
double at(int s) { return kStart + s / 86400.0; }

using fuzz::readAll;
using fuzz::writeAll;
std::string scratch(const char* name) { return fuzz::scratch("saved", name); }

std::string savedText(SK_ULONG h) {
    const std::string path = scratch("base.json");
    if (CLV_SaveVersion(h, path.c_str(), 1) != CLV_OK) fuzz::fail("saving a base clock");
    CLV_Close(h);
    std::string text = readAll(path);
    std::remove(path.c_str());
    return text;
}

// The base files: clocks with something in every table.
const std::vector<json>& bases() {
    static const std::vector<json> files = [] {
        const char* rings[] = {"DE0000000001", "DE0000000002", "DE0000000003"};
        std::vector<json> out;
        SK_ULONG h = CLV_Open(CLV_KIND_M);
        CLV_FreezeClock(h, 1);
        SK_InitDevEx(h, "loft7");
        SK_ConnectEx(h, "loft7");
        for (const char* r : rings) SKM_AppendCard(h, r, 7, 1, 2, 3, 4, "A1A2");
        SKM_CreateRace(h, "0102030405060708", at(0), at(3600), 9);
        for (const char* r : rings) SKM_AddRaceCard(h, r);
        SKM_ConfirmRace(h, "0102030405060708", 3, "CONFIRM!");
        CLV_RecordArrival(h, 0, rings[0], at(60));
        CLV_RecordArrival(h, 0, rings[1], at(120));
        SKM_CreateRace(h, "1112131415161718", at(10), at(20), 5);
        SKM_AddRaceCard(h, rings[2]);
        SK_ULONG number = 0;
        SKM_CreateTrain(h, at(0), at(60), 0x42, &number);
        SKM_AddTrainCard(h, rings[0]);
        SKM_AddTrainCard(h, rings[1]);
        SKM_ConfirmTrain(h, number, 9);
        CLV_RecordTrainArrival(h, 0, rings[0], at(30));
        SKM_SetPhoneCode(h, "0031*20#5");
        SKM_SetSiteInfo(h, "12345678", "051234567890", "001234567890");
        CLV_SetSeed(h, 5);
        out.push_back(json::parse(savedText(h)));

        h = CLV_Open(CLV_KIND_S);
        SK_Connect(h);
        SKS_CreateRace(h, "0102030405060708", at(0), at(60));
        CLV_RecordArrival(h, 0, rings[0], at(100));
        CLV_RecordArrival(h, 0, rings[1], at(200));
        out.push_back(json::parse(savedText(h)));

        h = CLV_Open(CLV_KIND_H);
        SK_Connect(h);
        SKH_CreateRace(h, "0102030405060708");
        SKH_AddRaceCard(h, rings[0], "C0DEC0DEC0DEC0DE", at(5));
        SKH_AddRaceCard(h, rings[1], "C0DEC0DEC0DEC0DF", at(6));
        SKH_ConfirmRace(h, "0102030405060708", 2);
        CLV_RecordArrival(h, 0, rings[1], at(100));
        out.push_back(json::parse(savedText(h)));
        return out;
    }();
    return files;
}

// Every value's pointer in a document.
void pointers(const json& j, const std::string& at, std::vector<std::string>& out) {
    out.push_back(at);
    if (j.is_object())
        for (const auto& item : j.items()) pointers(item.value(), at + "/" + item.key(), out);
    else if (j.is_array())
        for (std::size_t i = 0; i < j.size(); ++i) pointers(j[i], at + "/" + std::to_string(i), out);
}

const char* const kTexts[] = {
    "", "M", "S", "H", "Q", "created", "confirmed", "closed", "2000-01-01T00:00:00",
    "2099-12-31T23:59:59", "2100-01-01T00:00:00", "2024-02-29T12:00:00", "2023-02-29T12:00:00",
    " 2026-5-16T6:0:0", "0000000000000000", "FFFFFFFFFFFFFFFF", "0102030405060708", "DE0000000001",
    "DE00000000010000", "6c6f667437000000", "4100420000000000", "skylark-virtual-clock"};

json value(fuzz::Input& in, const json& doc, const std::vector<std::string>& where) {
    switch (in.u8() % 8) {
    case 0: return in.u32();
    case 1: return static_cast<std::int64_t>(static_cast<std::uint64_t>(in.u32()) << 32 | in.u32());
    case 2: return -static_cast<std::int64_t>(in.u16());
    case 3: return in.u8() % 2 == 0;
    case 4: return nullptr;
    case 5: return kTexts[in.u8() % (sizeof kTexts / sizeof kTexts[0])];
    case 6: return doc.at(json::json_pointer(where[in.u16() % where.size()]));
    default: return static_cast<double>(in.u16()) / 4;
    }
}

// The base file of the input's choice with the input's edits.
std::string edited(fuzz::Input& in) {
    json doc = bases()[in.u8() % 3];
    for (int edits = 1 + in.u8() % 4; edits > 0 && !in.empty(); --edits) {
        std::vector<std::string> where;
        pointers(doc, "", where);
        if (where.size() < 2) break;
        const std::string target = where[1 + in.u16() % (where.size() - 1)];
        const json::json_pointer p(target);
        const int op = in.u8() % 4;
        if (op == 0) {  // remove the field or entry
            json& parent = doc.at(p.parent_pointer());
            if (parent.is_object()) parent.erase(p.back());
            else parent.erase(static_cast<std::size_t>(std::stoul(p.back())));
        } else if (op == 1 && doc.at(p.parent_pointer()).is_array()) {  // repeat an entry
            json& parent = doc.at(p.parent_pointer());
            parent.push_back(doc.at(p));
        } else {
            doc.at(p) = value(in, doc, where);
        }
    }
    return doc.dump(in.u8() % 2 == 0 ? 1 : -1);
}

// The fields a save writes afresh: the host's save time, and the time of a
// clock that runs.
json comparable(json j) {
    j.erase("saved_at");
    if (!j.value("frozen", true)) j.erase("time");
    if (!j.contains("seed")) j["seed"] = nullptr;
    return j;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::string text = size > 0 && data[0] == '{'
                                 ? std::string(reinterpret_cast<const char*>(data), size)
                                 : edited(in);
    fuzz::context = text.substr(0, 2000);
    const std::string file = scratch("in.json"), again = scratch("again.json");
    writeAll(file, text);
    int err = -1;
    char why[128];
    std::memset(why, 0x5A, sizeof why);
    const SK_ULONG h = CLV_LoadEx(file.c_str(), &err, why, 100);
    fuzz::check(readAll(file) == text, "the file is left as it was");
    std::remove(file.c_str());
    fuzz::check(std::memchr(why, '\0', 100) != nullptr && why[100] == 0x5A,
                "the reason ends within its buffer");
    if (h == 0) {
        fuzz::check(err == CLV_ERR_FILE_DAMAGED || err == CLV_ERR_FILE_VERSION,
                    "a refusal is damaged or newer");
        fuzz::check(why[0] != '\0', "a refusal says why");
        return 0;
    }
    fuzz::check(err == CLV_OK && why[0] == '\0', "a loaded file reports no error");
    // A version-1 file spells every field, so its version-1 save must say the
    // same; a version-2 file leaves fields to their defaults.
    fuzz::check(CLV_SaveVersion(h, again.c_str(), 1) == CLV_OK, "a loaded clock saves");
    const json input = json::parse(text);
    if (input.contains("version") && input["version"] == 1) {
        fuzz::check(comparable(input) == comparable(json::parse(readAll(again))),
                    "the save holds every field as loaded");
    }
    // Usable: a password set, the channel authenticated, the time read;
    // then its save loads again.
    fuzz::check(CLV_SetPassword(h, "fz") == CLV_OK, "password set");
    fuzz::check(SK_ConnectEx(h, "fz") != 0, "a loaded clock authenticates");
    // In in-system programming the clock answers no time read.
    double t = 0;
    if (json::parse(text).value("isp", false))
        fuzz::check(SK_GetTime(h, &t) == 0 && IFD_GetErrCode(h) == CLV_ERR_BAD_STATE,
                    "a clock in in-system programming refuses the time read");
    else
        fuzz::check(SK_GetTime(h, &t) == -1, "a loaded clock tells its time");
    fuzz::check(CLV_Save(h, again.c_str()) == CLV_OK, "the used clock saves");
    CLV_Close(h);
    const SK_ULONG reloaded = CLV_LoadEx(again.c_str(), &err, why, sizeof why);
    fuzz::check(reloaded != 0, "a clock's own save loads again");
    CLV_Close(reloaded);
    std::remove(again.c_str());
    return 0;
}
