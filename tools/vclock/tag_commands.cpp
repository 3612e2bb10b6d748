// The tag commands over RRV_LoadEx and RRV_Save. What show says of a data
// frame is worked out here from the tag layout (the framing bits, the ring
// and race numbers, their CRC-8 check bytes), on the tag's side, not with
// the library's encoder.
#include "tag_commands.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <vector>

#include "common.h"
#include "skylark/virtual_reader.h"

namespace vclock {

namespace {

using ojson = nlohmann::ordered_json;

struct Usage {
    std::string message;
};
[[noreturn]] void usage(const std::string& message) { throw Usage{message}; }

std::string fileText(int code) {
    switch (code) {
    case RRV_ERR_FILE_IO: return "the file cannot be read or written";
    case RRV_ERR_FILE_DAMAGED: return "not a reader file, damaged or truncated";
    case RRV_ERR_FILE_VERSION: return "saved by a newer version";
    case RRV_ERR_FULL: return "out of memory";
    default: return "error " + std::to_string(code);
    }
}

// An open reader, closed at the end.
struct Reader {
    RRV_HANDLE h = 0;
    explicit Reader(RRV_HANDLE handle) : h(handle) {}
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    ~Reader() {
        if (h != 0) RRV_Close(h);
    }
};

RRV_HANDLE load(const std::string& path) {
    int err = 0;
    char why[512] = "";
    const RRV_HANDLE h = RRV_LoadEx(path.c_str(), &err, why, sizeof why);
    if (h == 0) {
        if (err == RRV_ERR_FILE_IO) refuse(path + ": cannot be read");
        refuse(path + ": not a reader file this tool can use: " + (*why ? std::string(why) : fileText(err)));
    }
    return h;
}

void save(RRV_HANDLE h, const std::string& path) {
    const int err = RRV_Save(h, path.c_str());
    if (err != RRV_OK) refuse(path + ": cannot be written: " + fileText(err));
}

// The reader's complete file.
ojson documentOf(RRV_HANDLE h) {
    TempFile t;
    save(h, t.path);
    return ojson::parse(readAll(t.path));
}

// Bytes of exactly `digits` hex digits (either case), or bad usage naming `what`.
std::vector<unsigned char> hexArg(const std::string& s, std::size_t digits, const std::string& what) {
    if (s.size() != digits || s.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
        usage(what + ": not " + std::to_string(digits) + " hex digits");
    std::vector<unsigned char> out;
    for (std::size_t i = 0; i < s.size(); i += 2)
        out.push_back(static_cast<unsigned char>(std::stoi(s.substr(i, 2), nullptr, 16)));
    return out;
}

std::vector<unsigned char> bytesOf(const std::string& hex) { return hexArg(hex, hex.size(), "page"); }

// ---- The data frame in pages 4 to 7, read from the tag layout ---------------------------

// CRC-8 of the frame's check bytes: polynomial 0x1D, initial value 0xFF,
// most significant bit first, no final XOR.
unsigned crc8(const unsigned char* p, std::size_t n) {
    unsigned crc = 0xFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int b = 0; b < 8; ++b) crc = (crc & 0x80) ? ((crc << 1) ^ 0x1D) & 0xFF : (crc << 1) & 0xFF;
    }
    return crc;
}

// Bit i of the 16-byte frame, most significant bit of byte 0 first.
unsigned bit(const std::vector<unsigned char>& frame, unsigned i) { return (frame[i / 8] >> (7 - i % 8)) & 1u; }
unsigned byteAt(const std::vector<unsigned char>& frame, unsigned first) {
    unsigned v = 0;
    for (unsigned i = 0; i < 8; ++i) v = v << 1 | bit(frame, first + i);
    return v;
}

std::string hex2(unsigned v) {
    char s[3];
    std::snprintf(s, sizeof s, "%02X", v & 0xFF);
    return s;
}

// In plain words: ten 0 bits, thirteen groups of a 1 bit and a byte (ring
// number 6, race number 4, a zero byte, ring check, race check), a final 1.
std::string frameWords(const std::vector<unsigned char>& frame) {
    bool blank = true;
    for (unsigned char b : frame) blank = blank && b == 0;
    if (blank) return "blank (pages 4 to 7 all zero)";
    unsigned char ring[6], race[5];
    for (unsigned k = 0; k < 6; ++k) ring[k] = static_cast<unsigned char>(byteAt(frame, 11 + 9 * k));
    for (unsigned k = 0; k < 5; ++k) race[k] = static_cast<unsigned char>(byteAt(frame, 65 + 9 * k));
    const unsigned c0 = byteAt(frame, 11 + 9 * 11), c1 = byteAt(frame, 11 + 9 * 12);
    bool framing = bit(frame, 127) == 1;
    for (unsigned i = 0; i < 10; ++i) framing = framing && bit(frame, i) == 0;
    for (unsigned k = 0; k < 13; ++k) framing = framing && bit(frame, 10 + 9 * k) == 1;
    std::string ringHex, raceHex;
    for (unsigned char b : ring) ringHex += hex2(b);
    for (unsigned k = 0; k < 4; ++k) raceHex += hex2(race[k]);
    const unsigned want0 = crc8(ring, 6), want1 = crc8(race, 5);
    std::string out = "ring " + ringHex + ", race " + raceHex;
    out += want0 == c0 ? "; ring check " + hex2(c0) + " right" : "; ring check " + hex2(c0) + " WRONG (the ring number gives " + hex2(want0) + ")";
    out += want1 == c1 ? ", race check " + hex2(c1) + " right" : ", race check " + hex2(c1) + " WRONG (the race number gives " + hex2(want1) + ")";
    if (race[4] != 0) out += "; the byte after the race number is " + hex2(race[4]) + ", not 00";
    if (!framing) out += "; framing bits wrong";
    return out;
}

void show(const ojson& d, std::ostream& out) {
    const std::string field = d["field"].is_null() ? "" : d["field"].get<std::string>();
    out << "Virtual reader, " << d["tags"].size() << (d["tags"].size() == 1 ? " tag" : " tags") << "; the field "
        << (field.empty() ? "is empty" : "holds " + field) << "\n";
    for (const ojson& t : d["tags"]) {
        const std::string uid = t["uid"];
        const std::string config = t["config"];
        out << "\ntag " << uid << (uid == field ? " (in the field)" : "") << "\n";
        out << "  page  0  " << uid << "  UID\n";
        out << "  page  1  " << config << "  configuration"
            << (config.substr(2, 2) == "08" ? ", byte 1 08: formatted" : "") << "\n";
        std::vector<unsigned char> frame;
        for (std::size_t i = 0; i < t["pages"].size(); ++i) {
            const std::string p = t["pages"][i];
            char line[64];
            std::snprintf(line, sizeof line, "  page %2zu  %s", i + 2, p.c_str());
            out << line << (i + 2 == 4 ? "  data frame, pages 4 to 7" : "") << "\n";
            if (i + 2 >= 4 && i + 2 <= 7)
                for (unsigned char b : bytesOf(p)) frame.push_back(b);
        }
        out << "  frame    " << frameWords(frame) << "\n";
    }
}

}  // namespace

