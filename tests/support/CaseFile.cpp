#include "CaseFile.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <utility>

namespace strand::test {

std::vector<String> ScriptCase::all(const std::string& key) const {
    std::vector<String> out;
    for (const auto& d : directives) {
        if (d.key == key)
            out.push_back(d.text);
    }
    return out;
}

namespace {

// The escapes both ways: the letter after the backslash and the character it stands for. Failure
// messages write back only the first three (and the backslash).
constexpr std::pair<char16_t, char16_t> kEscapes[] = {
    {u'n', u'\n'}, {u'r', u'\r'}, {u't', u'\t'}, {u'f', u'\f'}, {u'0', u'\0'}};
constexpr size_t kEscapedInMessages = 3;

}  // namespace

String unescape(const std::string& utf8) {
    String wide = String::fromUtf8(utf8);
    String out(String::View{});
    for (size_t i = 0; i < wide.length(); ++i) {
        if (wide[i] != u'\\' || i + 1 >= wide.length()) {
            out.append(wide[i]);
            continue;
        }
        const char16_t e = wide[++i];
        if (e == u'u') {
            out.append(char16_t(std::stoul(wide.substr(i + 1, 4).toUtf8(), nullptr, 16)));
            i += 4;
            continue;
        }
        char16_t c = e;
        for (const auto& [letter, stands] : kEscapes)
            c = letter == e ? stands : c;
        out.append(c);
    }
    return out;
}

std::string escape(const String& text) {
    String out(String::View{});
    for (char16_t c : text) {
        const auto* const end = kEscapes + kEscapedInMessages;
        const auto* found = std::find_if(kEscapes, end, [c](const auto& e) { return e.second == c; });
        if (c == u'\\' || found != end) {
            out.append(u'\\');
            out.append(c == u'\\' ? c : found->first);
        } else {
            out.append(c);
        }
    }
    return out.toUtf8();
}

std::vector<ScriptCase> readCases(const std::string& path, const std::vector<std::string>& caseKinds) {
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot open " + path);
    std::vector<ScriptCase> cases;
    std::string line, group;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.starts_with("## ")) {
            group = line.substr(3);
            continue;
        }
        if (line.empty() || line[0] == '#')
            continue;
        size_t colon = line.find(": ");
        std::string key = line.substr(0, colon == std::string::npos ? line.size() - 1 : colon);
        std::string value = colon == std::string::npos ? "" : line.substr(colon + 2);
        bool starts = false;
        for (const auto& kind : caseKinds)
            starts |= key == kind;
        if (starts) {
            cases.push_back({path.substr(path.rfind('/') + 1), number, group, key, unescape(value), {}});
            continue;
        }
        if (cases.empty())
            throw std::runtime_error(path + ":" + std::to_string(number) + ": directive before a case");
        cases.back().directives.push_back({key, unescape(value)});
    }
    return cases;
}

}  // namespace strand::test
