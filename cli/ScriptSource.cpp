#include "ScriptSource.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "host/Codecs.h"
#include "host/Exception.h"

namespace strand::cli {

String decodeUtf8Input(const std::string& bytes, const std::string& what) {
    std::string_view view(bytes);
    if (view.starts_with("\xEF\xBB\xBF"))
        view.remove_prefix(3);
    String text;
    if (util::ConvertUTF8toString(reinterpret_cast<const uint8_t*>(view.data()), view.size(), text))
        return text;
    // Find the first bad byte for the message: the longest prefix that decodes.
    size_t good = 0, bad = view.size();
    while (good + 1 < bad) {
        size_t mid = (good + bad) / 2;
        String probe;
        if (util::ConvertUTF8toString(reinterpret_cast<const uint8_t*>(view.data()), mid, probe)) {
            good = mid;
        } else {
            bad = mid;
        }
    }
    throw Exception(u"%s is not valid UTF-8 (near byte %lld)", what, static_cast<long long>(good));
}

String readScript(const ScriptSource& source) {
    if (source.text)
        return decodeUtf8Input(*source.text, "The script text");
    std::string bytes;
    if (source.file == "-") {
        bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return decodeUtf8Input(bytes, "Standard input");
    }
    std::ifstream in(source.file, std::ios::binary);
    if (!in)
        throw Exception(u"Cannot open %s", source.file);
    std::ostringstream content;
    content << in.rdbuf();
    return decodeUtf8Input(content.str(), source.file);
}

void writeUtf8(std::FILE* out, const String& text) {
    const std::string bytes = text.toUtf8();
    std::fwrite(bytes.data(), 1, bytes.size(), out);
}

}  // namespace strand::cli
