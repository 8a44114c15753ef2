// strand params: component definitions and their parameters. A component is read from its JSON
// definition or from its packed byte-stream form (docs/streams.md), whichever the file holds.
//   check   applies settings and prints every parameter with its value, its evaluated text, whether it is
//           enabled and valid (with the reasons) and its legal values; exit 0 when every enabled
//           parameter is valid, 1 when one is not (or its text or rules cannot be evaluated);
//   pack    writes the packed form; unpack writes the JSON definition;
//   edit    runs a script with the component as its data record, so that the component-editing
//           built-ins change it, and writes the result.
// Exit status 2 when a file cannot be read or does not describe a component. The definition format is
// documented in docs/params.md.

#include <CLI/CLI.hpp>
#include <simdjson.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "Commands.h"
#include "JsonValues.h"
#include "ScriptMessages.h"
#include "ScriptSource.h"
#include "expr/Exceptions.h"
#include "host/ByteStream.h"
#include "host/ComponentInfo.h"
#include "host/Context.h"
#include "host/HvnConstants.h"
#include "parser/ExpressionParser.h"
#include "params/Parameter.h"
#include "params/ParameterCollection.h"
#include "params/TextValues.h"

namespace strand::cli {

namespace {

namespace dom = simdjson::dom;

constexpr int kInvalid = 1;

struct ParamsOptions {
    std::string file;
    std::vector<std::string> settings;
    std::optional<std::string> globals;
    bool json = false;
    // pack, unpack and edit
    std::string output;
    int32_t streamVersion = 2;
    ScriptSource script;
};

// ---------------------------------------------------------------------------------------------------
// Reading the definition

// Where a problem of the definition lies: the file, and the parameter when there is one.
class Definition {
  public:
    explicit Definition(std::string file) : m_file(std::move(file)) {}

    void at(const String& parameter, size_t index) {
        m_parameter = parameter;
        m_index = index;
    }
    template <typename... A>
    [[noreturn]] void fail(const char16_t* format, const A&... args) const {
        String text = formatString(u"%s: ", m_file);
        if (m_index > 0) {
            text += m_parameter.isEmpty() ? formatString(u"parameter %d: ", int32_t(m_index))
                                          : formatString(u"parameter '%ls': ", m_parameter);
        }
        text += formatString(std::u16string_view(format), args...).view();
        throw Exception(text);
    }

    String text(dom::element value, std::string_view key) const {
        std::string_view utf8;
        if (value.get_string().get(utf8))
            fail(u"'%s' must be a string", key);
        return String::fromUtf8(utf8);
    }
    bool boolean(dom::element value, std::string_view key) const {
        bool flag = false;
        if (value.get_bool().get(flag))
            fail(u"'%s' must be true or false", key);
        return flag;
    }
    Array<String> texts(dom::element value, std::string_view key) const {
        dom::array array;
        if (value.get_array().get(array))
            fail(u"'%s' must be an array of strings", key);
        Array<String> out;
        for (dom::element item : array) {
            std::string_view utf8;
            if (item.get_string().get(utf8))
                fail(u"'%s' must be an array of strings", key);
            out.add(String::fromUtf8(utf8));
        }
        return out;
    }
    int32_t flags(dom::element value) const {
        int64_t number = 0;
        if (!value.get_int64().get(number)) {
            if (number < INT32_MIN || number > INT32_MAX)
                fail(u"'flags' must be a 32-bit integer");
            return int32_t(number);
        }
        dom::array words;
        if (value.get_array().get(words))
            fail(u"'flags' must be an integer or an array of the words \"required\" and \"revalidate\"");
        int32_t bits = 0;
        for (dom::element item : words) {
            std::string_view word;
            if (item.get_string().get(word) || (word != "required" && word != "revalidate"))
                fail(u"'flags' must be an integer or an array of the words \"required\" and \"revalidate\"");
            bits |= word == "required" ? iParameter::kRequired : iParameter::kAffectsValidation;
        }
        return bits;
    }

