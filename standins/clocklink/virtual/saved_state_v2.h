// Version 2 of the saved clock: the file a person can write. Texts where a
// person thinks in texts (the password, ring numbers and race keys as hex
// text, ISO dates), defaults for everything left out. Read by turning it
// into the complete version-1 document, which the one validation pass of
// the saved state then checks; written from that document.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace standins::vclock {

struct V2Refusal {
    std::string where;  // JSON pointer of the field, "" for the document
    std::string what;
};

// The complete version-1 document a version-2 file stands for. hostNow is
// the host's calendar time (seconds since 1970 UTC), the default of
// saved_at. *speed (if given) is the clock's speed, which version 1 does not
// hold (1 when left out). False with *refusal naming the field that is wrong.
bool v1FromV2(const nlohmann::json& v2, std::int64_t hostNow, nlohmann::json& v1, V2Refusal& refusal,
              double* speed = nullptr);

// The version-2 document of a complete version-1 one (as the clock saves
// it), its fields in the order a person reads them.
// speed: the clock's speed, which version 1 does not hold.
nlohmann::ordered_json v2FromV1(const nlohmann::json& v1, double speed = 1);

}  // namespace standins::vclock
