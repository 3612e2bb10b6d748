#include "standins/strict_json.h"

#include <unordered_set>
#include <vector>

namespace standins {

using nlohmann::json;

std::string pointerToken(const std::string& key) {
    std::string out;
    for (char c : key) {
        if (c == '~') out += "~0";
        else if (c == '/') out += "~1";
        else out += c;
    }
    return out;
}

bool parseStrict(const std::string& text, json& out, JsonRefusal& refusal) {
    struct Level {
        bool object;
        std::unordered_set<std::string> keys;
        std::string key;
        std::size_t index = 0;
    };
    std::vector<Level> stack;
    std::string duplicate;
    bool found = false;
    auto callback = [&](int, json::parse_event_t event, json& parsed) {
        switch (event) {
        case json::parse_event_t::object_start: stack.push_back(Level{true, {}, {}, 0}); break;
        case json::parse_event_t::array_start: stack.push_back(Level{false, {}, {}, 0}); break;
        case json::parse_event_t::key: {
            Level& level = stack.back();
            level.key = parsed.get<std::string>();
            if (!level.keys.insert(level.key).second && !found) {
                found = true;
                for (std::size_t i = 0; i + 1 < stack.size(); ++i)
                    duplicate += "/" + (stack[i].object ? pointerToken(stack[i].key)
                                                        : std::to_string(stack[i].index));
                duplicate += "/" + pointerToken(level.key);
            }
            break;
        }
        case json::parse_event_t::object_end:
        case json::parse_event_t::array_end:
            stack.pop_back();
            if (!stack.empty() && !stack.back().object) ++stack.back().index;
            break;
        case json::parse_event_t::value:
            if (!stack.empty() && !stack.back().object) ++stack.back().index;
            break;
        }
        return true;
    };
    json j;
    try {
        j = json::parse(text, callback);
    } catch (const json::parse_error& e) {
        refusal = JsonRefusal{"", "not JSON text (at byte " + std::to_string(e.byte) + ")"};
        return false;
    }
    if (found) {
        refusal = JsonRefusal{duplicate, "key appears twice"};
        return false;
    }
    out = std::move(j);
    return true;
}

}  // namespace standins