  private:
    std::string m_file;
    String m_parameter;
    size_t m_index = 0;
};

// Refuses a key given twice in one object, and keys the object may not have.
template <typename Handle>
void forEachMember(const Definition& where, dom::object object, std::initializer_list<std::string_view> known,
                   Handle handle) {
    std::vector<std::string_view> seen;
    for (dom::key_value_pair member : object) {
        if (std::find(known.begin(), known.end(), member.key) == known.end())
            where.fail(u"unknown key '%s'", member.key);
        if (std::find(seen.begin(), seen.end(), member.key) != seen.end())
            where.fail(u"the key '%s' is given twice", member.key);
        seen.push_back(member.key);
        handle(member.key, member.value);
    }
}

struct Component {
    String name;
    Ptr<CParameterCollection> parameters;
    // The value classes of the outputs, by tag name, in the order given.
    std::vector<std::pair<String, std::string>> outputTypes;
    // The stream version of a packed file (0 for a JSON definition).
    int32_t streamVersion = 0;
};

void readParameter(Definition& where, dom::element entry, size_t index, CParameterCollection& parameters,
                   std::vector<std::pair<CParameter*, Array<String>>>& groups) {
    where.at(String(), index);
    dom::object object;
    if (entry.get_object().get(object))
        where.fail(u"a parameter must be an object");
    dom::element name;
    if (object.at_key("name").get(name))
        where.fail(u"a parameter needs a 'name'");
    const String parameterName = where.text(name, "name");
    if (parameterName.isEmpty())
        where.fail(u"a parameter's 'name' must not be empty");
    where.at(parameterName, index);
    if (parameters.find(parameterName))
        where.fail(u"the name is used by an earlier parameter");
    auto* parameter = dynamic_cast<CParameter*>(parameters.declare(parameterName));
    std::optional<int32_t> flags;
    forEachMember(where, object,
                  {"name", "value", "type", "help", "guid", "flags", "validation", "enabling",
                   "legalValuesScript", "legalValues", "enforced", "members", "expanded"},
                  [&](std::string_view key, dom::element value) {
                      if (key == "value") {
                          if (value.is_string())
                              parameter->setValue(StringValue(where.text(value, key)));
                          else
                              parameter->setValue(StringArrayValue(where.texts(value, key).vector()));
                      } else if (key == "type") {
                          parameter->setType(where.text(value, key));
                      } else if (key == "help") {
                          parameter->setHelp(where.text(value, key));
                      } else if (key == "guid") {
                          parameter->setGuid(where.text(value, key));
                      } else if (key == "flags") {
                          flags = where.flags(value);
                      } else if (key == "validation") {
                          parameter->setValidationScript(where.text(value, key));
                      } else if (key == "enabling") {
                          parameter->setEnablingScript(where.text(value, key));
                      } else if (key == "legalValuesScript") {
                          parameter->setLegalValuesScript(where.text(value, key));
                      } else if (key == "legalValues") {
                          parameter->setLegalValues(where.texts(value, key));
                      } else if (key == "enforced") {
                          parameter->setLegalValuesAreEnforced(where.boolean(value, key));
                      } else if (key == "members") {
                          groups.emplace_back(parameter, where.texts(value, key));
                      } else if (key == "expanded") {
                          parameter->setExpanded(where.boolean(value, key));
                      }
                  });
    // The flags come last: a flag that makes value changes revalidate the collection plays no part while
    // the definition is read.
    if (flags)
        parameter->setFlags(*flags);
}

// Members are added once every parameter is known, so that a group may name parameters defined after it.
void addMembers(Definition& where, CParameterCollection& parameters,
                const std::vector<std::pair<CParameter*, Array<String>>>& groups) {
    for (const auto& [group, members] : groups) {
        where.at(group->getName(), size_t(parameters.findIndex(group->getName())) + 1);
        for (const String& member : members) {
            if (!parameters.find(member))
                where.fail(u"the member '%ls' names no parameter of the component", member);
            try {
                group->addMember(member);
            } catch (const Exception& e) {
                where.fail(u"%ls", e.getMessage());
            }
        }
    }
}

Component readComponent(const std::string& file) {
    Definition where(file);
    dom::parser parser;
    dom::element document;
    if (auto error = parser.load(file).get(document)) {
        if (error == simdjson::IO_ERROR)
            where.fail(u"cannot be read");
        where.fail(u"%s", simdjson::error_message(error));
    }
    dom::object object;
    if (document.get_object().get(object))
        where.fail(u"a component definition is a JSON object");
    Component component{String(), CParameterCollection::newInstance(), {}, 0};
    std::optional<dom::array> entries;
    forEachMember(where, object, {"name", "guid", "parameters", "outputTypes"},
                  [&](std::string_view key, dom::element value) {
                      if (key == "name") {
                          component.name = where.text(value, key);
                      } else if (key == "outputTypes") {
                          dom::object outputs;
                          if (value.get_object().get(outputs))
                              where.fail(u"'outputTypes' must be an object of class tag names");
                          for (dom::key_value_pair output : outputs) {
                              const String tag = where.text(output.value, "outputTypes");
                              component.outputTypes.emplace_back(String::fromUtf8(output.key), tag.toUtf8());
                          }
                      } else if (key == "guid") {
                          // The component's GUID is the component-level parameter of that name.
                          component.parameters->declare(String(HVN_ComponentGUID));
                          component.parameters->find(String(HVN_ComponentGUID))
                              ->setValue(StringValue(where.text(value, key)));
                      } else if (value.get_array().get(entries.emplace())) {
                          where.fail(u"'parameters' must be an array");
                      }
                  });
    if (component.name.isNull())
        where.fail(u"a component needs a 'name'");
    if (!entries)
        where.fail(u"a component needs 'parameters'");
    std::vector<std::pair<CParameter*, Array<String>>> groups;
    size_t index = 0;
    for (dom::element entry : *entries)
        readParameter(where, entry, ++index, *component.parameters, groups);
    addMembers(where, *component.parameters, groups);
    return component;
}

// ---------------------------------------------------------------------------------------------------
// The packed form: "SSCP", the stream version (a compact integer), then the component record in that
// version: its own version (1), the name, the output types (a count, then name and tag name each) and
// the parameter collection's record.

constexpr uint8_t kPackedMagic[4] = {'S', 'S', 'C', 'P'};
constexpr int32_t kComponentRecordVersion = 1;

std::vector<uint8_t> readFileBytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw Exception(u"%s: cannot be read", file);
    std::vector<uint8_t> bytes;
    char piece[65536];
    while (in.read(piece, sizeof piece) || in.gcount() > 0)
        bytes.insert(bytes.end(), piece, piece + in.gcount());
    if (in.bad())
        throw Exception(u"%s: cannot be read", file);
    return bytes;
}

bool isPacked(const std::vector<uint8_t>& bytes) {
    return bytes.size() >= 4 && std::equal(kPackedMagic, kPackedMagic + 4, bytes.begin());
}

std::vector<uint8_t> packComponent(const Component& component, int32_t version) {
    MemoryOutputStream out(version);
    out.write(kPackedMagic, 4);
    stream::writeInt(out, version);
    stream::writeInt(out, kComponentRecordVersion);
    stream::writeString(out, component.name);
    stream::writeInt(out, int32_t(component.outputTypes.size()));
    for (const auto& [name, tag] : component.outputTypes) {
        stream::writeString(out, name);
        stream::writeString(out, String::fromUtf8(tag));
    }
    component.parameters->serialize(out);
    return out.bytes();
}

Component unpackComponent(const std::string& file, std::vector<uint8_t> bytes) {
    try {
        // The version comes first, read from a stream of any known version: a compact integer.
        MemoryInputStream head(std::vector<uint8_t>(bytes.begin() + 4, bytes.end()), 2);
        const int32_t version = stream::readInt(head);
        if (version != 1 && version != 2)
            throw Exception(u"stream version %d is not 1 or 2", version);
        const size_t skip = 4 + stream::intSize(version);
        bytes.erase(bytes.begin(), bytes.begin() + std::ptrdiff_t(std::min(skip, bytes.size())));
        MemoryInputStream in(std::move(bytes), version);
        const int32_t record = stream::readInt(in);
        if (record != kComponentRecordVersion)
            throw Exception(u"Deserialization version mismatch (%ld , %ld)", long(record),
                            long(kComponentRecordVersion));
        Component component{stream::readString(in), CParameterCollection::newInstance(), {}, version};
        if (component.name.isNull())
            throw Exception(u"the component has no name");
        for (int32_t i = 0, count = stream::readCount(in, u"output type"); i < count; ++i) {
            String name = stream::readString(in);
            component.outputTypes.emplace_back(std::move(name), stream::readString(in).toUtf8());
        }
        component.parameters->deserialize(in);
        if (in.remaining() != 0)
            throw Exception(u"%lld bytes follow the component record", (long long)in.remaining());
        return component;
    } catch (const Exception& e) {
        throw Exception(u"%s: %ls", file, e.getErrorMessageBlock());
    }
}

// The component of a file, packed or JSON.
Component loadComponent(const std::string& file) {
    std::vector<uint8_t> bytes = readFileBytes(file);
    if (isPacked(bytes))
        return unpackComponent(file, std::move(bytes));
    return readComponent(file);
}

// The JSON definition: one parameter a line, with the keys that differ from a new parameter's.
std::string componentJson(const Component& component) {
    std::string out = "{\"name\": ";
    writeString(component.name, out);
    if (!component.outputTypes.empty()) {
        out += ", \"outputTypes\": {";
        for (size_t i = 0; i < component.outputTypes.size(); ++i) {
            if (i > 0)
                out += ", ";
            writeString(component.outputTypes[i].first, out);
            out += ": ";
            writeString(String::fromUtf8(component.outputTypes[i].second), out);
        }
        out += "}";
    }
    out += ", \"parameters\": [";
    CParameterCollection& parameters = *component.parameters;
    for (int32_t i = 0; i < parameters.getSize(); ++i) {
        auto& parameter = dynamic_cast<CParameter&>(*parameters.get(i));
        out += i > 0 ? ",\n  {\"name\": " : "\n  {\"name\": ";
        writeString(parameter.getName(), out);
        auto member = [&](const char* key) {
            out += ", \"";
            out += key;
            out += "\": ";
        };
        auto text = [&](const char* key, const String& value) {
            if (value.isEmpty())
                return;
            member(key);
            writeString(value, out);
        };
        auto list = [&](const char* key, const Array<String>& values) {
            member(key);
            out.push_back('[');
            for (size_t v = 0; v < values.size(); ++v) {
                if (v > 0)
                    out += ", ";
                writeString(values[v].isNull() ? String::empty() : values[v], out);
            }
            out.push_back(']');
        };
        const Array<String> value = params::valueStrings(parameter.getRawValue());
        if (value.size() == 1) {
            member("value");
            writeString(value[0].isNull() ? String::empty() : value[0], out);
        } else if (!value.isEmpty()) {
            list("value", value);
        }
        if (!parameter.getType().equalsIgnoreCase(std::u16string_view(HVN_StringType)))
            text("type", parameter.getType());
        text("help", parameter.getHelp());
        text("guid", parameter.getGuid());
        if (parameter.getFlags() != 0) {
            member("flags");
            out += std::to_string(parameter.getFlags());
        }
        text("validation", parameter.getValidationScript());
        text("enabling", parameter.getEnablingScript());
        text("legalValuesScript", parameter.getLegalValuesScript());
        if (!parameter.getStaticLegalValues().isEmpty())
            list("legalValues", parameter.getStaticLegalValues());
        if (!parameter.getLegalValuesAreEnforced()) {
            member("enforced");
            out += "false";
        }
        if (!parameter.members().isEmpty())
            list("members", parameter.members());
        if (parameter.isExpanded()) {
            member("expanded");
            out += "true";
        }
        out.push_back('}');
    }
    out += parameters.getSize() > 0 ? "\n]}\n" : "]}\n";
    return out;
}

void writeOutput(const std::string& file, const void* data, size_t size) {
    if (file.empty() || file == "-") {
        std::fwrite(data, 1, size, stdout);
        return;
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), std::streamsize(size));
    out.close();
    if (!out)
        throw Exception(u"%s: cannot be written", file);
}

