// JSON text of the stand-ins' files read strictly: a key that appears twice
// in one object is refused (nlohmann-json would keep the last and drop the
// first unseen), and a refusal names the place by a JSON pointer.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace standins {

struct JsonRefusal {
    std::string where;  // JSON pointer, "" for the whole text
    std::string what;
};

// Parses text into out; false with *refusal for text that is not JSON or
// has a duplicate key.
bool parseStrict(const std::string& text, nlohmann::json& out, JsonRefusal& refusal);

// key as one token of a JSON pointer (~ as ~0, / as ~1).
std::string pointerToken(const std::string& key);

}  // namespace standins
