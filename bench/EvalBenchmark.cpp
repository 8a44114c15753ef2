// Evaluation throughput: small record-processing scripts run once per record over a million records
// held in memory, beside the same work done by Lua 5.4 on the same data held as Lua tables. Both
// engines are driven the same way: a script (or Lua function) prepared once, then one call per record
// from C++. The rate is records per second.
//
// Every benchmark builds its own records before timing starts and frees them afterwards, so the
// workloads do not see each other's results. One untimed pass runs first, so the timed passes all
// do the same work: the properties (and table fields) the script writes exist already, and each pass
// assigns them afresh.
//
// STRAND_BENCH_RECORDS overrides the number of records (for profiling under callgrind, say); the
// timed passes are timedStrandPass and timedLuaPass.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include <lua.hpp>

#include "host/Context.h"
#include "host/DataRecord.h"
#include "host/Property.h"
#include "host/PropertyCollection.h"
#include "host/Value.h"
#include "parser/ExpressionParser.h"

using strand::String;

namespace {

constexpr int64_t kDefaultRecords = 1'000'000;

int64_t recordCount() {
    static const int64_t count = [] {
        const char* text = std::getenv("STRAND_BENCH_RECORDS");
        if (!text || !*text)
            return kDefaultRecords;
        char* end = nullptr;
        const long long parsed = std::strtoll(text, &end, 10);
        return (end && *end == '\0' && parsed > 0) ? int64_t(parsed) : kDefaultRecords;
    }();
    return count;
}

// The fields of record i, shared by both engines. Names start with a varying letter (in either case,
// so a case-insensitive test of the first letter matters); about one name in seven starts with an A.
struct RecordFields {
    std::string name;
    std::string code;
    double price;
    int64_t quantity;
};

RecordFields recordFields(int64_t i) {
    static const char* const kWords[] = {"Alpha", "Bravo", "Charlie", "Delta", "Echo", "alpine", "Golf"};
    constexpr int64_t kWordCount = int64_t(sizeof kWords / sizeof kWords[0]);
    RecordFields fields;
    fields.name = std::string(kWords[i % kWordCount]) + " " + std::to_string(i % 1000);
    fields.code = "K" + std::to_string(i % 97);
    fields.price = 0.5 + double(i % 1000) * 0.25;
    fields.quantity = i % 50 + 1;
    return fields;
}

// What a workload leaves in a record: a property and the number (false and true as 0 and 1) or the
// text it should hold. The untimed first pass is checked against these before timing starts.
struct Expected {
    const char* property;
    double (*number)(const RecordFields&);
    std::string (*text)(const RecordFields&);
};

// The workloads, as StrandScript and as the body of a Lua function of the record `r`. The Lua side
// mirrors what the script does to the record: every name the script assigns becomes a field of the
// table, the FOR counter included. `countsRecords` marks the workload whose global counter should
// reach the number of records after the first pass.
struct Workload {
    const char16_t* script;
    const char* luaBody;
    std::vector<Expected> expected;
    bool countsRecords = false;
};

double firstLetterTier(const RecordFields& f) {
    return (f.name[0] == 'A' || f.name[0] == 'a') ? 1.0 : 2.0;
}

double loopSum(const RecordFields& f) {
    double s = 0;
    for (int i = 1; i <= 10; ++i)
        s = s + i * f.price;
    return s;
}

const Workload kBaseline{u"", "", {}};
const Workload kArithmetic{
    u"total := price * quantity; tax := total * 0.2; net := total - tax",
    "r.total = r.price * r.quantity; r.tax = r.total * 0.2; r.net = r.total - r.tax",
    {{"net", [](const RecordFields& f) { return f.price * double(f.quantity) * 0.8; }, nullptr}}};
const Workload kStrings{u"label := name . '-' . code; same := name = code",
                        "r.label = r.name .. '-' .. r.code; r.same = (r.name == r.code)",
                        {{"label", nullptr, [](const RecordFields& f) { return f.name + "-" + f.code; }},
                         {"same", [](const RecordFields&) { return 0.0; }, nullptr}}};
const Workload kIfLike{u"IF name LIKE 'A%' THEN tier := 1; ELSE tier := 2; END IF",
                       "local c = string.byte(r.name, 1); "
                       "if c == 65 or c == 97 then r.tier = 1 else r.tier = 2 end",
                       {{"tier", firstLetterTier, nullptr}}};
const Workload kForLoop{u"s := 0; FOR i IN 1 .. 10 LOOP s := s + i * price; END LOOP",
                        "r.s = 0; for i = 1, 10 do r.i = i; r.s = r.s + i * r.price end",
                        {{"s", loopSum, nullptr}, {"i", [](const RecordFields&) { return 10.0; }, nullptr}}};
const Workload kGlobalCounter{u"@count := @count + 1", "count = count + 1", {}, true};

// Records checked after the first pass: the first few (names with each starting letter) and the last.
std::vector<int64_t> checkedRecords(int64_t count) {
    std::vector<int64_t> positions;
    for (int64_t i = 0; i < count && i < 8; ++i)
        positions.push_back(i);
    if (count > 8)
        positions.push_back(count - 1);
    return positions;
}

bool sameNumber(double actual, double expected) {
    const double scale = expected < 0 ? -expected : expected;
    const double difference = actual > expected ? actual - expected : expected - actual;
    return difference <= 1e-9 * (scale > 1 ? scale : 1);
}

std::string mismatch(int64_t record, const char* property, const std::string& actual) {
    return "record " + std::to_string(record) + ": " + property + " is " + actual;
}

// ---- StrandScript ----

struct StrandData {
    strand::ComponentContext component;
    std::vector<strand::Ptr<strand::DataRecord>> records;
};

void buildStrandRecords(StrandData& data, int64_t count) {
    const String nameKey(u"name"), codeKey(u"code"), priceKey(u"price"), quantityKey(u"quantity");
    data.records.reserve(size_t(count));
    for (int64_t i = 0; i < count; ++i) {
        const RecordFields fields = recordFields(i);
        auto record = strand::makePtr<strand::DataRecord>();
        strand::iPropertyCollection* properties = record->getPropertyList();
        properties->define(nameKey, strand::StringValue(String::fromAscii(fields.name)), 0);
        properties->define(codeKey, strand::StringValue(String::fromAscii(fields.code)), 0);
        properties->define(priceKey, strand::DoubleValue(fields.price), 0);
        properties->define(quantityKey, strand::IntegerValue(fields.quantity), 0);
        data.records.push_back(std::move(record));
    }
}

void runStrandPass(xrExpressionListImp& script, strand::ExpressionContext& ctx, const StrandData& data) {
    for (const auto& record : data.records) {
        ctx.setDataRecord(record.get());
        script.evaluate(ctx);
    }
}

// The timed passes are kept out of line so that a profiler can collect them alone, leaving out
// building the records and the first pass: valgrind --tool=callgrind --toggle-collect='*timedStrandPass*'
[[gnu::noinline]] void timedStrandPass(xrExpressionListImp& script, strand::ExpressionContext& ctx,
                                       const StrandData& data) {
    runStrandPass(script, ctx, data);
}

// Empty when the first pass left what the workload should; else what is wrong.
std::string checkStrand(const Workload& workload, StrandData& data, int64_t count) {
    for (int64_t i : checkedRecords(count)) {
        const RecordFields fields = recordFields(i);
        strand::iPropertyCollection* properties = data.records[size_t(i)]->getPropertyList();
        for (const Expected& expected : workload.expected) {
            strand::iProperty* property = properties->find(String::fromAscii(expected.property));
            if (!property)
                return mismatch(i, expected.property, "missing");
            const strand::Value& value = property->getValue();
            if (expected.number && !sameNumber(value.getDouble(), expected.number(fields)))
                return mismatch(i, expected.property, std::to_string(value.getDouble()));
            if (expected.text) {
                String text;
                value.getText(text);
                if (text.toUtf8() != expected.text(fields))
                    return mismatch(i, expected.property, text.toUtf8());
            }
        }
    }
    if (workload.countsRecords) {
        strand::iProperty* counter = data.component.getGlobalProperties()->find(String(u"count"));
        if (!counter || !sameNumber(counter->getValue().getDouble(), double(count)))
            return "the global counter did not count the records";
    }
    return {};
}

void runStrand(benchmark::State& state, const Workload& workload) {
    const int64_t count = recordCount();
    StrandData data;
    buildStrandRecords(data, count);
    data.component.getGlobalProperties()->define(String(u"count"), strand::IntegerValue(0), 0);

    try {
        strand::Ptr<xrExpressionListImp> script =
            xrExpressionParser::ParseExpression(String(workload.script), &data.component);
        strand::ExpressionContext ctx(&data.component, static_cast<strand::iDataRecord*>(nullptr));
        runStrandPass(*script, ctx, data);
        if (const std::string wrong = checkStrand(workload, data, count); !wrong.empty()) {
            state.SkipWithError(wrong.c_str());
            return;
        }
        for (auto _ : state) {
            timedStrandPass(*script, ctx, data);
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * count);
}

void BM_EvalStrand_Baseline(benchmark::State& state) {
    runStrand(state, kBaseline);
}
void BM_EvalStrand_Arithmetic(benchmark::State& state) {
    runStrand(state, kArithmetic);
}
void BM_EvalStrand_Strings(benchmark::State& state) {
    runStrand(state, kStrings);
}
void BM_EvalStrand_IfLike(benchmark::State& state) {
    runStrand(state, kIfLike);
}
void BM_EvalStrand_ForLoop(benchmark::State& state) {
    runStrand(state, kForLoop);
}
void BM_EvalStrand_GlobalCounter(benchmark::State& state) {
    runStrand(state, kGlobalCounter);
}

// ---- Lua ----

// A lua_State holding the records as an array of tables at stack index 1 and the compiled
// workload function at index 2.
class LuaData {
  public:
    LuaData() : m_state(luaL_newstate()) { luaL_openlibs(m_state); }
    ~LuaData() { lua_close(m_state); }
    LuaData(const LuaData&) = delete;
    LuaData& operator=(const LuaData&) = delete;

    lua_State* state() const noexcept { return m_state; }

  private:
    lua_State* m_state;
};

constexpr int kRecordsIndex = 1;
constexpr int kFunctionIndex = 2;

void buildLuaRecords(lua_State* L, int64_t count) {
    lua_createtable(L, int(count), 0);
    for (int64_t i = 0; i < count; ++i) {
        const RecordFields fields = recordFields(i);
        lua_createtable(L, 0, 4);
        lua_pushlstring(L, fields.name.data(), fields.name.size());
        lua_setfield(L, -2, "name");
        lua_pushlstring(L, fields.code.data(), fields.code.size());
        lua_setfield(L, -2, "code");
        lua_pushnumber(L, fields.price);
        lua_setfield(L, -2, "price");
        lua_pushinteger(L, lua_Integer(fields.quantity));
        lua_setfield(L, -2, "quantity");
        lua_rawseti(L, -2, lua_Integer(i + 1));
    }
}

// Compiles `function(r) <body> end` and leaves it on the stack; false with the message on failure.
bool compileLuaFunction(lua_State* L, const char* body, std::string& error) {
    const std::string chunk = std::string("return function(r) ") + body + " end";
    if (luaL_loadbuffer(L, chunk.data(), chunk.size(), "workload") != LUA_OK ||
        lua_pcall(L, 0, 1, 0) != LUA_OK) {
        error = lua_tostring(L, -1);
        lua_pop(L, 1);
        return false;
    }
    return true;
}

// Out of line for the same reason as timedStrandPass.
[[gnu::noinline]] void timedLuaPass(lua_State* L, int64_t count) {
    for (int64_t i = 1; i <= count; ++i) {
        lua_pushvalue(L, kFunctionIndex);
        lua_rawgeti(L, kRecordsIndex, lua_Integer(i));
        lua_call(L, 1, 0);
    }
}

// The untimed first pass, with every call protected; false with the message on the first failure.
bool runLuaPassChecked(lua_State* L, int64_t count, std::string& error) {
    for (int64_t i = 1; i <= count; ++i) {
        lua_pushvalue(L, kFunctionIndex);
        lua_rawgeti(L, kRecordsIndex, lua_Integer(i));
        if (lua_pcall(L, 1, 0, 0) != LUA_OK) {
            error = lua_tostring(L, -1);
            lua_pop(L, 1);
            return false;
        }
    }
    return true;
}

// Empty when the first pass left what the workload should; else what is wrong.
std::string checkLua(lua_State* L, const Workload& workload, int64_t count) {
    for (int64_t i : checkedRecords(count)) {
        const RecordFields fields = recordFields(i);
        lua_rawgeti(L, kRecordsIndex, lua_Integer(i + 1));
        for (const Expected& expected : workload.expected) {
            const int type = lua_getfield(L, -1, expected.property);
            std::string wrong;
            if (type == LUA_TNIL) {
                wrong = "missing";
            } else if (expected.number) {
                const double actual =
                    type == LUA_TBOOLEAN ? (lua_toboolean(L, -1) ? 1.0 : 0.0) : lua_tonumber(L, -1);
                if (!sameNumber(actual, expected.number(fields)))
                    wrong = std::to_string(actual);
            } else if (expected.text) {
                size_t length = 0;
                const char* text = lua_tolstring(L, -1, &length);
                if (!text || std::string(text, length) != expected.text(fields))
                    wrong = text ? std::string(text, length) : "not a text";
            }
            lua_pop(L, 1);
            if (!wrong.empty()) {
                lua_pop(L, 1);
                return mismatch(i, expected.property, wrong);
            }
        }
        lua_pop(L, 1);
    }
    if (workload.countsRecords) {
        lua_getglobal(L, "count");
        const double counted = lua_tonumber(L, -1);
        lua_pop(L, 1);
        if (!sameNumber(counted, double(count)))
            return "the global counter did not count the records";
    }
    return {};
}

void runLua(benchmark::State& state, const Workload& workload) {
    const int64_t count = recordCount();
    LuaData data;
    lua_State* L = data.state();
    buildLuaRecords(L, count);
    lua_pushinteger(L, 0);
    lua_setglobal(L, "count");

    std::string error;
    if (!compileLuaFunction(L, workload.luaBody, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    if (!runLuaPassChecked(L, count, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    if (const std::string wrong = checkLua(L, workload, count); !wrong.empty()) {
        state.SkipWithError(wrong.c_str());
        return;
    }
    for (auto _ : state) {
        timedLuaPass(L, count);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * count);
}

void BM_EvalLua_Baseline(benchmark::State& state) {
    runLua(state, kBaseline);
}
void BM_EvalLua_Arithmetic(benchmark::State& state) {
    runLua(state, kArithmetic);
}
void BM_EvalLua_Strings(benchmark::State& state) {
    runLua(state, kStrings);
}
void BM_EvalLua_IfLike(benchmark::State& state) {
    runLua(state, kIfLike);
}
void BM_EvalLua_ForLoop(benchmark::State& state) {
    runLua(state, kForLoop);
}
void BM_EvalLua_GlobalCounter(benchmark::State& state) {
    runLua(state, kGlobalCounter);
}

// The slower workloads take the best part of a second per pass; two seconds gives every benchmark
// several passes to average over.
constexpr double kMinSeconds = 2.0;

BENCHMARK(BM_EvalStrand_Baseline)->Unit(benchmark::kMillisecond)->MinTime(kMinSeconds);
BENCHMARK(BM_EvalLua_Baseline)->Unit(benchmark::kMillisecond)->MinTime(kMinSeconds);
BENCHMARK(BM_EvalStrand_Arithmetic)->Unit(benchmark::kMillisecond)->MinTime(kMinSeconds);
BENCHMARK(BM_EvalLua_Arithmetic)->Unit(benchmark::kMillisecond)->MinTime(kMinSeconds);
BENCHMARK(BM_EvalStrand_Strings)->Unit(benchmark::kMillisecond)->MinTime(kMinSeconds);
BENCHMARK(BM_EvalLua_Strings)->Unit(benchmark::kMillisecond)->MinTime(kMinSeconds);
BENCHMARK(BM_EvalStrand_IfLike)->Unit(benchmark::kMillisecond)->MinTime(kMinSeconds);
BENCHMARK(BM_EvalLua_IfLike)->Unit(benchmark::kMillisecond)->MinTime(kMinSeconds);
BENCHMARK(BM_EvalStrand_ForLoop)->Unit(benchmark::kMillisecond)->MinTime(kMinSeconds);
BENCHMARK(BM_EvalLua_ForLoop)->Unit(benchmark::kMillisecond)->MinTime(kMinSeconds);
BENCHMARK(BM_EvalStrand_GlobalCounter)->Unit(benchmark::kMillisecond)->MinTime(kMinSeconds);
BENCHMARK(BM_EvalLua_GlobalCounter)->Unit(benchmark::kMillisecond)->MinTime(kMinSeconds);

}  // namespace
