#include "shell/script.h"

#include <cstdlib>
#include <sstream>

#include "shell/window_messages.h"

namespace {

bool Int(std::istringstream& in, int32_t& out) {
    std::string word;
    if (!(in >> word)) return false;
    char* end = nullptr;
    const long v = std::strtol(word.c_str(), &end, 10);
    if (end == word.c_str() || *end != 0 || v < -1000000000L || v > 1000000000L) return false;
    out = static_cast<int32_t>(v);
    return true;
}

int32_t KeyByName(const std::string& name) {
    static const struct {
        const char* name;
        uint32_t code;
    } kKeys[] = {{"escape", kVkEscape}, {"left", kVkLeft}, {"right", kVkRight}, {"up", kVkUp},
                 {"down", kVkDown},     {"f2", kVkF2},     {"f3", kVkF3},       {"enter", kVkReturn}};
    for (const auto& k : kKeys) {
        if (name == k.name) return static_cast<int32_t>(k.code);
    }
    char* end = nullptr;
    const long v = std::strtol(name.c_str(), &end, 10);
    if (end != name.c_str() && *end == 0 && v > 0 && v < 256) return static_cast<int32_t>(v);
    return -1;
}

std::string Rest(std::istringstream& in) {
    std::string rest;
    std::getline(in, rest);
    const size_t first = rest.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : rest.substr(first);
}

}  // namespace

bool ParseScript(const std::string& text, std::vector<ScriptStep>& out, std::string* error) {
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    out.clear();
    while (std::getline(lines, line)) {
        ++number;
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        std::istringstream in(line);
        std::string verb;
        if (!(in >> verb)) continue;
        ScriptStep step;
        step.line = number;
        bool ok = true;
        if (verb == "touch") {
            step.kind = ScriptStep::kTouch;
            ok = Int(in, step.a) && Int(in, step.b);
        } else if (verb == "drag") {
            step.kind = ScriptStep::kDrag;
            ok = Int(in, step.a) && Int(in, step.b) && Int(in, step.c) && Int(in, step.d);
            if (ok && !Int(in, step.e)) step.e = 300;
            ok = ok && step.e >= 0;
        } else if (verb == "key") {
            step.kind = ScriptStep::kKey;
            std::string name;
            ok = static_cast<bool>(in >> name) && (step.a = KeyByName(name)) > 0;
        } else if (verb == "type") {
            step.kind = ScriptStep::kType;
            step.text = Rest(in);
            ok = !step.text.empty();
        } else if (verb == "event") {
            step.kind = ScriptStep::kEvent;
            ok = Int(in, step.a);
        } else if (verb == "command") {
            step.kind = ScriptStep::kCommand;
            ok = Int(in, step.a);
            step.text = Rest(in);
        } else if (verb == "close") {
            step.kind = ScriptStep::kClose;
        } else if (verb == "wait") {
            step.kind = ScriptStep::kWait;
            ok = Int(in, step.a) && step.a >= 0;
        } else if (verb == "screenshot") {
            step.kind = ScriptStep::kScreenshot;
            step.text = Rest(in);
            ok = !step.text.empty();
        } else if (verb == "expect-chapter") {
            step.kind = ScriptStep::kExpectChapter;
            ok = Int(in, step.a);
        } else if (verb == "expect-pixel") {
            step.kind = ScriptStep::kExpectPixel;
            std::string colour;
            ok = Int(in, step.a) && Int(in, step.b) && static_cast<bool>(in >> colour) && colour.size() == 6;
            if (ok) {
                char* end = nullptr;
                step.c = static_cast<int32_t>(std::strtol(colour.c_str(), &end, 16));
                ok = *end == 0;
            }
            if (ok && !Int(in, step.d)) step.d = 8;
        } else if (verb == "expect-shown") {
            step.kind = ScriptStep::kExpectShown;
            ok = Int(in, step.a);
        } else if (verb == "quit") {
            step.kind = ScriptStep::kQuit;
        } else {
            ok = false;
        }
        if (!ok) {
            if (error) *error = "line " + std::to_string(number) + ": cannot read '" + line + "'";
            return false;
        }
        out.push_back(step);
    }
    return true;
}
