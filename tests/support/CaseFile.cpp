#include "CaseFile.h"

#include <fstream>
#include <stdexcept>

namespace strand::test {

std::vector<String> ScriptCase::all(const std::string& key) const {
    std::vector<String> out;
    for (const auto& d : directives) {
        if (d.key == key)
            out.push_back(d.text);
    }
    return out;
}

String unescape(const std::string& utf8) {
    String wide = String::fromUtf8(utf8);
    String out(String::View{});
    for (size_t i = 0; i < wide.length(); ++i) {
        char16_t c = wide[i];
        if (c != u'\\' || i + 1 >= wide.length()) {
            out.append(c);
            continue;
        }
        char16_t e = wide[++i];
        switch (e) {
            case u'n':
                out.append(u'\n');
                break;
            case u'r':
                out.append(u'\r');
                break;
            case u't':
                out.append(u'\t');
                break;
            case u'f':
                out.append(u'\f');
                break;
            case u'0':
                out.append(char16_t(0));
                break;
            case u'u': {
                out.append(char16_t(std::stoul(wide.substr(i + 1, 4).toUtf8(), nullptr, 16)));
                i += 4;
                break;
            }
            default:
                out.append(e);
                break;
        }
    }
    return out;
}

std::string escape(const String& text) {
    String out(String::View{});
    for (char16_t c : text) {
        switch (c) {
            case u'\n':
                out.append(u"\\n");
                break;
            case u'\r':
                out.append(u"\\r");
                break;
            case u'\t':
                out.append(u"\\t");
                break;
            case u'\\':
                out.append(u"\\\\");
                break;
            default:
                out.append(c);
                break;
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