// ---------------------------------------------------------------------------------------------------
// Checking

// The verdicts of one parameter, as printed.
struct Verdicts {
    Array<String> value;
    Array<String> text;
    bool enabled = true;
    String disabledDetails;
    bool valid = true;
    String invalidDetails;
    Array<String> legalValues;
    String textError;
    String rulesError;

    // A parameter passes when it is disabled or valid, and both its text and its rules could be evaluated.
    bool passes() const { return textError.isNull() && rulesError.isNull() && (!enabled || valid); }
};

// The text with every step applied: macro tokens, embedded scripts and an expression-typed value.
void evaluateText(CParameter& parameter, iContext& context, Array<String>& text, String& error) {
    try {
        parameter.getEvaluatedText(&context, context.getComponentParameters(), context.getGlobalProperties(),
                                   CParameter::kReplaceMacroTokens | CParameter::kEvaluateEmbeddedScripts |
                                       CParameter::kEvaluateExpression,
                                   text);
    } catch (const Exception& e) {
        error = e.getMessage();
    }
}

// The verdicts of every parameter. Enabling is brought up to date first in collection order and
// validity then in reverse order, so that the groups a parameter belongs to are known before it and the
// members of a group before the group: nested groups are then judged a level at a time, however deep.
std::vector<Verdicts> checkAll(CParameterCollection& parameters) {
    const auto count = size_t(parameters.getSize());
    std::vector<Verdicts> all(count);
    auto parameterAt = [&](size_t i) -> CParameter& {
        return dynamic_cast<CParameter&>(*parameters.get(int32_t(i)));
    };
    for (size_t i = 0; i < count; ++i) {
        try {
            parameterAt(i).getEnabled(false);
        } catch (const Exception& e) {
            all[i].rulesError = e.getMessage();
        }
    }
    for (size_t i = count; i-- > 0;) {
        Verdicts& verdicts = all[i];
        CParameter& parameter = parameterAt(i);
        verdicts.value = params::valueStrings(parameter.getRawValue());
        if (!verdicts.rulesError.isNull())
            continue;
        try {
            verdicts.valid = parameter.getValid();
            verdicts.invalidDetails = parameter.getInvalidDetails();
            verdicts.enabled = parameter.getEnabled();
            verdicts.disabledDetails = parameter.getDisabledDetails();
            verdicts.legalValues = parameter.getLegalValues();
        } catch (const Exception& e) {
            verdicts.rulesError = e.getMessage();
        }
    }
    return all;
}

