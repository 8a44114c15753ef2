// Checking throughput: one megabyte of ordinary statements (assignments, arithmetic, string building,
// IF and loops, calls), checked with the checking grammar. The script is ASCII, so its characters are
// the bytes of the script file: the rate is megabytes of script per second.

#include <benchmark/benchmark.h>

#include "parser/ExpressionParser.h"

using strand::String;

namespace {

String ordinaryScript(size_t minBytes) {
    static const char16_t kBlock[] =
        u"total := total + price * quantity;\n"
        u"name := toupper(substring(code, 1, 3)) . '-' . format('%05d', id);\n"
        u"IF weight > 100 AND category eq 'bulk' THEN\n"
        u"    shipping := weight * 0.25;\n"
        u"ELSIF weight BETWEEN 10 AND 100 THEN\n"
        u"    shipping := 12.5;\n"
        u"ELSE\n"
        u"    shipping := 5;\n"
        u"END IF;\n"
        u"FOR i IN 1 .. 3 LOOP @seen += i; END LOOP;\n"
        u"/* a comment */ #tmp := \"tab\\tseparated\" . name;\n";
    String script(String::View{});
    while (script.length() < minBytes)
        script.append(kBlock);
    return script;
}

void BM_CheckOneMegabyte(benchmark::State& state) {
    const String script = ordinaryScript(1 << 20);
    strand::Array<String> messages;
    for (auto _ : state) {
        bool failed = xrExpressionParser::CheckExpression(script, messages);
        if (failed)
            state.SkipWithError("the script should check cleanly");
        benchmark::DoNotOptimize(failed);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(script.length()));
}
BENCHMARK(BM_CheckOneMegabyte)->Unit(benchmark::kMillisecond);

}  // namespace