TagCommands::TagCommands(CLI::App& app) {
    tag_ = app.add_subcommand("tag", "Reader files: the virtual reader's ring tags and the tag in its field");
    tag_->require_subcommand(1);
    auto uidOption = [&](CLI::App* c, const char* what) { c->add_option("--uid", uid_, what)->required(); };
    new_ = tag_->add_subcommand("new", "Make a new reader file: no tags, an empty field");
    new_->add_option("file", file_, "The reader file to make")->required();
    add_ = tag_->add_subcommand("add", "Add a tag as it leaves the factory, outside the field");
    add_->add_option("file", file_, "The reader file")->required();
    uidOption(add_, "The tag's UID, 8 hex digits");
    show_ = tag_->add_subcommand("show", "Every tag's pages, its data frame in plain words, the tag in the field");
    show_->add_option("file", file_, "The reader file")->required();
    show_->add_flag("--json", json_, "The complete reader file as JSON");
    write_ = tag_->add_subcommand("write", "Write 4 raw bytes into a page of a tag, whatever they are");
    write_->add_option("file", file_, "The reader file")->required();
    uidOption(write_, "The tag's UID, 8 hex digits");
    write_->add_option("--page", page_, "The page, 1 to 15 (1: the configuration page; 0, the UID, is never written)")
        ->required()
        ->check(CLI::Range(0u, static_cast<unsigned>(RRV_TAG_PAGES - 1)));
    write_->add_option("--data", data_, "The page's 4 bytes, 8 hex digits")->required();
    put_ = tag_->add_subcommand("put", "Put a tag into the field (a new factory tag if the reader has none of this UID)");
    put_->add_option("file", file_, "The reader file")->required();
    uidOption(put_, "The tag's UID, 8 hex digits");
    take_ = tag_->add_subcommand("take", "Take the tag out of the field");
    take_->add_option("file", file_, "The reader file")->required();
    check_ = tag_->add_subcommand("check", "Check a reader file; names the field that is wrong");
    check_->add_option("file", file_, "The reader file")->required();
}