void applySettings(const std::string& file, CParameterCollection& parameters,
                   const std::vector<std::string>& settings) {
    for (const std::string& setting : settings) {
        const size_t equals = setting.find('=');
        if (equals == std::string::npos || equals == 0)
            throw Exception(u"--set %s: expected NAME=VALUE", setting);
        const String name = decodeUtf8Input(setting.substr(0, equals), "--set");
        const String value = decodeUtf8Input(setting.substr(equals + 1), "--set");
        iProperty* parameter = parameters.find(name);
        if (!parameter)
            throw Exception(u"--set %ls: %s has no parameter '%ls'", name, file, name);
        parameter->setValue(StringValue(value));
    }
}

// ---------------------------------------------------------------------------------------------------
// Printing

void appendQuotedList(const Array<String>& strings, std::string& out) {
    for (size_t i = 0; i < strings.size(); ++i) {
        if (i > 0)
            out += ", ";
        writeString(strings[i].isNull() ? String::empty() : strings[i], out);
    }
}

// Details of several lines keep the layout: their further lines are indented.
void appendDetails(const String& details, std::string& out) {
    const std::string utf8 = details.toUtf8();
    for (char c : utf8) {
        out.push_back(c);
        if (c == '\n')
            out += "    ";
    }
}

void appendVerdict(const char* label, bool yes, const String& details, std::string& out) {
    out += "  ";
    out += label;
    out += yes ? ": yes" : ": no";
    if (!yes && !details.isEmpty()) {
        out += ": ";
        appendDetails(details, out);
    }
    out.push_back('\n');
}

