#include "host/ArrayValues.h"
#include "host/BitsetValue.h"
#include "host/ByteStream.h"
#include "host/Context.h"
#include "host/DataRecord.h"
#include "host/DateTimeValue.h"
#include "host/Expression.h"
#include "host/PropertyCollection.h"

namespace strand::detail {

// The host's classes and interfaces, known by tag from the first use of the class registry.
void registerHostClasses() {
    Class::registerClass<Value>();
    Class::registerClass<NullValue>();
    Class::registerClass<StringValue>();
    Class::registerClass<DoubleValue>();
    Class::registerClass<IntegerValue>();
    Class::registerClass<BooleanValue>();
    Class::registerClass<DateTimeValue>();
    Class::registerClass<ArrayValue>();
    Class::registerClass<StringArrayValue>();
    Class::registerClass<DoubleArrayValue>();
    Class::registerClass<IntegerArrayValue>();
    Class::registerClass<BooleanArrayValue>();
    Class::registerClass<ByteArrayValue>();
    Class::registerClass<ValueArrayValue>();
    Class::registerClass<IntegerFingerprintValue>();
    Class::registerClass<DoubleFingerprintValue>();
    Class::registerClass<StringFingerprintValue>();
    Class::registerClass<BitsetValue>();
    Class::registerClass<BitFingerprintValue>();
    Class::registerClass<iProperty>();
    Class::registerClass<CProperty>();
    Class::registerClass<iPropertyCollection>();
    Class::registerClass<CPropertyCollection>();
    Class::registerClass<iNode>();
    Class::registerClass<BaseNode>();
    Class::registerClass<iDataRecord>();
    Class::registerClass<DataRecord>();
    Class::registerClass<iContext>();
    Class::registerClass<ComponentContext>();
    Class::registerClass<iRunnerSoap>();
    Class::registerClass<iExpression>();
    Class::registerClass<iExpressionParser>();
    Class::registerClass<iByteOutputStream>();
    Class::registerClass<iByteInputStream>();
}

}  // namespace strand::detail