bool TagCommands::parsed() const { return tag_->parsed(); }

int TagCommands::run() {
    try {
        if (new_->parsed()) {
            if (std::filesystem::exists(file_)) refuse(file_ + ": exists already; a new reader is not written over it");
            Reader r(RRV_Open());
            save(r.h, file_);
            std::cout << file_ << ": a new virtual reader, no tags\n";
            return kDone;
        }
        std::string uid;
        std::vector<unsigned char> uid4, data;
        if (add_->parsed() || write_->parsed() || put_->parsed()) {
            uid4 = hexArg(uid_, 8, "--uid");
            for (char c : uid_) uid += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        if (write_->parsed()) data = hexArg(data_, 8, "--data");
        Reader r(load(file_));
        const ojson before = documentOf(r.h);
        const std::string field = before["field"].is_null() ? "" : before["field"].get<std::string>();
        auto held = [&](const std::string& u) {
            for (const ojson& t : before["tags"])
                if (t["uid"] == u) return true;
            return false;
        };
        if (check_->parsed()) {
            const std::size_t n = before["tags"].size();
            std::cout << file_ << ": a good reader file, " << n << (n == 1 ? " tag" : " tags") << ", the field "
                      << (field.empty() ? "empty" : "holding " + field) << "\n";
            return kDone;
        }
        if (show_->parsed()) {
            if (json_) std::cout << before.dump(1) << "\n";
            else show(before, std::cout);
            return kDone;
        }
        if (add_->parsed()) {
            if (held(uid)) refuse(uid + ": the reader has a tag of this UID already");
            if (!RRV_AddTag(r.h, uid4.data()))
                refuse(uid + ": not added: the reader holds " + std::to_string(RRV_MAX_TAGS) + " tags, its most");
            save(r.h, file_);
            const std::size_t n = before["tags"].size() + 1;
            std::cout << file_ << ": tag " << uid << " added (factory memory), " << n << (n == 1 ? " tag\n" : " tags\n");
            return kDone;
        }
        if (write_->parsed()) {
            if (page_ == 0) refuse("page 0 is the tag's UID, its identity: it is never written");
            if (!held(uid)) refuse(uid + ": the reader has no tag of this UID (tag add or tag put makes one)");
            if (!RRV_WriteTagPage(r.h, uid4.data(), page_, data.data()))
                refuse(uid + ": page " + std::to_string(page_) + " not written");
            save(r.h, file_);
            std::string dataHex;
            for (unsigned char b : data) dataHex += hex2(b);
            std::cout << file_ << ": tag " << uid << " page " << page_ << " now " << dataHex << "\n";
            return kDone;
        }
        if (put_->parsed()) {
            if (!field.empty()) refuse("the field holds tag " + field + " already (tag take takes it out)");
            const bool known = held(uid);
            if (!RRV_PutTag(r.h, uid4.data()))
                refuse(uid + ": not put: the reader holds " + std::to_string(RRV_MAX_TAGS) + " tags, its most");
            save(r.h, file_);
            std::cout << file_ << ": tag " << uid << (known ? "" : " (new, factory memory)") << " in the field\n";
            return kDone;
        }
        if (take_->parsed()) {
            if (!RRV_TakeTag(r.h)) refuse(file_ + ": the field is empty");
            save(r.h, file_);
            std::cout << file_ << ": tag " << field << " taken out; the field is empty\n";
            return kDone;
        }
    } catch (const Usage& u) {
        std::cerr << "skylark-vclock: " << u.message << "\n";
        return kUsage;
    } catch (const Refusal& r) {
        std::cerr << "skylark-vclock: " << r.message << "\n";
        return kRefused;
    } catch (const std::exception& e) {
        std::cerr << "skylark-vclock: " << e.what() << "\n";
        return kRefused;
    }
    return kUsage;
}

}  // namespace vclock