void appendText(const CParameter& parameter, const Verdicts& verdicts, std::string& out) {
    out += parameter.getName().toUtf8();
    out += "\n  value: ";
    appendQuotedList(verdicts.value, out);
    out += "\n  text: ";
    if (!verdicts.textError.isNull()) {
        out += "error: ";
        appendDetails(verdicts.textError, out);
    } else {
        appendQuotedList(verdicts.text, out);
    }
    out.push_back('\n');
    if (!verdicts.rulesError.isNull()) {
        out += "  rules: error: ";
        appendDetails(verdicts.rulesError, out);
        out.push_back('\n');
        return;
    }
    appendVerdict("enabled", verdicts.enabled, verdicts.disabledDetails, out);
    appendVerdict("valid", verdicts.valid, verdicts.invalidDetails, out);
    out += "  legal values: ";
    if (verdicts.legalValues.isEmpty()) {
        out += "any";
    } else {
        appendQuotedList(verdicts.legalValues, out);
        if (!parameter.getLegalValuesAreEnforced())
            out += " (not enforced)";
    }
    out.push_back('\n');
}

void appendJsonList(const Array<String>& strings, std::string& out) {
    out.push_back('[');
    for (size_t i = 0; i < strings.size(); ++i) {
        if (i > 0)
            out.push_back(',');
        writeString(strings[i].isNull() ? String::empty() : strings[i], out);
    }
    out.push_back(']');
}

