// Embedding the engine: a host registers the library's classes, creates a parser and a parameter
// collection by class name, runs a script over a few records and checks a component's parameters.

#include <cstdio>
#include <cstdlib>

#include "host/Context.h"
#include "host/DataRecord.h"
#include "host/Expression.h"
#include "host/Parameter.h"
#include "module/Module.h"

using namespace strand;

namespace {

int failures = 0;

void check(bool ok, const char* what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
    failures += ok ? 0 : 1;
}

}  // namespace

int main() {
    if (strand_register_classes() != 0) {
        std::fprintf(stderr, "the classes could not be registered\n");
        return 1;
    }
    try {
        // A script over records.
        Ptr<iExpressionParser> parser =
            newInstanceAs<iExpressionParser>(ClassTag("Halvorn.data.ExpressionParser"));
        Ptr<iExpression> script(parser->parseExpression(String(u"price * quantity"), nullptr));
        const double prices[] = {2.5, 4, 10};
        const double quantities[] = {4, 3, 0.5};
        double total = 0;
        auto record = makePtr<DataRecord>();
        for (int i = 0; i < 3; ++i) {
            record->getPropertyList()->define(String(u"price"), DoubleValue(prices[i]), 0);
            record->getPropertyList()->define(String(u"quantity"), DoubleValue(quantities[i]), 0);
            ExpressionContext context(nullptr, record.get());
            total += script->getDouble(context);
        }
        check(total == 27, "price * quantity summed over three records is 27");

        // A component's parameters and their rules.
        Ptr<iParameterCollection> parameters =
            newInstanceAs<iParameterCollection>(ClassTag("Halvorn.data.ParameterCollection"));
        auto context = makePtr<ComponentContext>();
        auto* properties = dynamic_cast<iPropertyCollection*>(parameters.get());
        context->setComponentParameters(properties);
        parameters->_setContext(context.get());
        iParameter* limit = parameters->declare(String(u"Limit"));
        properties->find(String(u"Limit"))->setValue(u"150");
        limit->setValidationScript(
            String(u"IF parameter() <= 100 THEN true; ELSE setinvaliddetails('at most 100'); false; END IF"));
        check(!limit->getValid(), "Limit 150 is invalid");
        check(limit->getInvalidDetails() == String(u"at most 100"), "with the reason the rule gave");
        properties->find(String(u"Limit"))->setValue(u"80");
        check(limit->getValid(), "Limit 80 is valid");
        parameters->_setContext(nullptr);
    } catch (const Exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
    return failures == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