void appendJsonMember(const char* name, std::string& out) {
    out += ",\"";
    out += name;
    out += "\":";
}

void appendJson(CParameter& parameter, const Verdicts& verdicts, std::string& out) {
    out += "{\"name\":";
    writeString(parameter.getName(), out);
    appendJsonMember("type", out);
    writeString(parameter.getType(), out);
    appendJsonMember("value", out);
    appendJsonList(verdicts.value, out);
    if (parameter.isGroupParam()) {
        appendJsonMember("members", out);
        appendJsonList(parameter.members(), out);
    }
    if (verdicts.textError.isNull()) {
        appendJsonMember("text", out);
        appendJsonList(verdicts.text, out);
    } else {
        appendJsonMember("textError", out);
        writeString(verdicts.textError, out);
    }
    if (!verdicts.rulesError.isNull()) {
        appendJsonMember("rulesError", out);
        writeString(verdicts.rulesError, out);
        out += "}\n";
        return;
    }
    appendJsonMember("enabled", out);
    out += verdicts.enabled ? "true" : "false";
    appendJsonMember("disabledDetails", out);
    writeString(verdicts.disabledDetails.isNull() ? String::empty() : verdicts.disabledDetails, out);
    appendJsonMember("valid", out);
    out += verdicts.valid ? "true" : "false";
    appendJsonMember("invalidDetails", out);
    writeString(verdicts.invalidDetails.isNull() ? String::empty() : verdicts.invalidDetails, out);
    appendJsonMember("legalValues", out);
    appendJsonList(verdicts.legalValues, out);
    appendJsonMember("enforced", out);
    out += parameter.getLegalValuesAreEnforced() ? "true" : "false";
    out += "}\n";
}

void flushIfLarge(std::string& out) {
    if (out.size() < (1u << 16))
        return;
    std::fwrite(out.data(), 1, out.size(), stdout);
    out.clear();
}

int run(const ParamsOptions& options) {
    Component component = loadComponent(options.file);
    CParameterCollection& parameters = *component.parameters;
    auto context = makePtr<ComponentContext>();
    context->setComponentParameters(component.parameters);
    if (options.globals) {
        JsonReader reader;
        try {
            reader.readObjectInto(*options.globals, *context->getGlobalProperties());
        } catch (const Exception& e) {
            throw Exception(u"--globals: %ls", e.getErrorMessageBlock());
        }
    }
    parameters._setContext(context.get());
    // The collection does not keep its context alive; it forgets it before the context goes.
    struct ForgetContext {
        CParameterCollection& parameters;
        ~ForgetContext() { parameters._setContext(nullptr); }
    } forget{parameters};

    // With settings, the verdicts are known before they change, as in a host that shows the component
    // while its user edits it: each setting clears what it affects.
    if (!options.settings.empty()) {
        checkAll(parameters);
        applySettings(options.file, parameters, options.settings);
    }
    // Every text first, in one batch, so that a text that tokens of several parameters reach is
    // expanded once; then the rules.
    std::vector<Array<String>> texts(size_t(parameters.getSize()));
    std::vector<String> textErrors(texts.size());
    {
        CParameter::TextBatch batch;
        for (int32_t i = 0; i < parameters.getSize(); ++i)
            evaluateText(dynamic_cast<CParameter&>(*parameters.get(i)), *context, texts[size_t(i)],
                         textErrors[size_t(i)]);
    }
    std::vector<Verdicts> verdicts = checkAll(parameters);
    std::string out;
    if (!options.json)
        out += formatString(u"component %ls\n", component.name).toUtf8();
    int32_t enabled = 0, failing = 0;
    for (int32_t i = 0; i < parameters.getSize(); ++i) {
        auto& parameter = dynamic_cast<CParameter&>(*parameters.get(i));
        Verdicts& verdict = verdicts[size_t(i)];
        verdict.text = std::move(texts[size_t(i)]);
        verdict.textError = std::move(textErrors[size_t(i)]);
        if (verdict.enabled)
            ++enabled;
        if (!verdict.passes())
            ++failing;
        if (options.json)
            appendJson(parameter, verdict, out);
        else
            appendText(parameter, verdict, out);
        flushIfLarge(out);
    }
    if (!options.json) {
        out += failing == 0
                   ? formatString(u"all %d enabled parameters are valid\n", enabled).toUtf8()
                   : formatString(u"%d of %d parameters fail\n", failing, parameters.getSize()).toUtf8();
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return failing == 0 ? 0 : kInvalid;
}

int runPack(const ParamsOptions& options) {
    if (options.output.empty())
        throw CLI::RequiredError("-o");
    const Component component = loadComponent(options.file);
    const std::vector<uint8_t> bytes = packComponent(component, options.streamVersion);
    writeOutput(options.output, bytes.data(), bytes.size());
    return 0;
}

int runUnpack(const ParamsOptions& options) {
    const Component component = loadComponent(options.file);
    const std::string json = componentJson(component);
    writeOutput(options.output, json.data(), json.size());
    return 0;
}

constexpr int kEditFailed = 1;
constexpr int kEditSyntaxError = 2;

// A failure's whole text on standard error, ending with one line feed.
void printEditFailure(const String& text) {
    writeUtf8(stderr, text);
    if (!text.view().ends_with(u'\n'))
        std::fputc('\n', stderr);
}

int runEdit(const ParamsOptions& options) {
    if (!options.script.text && options.script.file.empty())
        throw CLI::RequiredError("SCRIPT_FILE or -e");
    Component component = loadComponent(options.file);
    const String text = readScript(options.script);
    auto context = makePtr<ComponentContext>();
    context->setComponentParameters(component.parameters);
    component.parameters->_setContext(context.get());
    struct ForgetContext {
        CParameterCollection& parameters;
        ~ForgetContext() { parameters._setContext(nullptr); }
    } forget{*component.parameters};

    Ptr<xrExpressionListImp> script;
    try {
        script = xrExpressionParser::ParseExpression(text, context.get());
    } catch (const Exception& e) {
        const std::string name = options.script.text          ? std::string()
                                 : options.script.file == "-" ? "standard input"
                                                              : options.script.file;
        printScriptFailure(text, e.getErrorMessageBlock(), name);
        return kEditSyntaxError;
    }
    auto info = makePtr<ComponentInfo>(component.name, Ptr<iPropertyCollection>(component.parameters));
    for (const auto& [name, tag] : component.outputTypes)
        info->setOutputType(name, tag);
    auto node = makePtr<CObjectTransportNode>(Ptr<CountedObject>(info));
    ExpressionContext ctx(context.get(), node.get());
    try {
        script->evaluate(ctx);
    } catch (const Exception& e) {
        printEditFailure(e.getErrorMessageBlock());
        return kEditFailed;
    } catch (const xrExpressionTerminateException& e) {
        printEditFailure(formatString(u"The script asked to stop (component state %d)",
                                      static_cast<int>(e.GetProcessState())));
        return kEditFailed;
    }
    component.outputTypes = info->outputTypes();
    // The result takes the form of the input: packed in the same version, or JSON.
    if (component.streamVersion != 0 && !options.output.empty() && options.output != "-") {
        const std::vector<uint8_t> bytes = packComponent(component, component.streamVersion);
        writeOutput(options.output, bytes.data(), bytes.size());
        return 0;
    }
    const std::string json = componentJson(component);
    writeOutput(options.output, json.data(), json.size());
    return 0;
}

}  // namespace

void addParamsCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<ParamsOptions>();
    auto* params = app.add_subcommand("params", "Work with component definitions and their parameters");
    params->require_subcommand(1);
    auto* check = params->add_subcommand(
        "check", "Print every parameter of a component with its text and verdicts; exit 1 when one fails");
    check->add_option("COMPONENT", options->file, "The component (JSON definition or packed)")->required();
    check->add_option("--set", options->settings, "Set a parameter's value first: NAME=VALUE (repeatable)")
        ->allow_extra_args(false);
    check->add_option("--globals", options->globals, "The global properties, as a JSON object");
    check->add_flag("--json", options->json, "Print one JSON object per parameter");
    check->callback([options, &status] { status = run(*options); });

    auto* pack = params->add_subcommand("pack", "Write a component in its packed byte-stream form");
    pack->add_option("COMPONENT", options->file, "The component (JSON definition or packed)")->required();
    pack->add_option("-o,--output", options->output, "The packed file to write")->required();
    pack->add_option("--stream-version", options->streamVersion, "The stream version: 1 or 2")
        ->check(CLI::IsMember({1, 2}))
        ->capture_default_str();
    pack->callback([options, &status] { status = runPack(*options); });

    auto* unpack = params->add_subcommand("unpack", "Write the JSON definition of a packed component");
    unpack->add_option("FILE", options->file, "The component (packed or JSON)")->required();
    unpack->add_option("-o,--output", options->output,
                       "The JSON file to write (standard output when not given)");
    unpack->callback([options, &status] { status = runUnpack(*options); });

    auto* edit = params->add_subcommand(
        "edit", "Run a script with the component as its data record and write the edited component");
    edit->add_option("COMPONENT", options->file, "The component (JSON definition or packed)")->required();
    auto* expression = edit->add_option("-e,--expression", options->script.text, "The script text");
    edit->add_option("SCRIPT_FILE", options->script.file, "The script file, or - for standard input")
        ->excludes(expression);
    edit->add_option(
        "-o,--output", options->output,
        "Where to write the result: a packed input stays packed; JSON on standard output when not "
        "given");
    edit->callback([options, &status] { status = runEdit(*options); });
}

}  // namespace strand::cli
