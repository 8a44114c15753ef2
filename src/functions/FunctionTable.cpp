#include "functions/FunctionFactory.h"
#include "functions/ComponentFunctions.h"
#include "functions/ParameterFunctions.h"

#include "functions/BitsetFunctions.h"
#include "functions/DateFunctions.h"
#include "functions/HashTableFunctions.h"
#include "functions/MathFunctions.h"
#include "functions/ControlFunctions.h"
#include "functions/PropertyFunctions.h"
#include "functions/ProtocolFunctions.h"
#include "functions/StringFunctions.h"
#include "functions/ConversionFunctions.h"

// The built-in functions in registration order: ids run from 1 to 249 in this order. A row without a
// factory is known with its bounds (enough for checking scripts) until its family is implemented; the
// last column names the family.

namespace strand::detail {

namespace {

enum class Family {
    Date,
    Math,
    Control,
    Parameter,
    String,
    Conversion,
    Bitset,
    HashTable,
    Protocol,
    Property,
    Molecule
};

const char* familyName(Family f) {
    switch (f) {
        case Family::Date:
            return "date";
        case Family::Math:
            return "math";
        case Family::Control:
            return "control";
        case Family::Parameter:
            return "parameter";
        case Family::String:
            return "string";
        case Family::Conversion:
            return "conversion";
        case Family::Bitset:
            return "bitset";
        case Family::HashTable:
            return "hash table";
        case Family::Protocol:
            return "protocol";
        case Family::Property:
            return "property";
        case Family::Molecule:
            return "molecule";
    }
    return "";
}

struct Row {
    const char16_t* name;
    int32_t minArgs;
    int32_t maxArgs;  // -1: no upper bound
    Family family;
    xrFunctionFactoryFn factory = nullptr;
};

// setmolinfo is declared only: it is known, but no factory will ever build it.
const Row kFunctions[] = {
    {u"getdate", 0, 1, Family::Date, dates::makeGetDate},
    {u"gettime", 0, 1, Family::Date, dates::makeGetTime},
    {u"getcdate", 0, 0, Family::Date, dates::makeGetCDate},
    {u"getctime", 0, 0, Family::Date, dates::makeGetCTime},
    {u"getcdatetime", 0, 0, Family::Date, dates::makeGetCDateTime},
    {u"date", 1, 2, Family::Date, dates::makeDate},
    {u"datecurrent", 0, 0, Family::Date, dates::makeDateCurrent},
    {u"datefromYMD", 3, 3, Family::Date, dates::makeDateFromYMD},
    {u"time", 1, 2, Family::Date, dates::makeTime},
    {u"timecurrent", 0, 0, Family::Date, dates::makeTimeCurrent},
    {u"timefromHMS", 3, 4, Family::Date, dates::makeTimeFromHMS},
    {u"datetimecurrent", 0, 0, Family::Date, dates::makeDateTimeCurrent},
    {u"datetime", 1, 2, Family::Date, dates::makeDateTime},
    {u"datetimefromYMDHMS", 6, 7, Family::Date, dates::makeDateTimeFromYMDHMS},
    {u"dateproposeformat", 1, 1, Family::Date, dates::makeDateProposeFormat},
    {u"datetext", 1, 1, Family::Date, dates::makeDateText},
    {u"dateformat", 1, 1, Family::Date, dates::makeDateFormat},
    {u"datesetformat", 2, 2, Family::Date, dates::makeDateSetFormat},
    {u"datefillundefined", 1, 2, Family::Date, dates::makeDateFillUndefined},
    {u"datefieldisdefined", 2, 2, Family::Date, dates::makeDateFieldIsDefined},
    {u"datesetfieldundefined", 2, 2, Family::Date, dates::makeDateSetFieldUndefined},
    {u"datesettext", 2, 3, Family::Date, dates::makeDateSetText},
    {u"dateyear", 1, 1, Family::Date, dates::makeDateYear},
    {u"datesetyear", 2, 2, Family::Date, dates::makeDateSetYear},
    {u"dateaddyears", 2, 2, Family::Date, dates::makeDateAddYears},
    {u"datemonth", 1, 1, Family::Date, dates::makeDateMonth},
    {u"datemonthtext", 0, 3, Family::Date, dates::makeDateMonthText},
    {u"datesetmonth", 2, 2, Family::Date, dates::makeDateSetMonth},
    {u"dateaddmonths", 2, 2, Family::Date, dates::makeDateAddMonths},
    {u"datedayofmonth", 1, 1, Family::Date, dates::makeDateDayOfMonth},
    {u"datesetdayofmonth", 2, 2, Family::Date, dates::makeDateSetDayOfMonth},
    {u"dateadddays", 2, 2, Family::Date, dates::makeDateAddDays},
    {u"datedayofweek", 0, 1, Family::Date, dates::makeDateDayOfWeek},
    {u"datedayofweektext", 0, 3, Family::Date, dates::makeDateDayOfWeekText},
    {u"datedayofyear", 0, 1, Family::Date, dates::makeDateDayOfYear},
    {u"datehour", 1, 1, Family::Date, dates::makeDateHour},
    {u"datesethour", 2, 2, Family::Date, dates::makeDateSetHour},
    {u"dateaddhours", 2, 2, Family::Date, dates::makeDateAddHours},
    {u"dateminute", 1, 1, Family::Date, dates::makeDateMinute},
    {u"datesetminute", 2, 2, Family::Date, dates::makeDateSetMinute},
    {u"dateaddminutes", 2, 2, Family::Date, dates::makeDateAddMinutes},
    {u"datesecond", 1, 1, Family::Date, dates::makeDateSecond},
    {u"datesetsecond", 2, 2, Family::Date, dates::makeDateSetSecond},
    {u"dateaddseconds", 2, 2, Family::Date, dates::makeDateAddSeconds},
    {u"datemilliseconds", 1, 1, Family::Date, dates::makeDateMilliseconds},
    {u"datesetmilliseconds", 2, 2, Family::Date, dates::makeDateSetMilliseconds},
    {u"dateaddmilliseconds", 2, 2, Family::Date, dates::makeDateAddMilliseconds},
    {u"datesecondssince1970", 0, 1, Family::Date, dates::makeDateSecondsSince1970},
    {u"datesetsecondssince1970", 2, 2, Family::Date, dates::makeDateSetSecondsSince1970},
    {u"datejulian", 0, 1, Family::Date, dates::makeDateJulian},
    {u"datesetjulian", 2, 2, Family::Date, dates::makeDateSetJulian},
    {u"datelocaltogmt", 0, 1, Family::Date, dates::makeDateLocalToGmt},
    {u"dateisleapyear", 1, 1, Family::Date, dates::makeDateIsLeapYear},
    {u"dateisdst", 1, 1, Family::Date, dates::makeDateIsDst},
    {u"datedaysinmonth", 1, 1, Family::Date, dates::makeDateDaysInMonth},
    {u"dateweekofyear", 1, 1, Family::Date, dates::makeDateWeekOfYear},
    {u"dateweekofyearyear", 1, 1, Family::Date, dates::makeDateWeekOfYearYear},
    {u"datedaysbetween", 2, 2, Family::Date, dates::makeDateDaysBetween},
    {u"datesetlocale", 1, 1, Family::Date, dates::makeDateSetLocale},
    {u"datelocale", 0, 0, Family::Date, dates::makeDateLocale},
    {u"datetimezone", 0, 1, Family::Date, dates::makeDateTimeZone},
    {u"datesettimezone", 2, 2, Family::Date, dates::makeDateSetTimeZone},
    {u"datechangetimezone", 2, 2, Family::Date, dates::makeDateChangeTimeZone},
    {u"abs", 1, 1, Family::Math, math::makeAbs},
    {u"acos", 1, 1, Family::Math, math::makeAcos},
    {u"asin", 1, 1, Family::Math, math::makeAsin},
    {u"atan", 1, 1, Family::Math, math::makeAtan},
    {u"atan2", 2, 2, Family::Math, math::makeAtan2},
    {u"ceiling", 1, 1, Family::Math, math::makeCeiling},
    {u"cos", 1, 1, Family::Math, math::makeCos},
    {u"exp", 1, 1, Family::Math, math::makeExp},
    {u"floor", 1, 1, Family::Math, math::makeFloor},
    {u"log", 1, 1, Family::Math, math::makeLog},
    {u"log10", 1, 1, Family::Math, math::makeLog10},
    {u"power", 2, 2, Family::Math, math::makePower},
    {u"sin", 1, 1, Family::Math, math::makeSin},
    {u"sqrt", 1, 1, Family::Math, math::makeSqrt},
    {u"tan", 1, 1, Family::Math, math::makeTan},
    {u"gaussianpdf", 3, 3, Family::Math, math::makeGaussianPdf},
    {u"gaussiancdf", 3, 3, Family::Math, math::makeGaussianCdf},
    {u"gaussianz", 1, 1, Family::Math, math::makeGaussianZ},
    {u"gaussianp", 1, 1, Family::Math, math::makeGaussianP},
    {u"chidistribution", 2, 2, Family::Math, math::makeChiDistribution},
    {u"tdistribution", 2, 2, Family::Math, math::makeTDistribution},
    {u"incompletebeta", 3, 3, Family::Math, math::makeIncompleteBeta},
    {u"binomialpdf", 3, 3, Family::Math, math::makeBinomialPdf},
    {u"binomialcdf", 3, 3, Family::Math, math::makeBinomialCdf},
    {u"sign", 1, 1, Family::Math, math::makeSign},
    {u"rand", 0, 0, Family::Math, math::makeRand},
    {u"srand", 0, 1, Family::Math, math::makeSrand},
    {u"hashcode", 1, 1, Family::Math, math::makeHashCode},
    {u"approx", 3, 3, Family::Math, math::makeApprox},
    {u"terminate", 0, 0, Family::Control, control::makeTerminate},
    {u"error", 1, 1, Family::Control, control::makeError},
    {u"halt", 0, 0, Family::Control, control::makeHalt},
    {u"haltprotocol", 0, 0, Family::Control, control::makeHaltProtocol},
    {u"terminatepipeline", 0, 0, Family::Control, control::makeTerminatePipeline},
    {u"blockpipeline", 0, 0, Family::Control, control::makeBlockPipeline},
    {u"fileexists", 1, 1, Family::Control, control::makeFileExists},
    {u"filesize", 1, 1, Family::Control, control::makeFileSize},
    {u"filelastmodified", 1, 1, Family::Control, control::makeFileLastModified},
    {u"fileowner", 1, 1, Family::Control, control::makeFileOwner},
    {u"sendmessagetoclient", 1, 1, Family::Control, control::makeSendMessageToClient},
    {u"setparam", 2, 2, Family::Parameter, components::makeSetParam},
    {u"setdataparam", 2, 2, Family::Parameter, components::makeSetDataParam},
    {u"setparamhelp", 2, 2, Family::Parameter, components::makeSetParamHelp},
    {u"getnumparams", 0, -1, Family::Parameter, components::makeGetNumParams},
    {u"getcomponentname", 0, -1, Family::Parameter, components::makeGetComponentName},
    {u"getparam", 1, 1, Family::Parameter, components::makeGetParam},
    {u"getparamlegalvalues", 1, 1, Family::Parameter, components::makeGetParamLegalValues},
    {u"setparamlegalvalues", 3, -1, Family::Parameter, components::makeSetParamLegalValues},
    {u"getparamtype", 1, 1, Family::Parameter, components::makeGetParamType},
    {u"setparamtype", 2, 2, Family::Parameter, components::makeSetParamType},
    {u"getparamhelp", 1, 1, Family::Parameter, components::makeGetParamHelp},
    {u"getparamflag", 2, 2, Family::Parameter, components::makeGetParamFlag},
    {u"setparamflag", 3, 3, Family::Parameter, components::makeSetParamFlag},
    {u"getithparamname", 1, 1, Family::Parameter, components::makeGetIthParamName},
    {u"sethelp", 2, 2, Family::Parameter, components::makeSetHelp},
    {u"gethelp", 1, 1, Family::Parameter, components::makeGetHelp},
    {u"setoutputtype", 2, 2, Family::Parameter, components::makeSetOutputType},
    {u"getoutputtype", 1, 1, Family::Parameter, components::makeGetOutputType},
    {u"sum", 1, -1, Family::Math, math::makeSum},
    {u"avg", 1, -1, Family::Math, math::makeAvg},
    {u"pi", 0, 0, Family::Math, math::makePi},
    {u"bin", 2, 2, Family::Math, math::makeBin},
    {u"min", 2, 2, Family::Math, math::makeMin},
    {u"max", 2, 2, Family::Math, math::makeMax},
    {u"mod", 2, 2, Family::Math, math::makeMod},
    {u"sleep", 1, 1, Family::Control, control::makeSleep},
    {u"isupports", 1, 1, Family::Control, control::makeISupports},
    {u"isvalidstrandscript", 1, 1, Family::Control, control::makeIsValidStrandScript},
    {u"substring", 2, 3, Family::String, strings::makeSubstring},
    {u"format", 1, -1, Family::String, strings::makeFormat},
    {u"debugMessage", 1, -1, Family::Control, control::makeDebugMessage},
    {u"debugMessageError", 1, -1, Family::Control, control::makeDebugMessageError},
    {u"debugBreak", 1, -1, Family::Control, control::makeDebugBreak},
    {u"stringlen", 1, 1, Family::String, strings::makeStringLength},
    {u"strlength", 1, 1, Family::String, strings::makeStringLength},
    {u"findsubstring", 2, 4, Family::String, strings::makeFindSubstring},
    {u"findlastsubstring", 2, 3, Family::String, strings::makeFindLastSubstring},
    {u"strreplace", 3, 4, Family::String, strings::makeStrReplace},
    {u"strerase", 2, 3, Family::String, strings::makeStrErase},
    {u"strinsert", 3, 3, Family::String, strings::makeStrInsert},
    {u"stroverwrite", 3, 3, Family::String, strings::makeStrOverwrite},
    {u"asc", 1, 1, Family::Conversion, conversions::makeAsc},
    {u"chr", 1, 1, Family::Conversion, conversions::makeChr},
    {u"converttohex", 1, 1, Family::Conversion, conversions::makeConvertToHex},
    {u"convertfromhex", 1, 1, Family::Conversion, conversions::makeConvertFromHex},
    {u"converttobase64", 1, 1, Family::Conversion, conversions::makeConvertToBase64},
    {u"convertfrombase64", 1, 1, Family::Conversion, conversions::makeConvertFromBase64},
    {u"compress", 1, 1, Family::Conversion, conversions::makeCompress},
    {u"uncompress", 1, 1, Family::Conversion, conversions::makeUncompress},
    {u"convertstringtobytes", 1, 2, Family::Conversion, conversions::makeConvertStringToBytes},
    {u"convertbytestostring", 1, 2, Family::Conversion, conversions::makeConvertBytesToString},
    {u"convertfromdaylight", 1, 1, Family::Conversion, conversions::makeConvertFromDaylight},
    {u"convert_daylight_fingerprint", 1, 1, Family::Conversion, conversions::makeConvertDaylightFingerprint},
    {u"converttodaylight", 1, 1, Family::Conversion, conversions::makeConvertToDaylight},
    {u"assert", 1, 2, Family::Control, control::makeAssert},
    {u"toupper", 1, 1, Family::String, strings::makeToUpper},
    {u"tolower", 1, 1, Family::String, strings::makeToLower},
    {u"trim", 1, 2, Family::String, strings::makeTrim},
    {u"boolean", 1, 1, Family::Conversion, conversions::makeBoolean},
    {u"integer", 1, 1, Family::Conversion, conversions::makeInteger},
    {u"double", 1, 1, Family::Conversion, conversions::makeDouble},
    {u"string", 1, 1, Family::Conversion, conversions::makeString},
    {u"isinteger", 1, 1, Family::Conversion, conversions::makeIsInteger},
    {u"isnumber", 1, 1, Family::Conversion, conversions::makeIsNumber},
    {u"numbersort", 1, 1, Family::String, strings::makeNumberSort},
    {u"sort", 1, 1, Family::String, strings::makeSort},
    {u"removeduplicates", 1, 1, Family::String, strings::makeRemoveDuplicates},
    {u"rmatch", 2, 3, Family::String, strings::makeRMatch},
    {u"rsplit", 2, 4, Family::String, strings::makeRSplit},
    {u"rsubst", 3, 4, Family::String, strings::makeRSubst},
    {u"eval", 1, 1, Family::Control, control::makeEval},
    {u"binaryand", 2, 2, Family::Bitset, bitsets::makeBinaryAnd},
    {u"binaryor", 2, 2, Family::Bitset, bitsets::makeBinaryOr},
    {u"binaryxor", 2, 2, Family::Bitset, bitsets::makeBinaryXor},
    {u"binarynot", 1, 1, Family::Bitset, bitsets::makeBinaryNot},
    {u"bitsetand", 2, 2, Family::Bitset, bitsets::makeBitsetAnd},
    {u"bitsetcreate", 1, 1, Family::Bitset, bitsets::makeBitsetCreate},
    {u"bitsetor", 2, 2, Family::Bitset, bitsets::makeBitsetOr},
    {u"bitsetandnot", 2, 2, Family::Bitset, bitsets::makeBitsetAndNot},
    {u"bitsetcount", 1, 1, Family::Bitset, bitsets::makeBitsetCount},
    {u"bitsetsize", 1, 1, Family::Bitset, bitsets::makeBitsetSize},
    {u"bitsetresize", 2, 2, Family::Bitset, bitsets::makeBitsetResize},
    {u"bitsetclear", 1, 1, Family::Bitset, bitsets::makeBitsetClear},
    {u"bitseton", 2, 2, Family::Bitset, bitsets::makeBitsetOn},
    {u"bitsetoff", 2, 2, Family::Bitset, bitsets::makeBitsetOff},
    {u"bitsetflipall", 1, 1, Family::Bitset, bitsets::makeBitsetFlipAll},
    {u"bitsettest", 2, 2, Family::Bitset, bitsets::makeBitsetTest},
    {u"bitsetnext", 2, 2, Family::Bitset, bitsets::makeBitsetNext},
    {u"urlencode", 1, 1, Family::Conversion, conversions::makeUrlEncode},
    {u"hashcreate", 0, 1, Family::HashTable, hashes::makeHashCreate},
    {u"hashdestroy", 1, 1, Family::HashTable, hashes::makeHashDestroy},
    {u"hashclear", 1, 1, Family::HashTable, hashes::makeHashClear},
    {u"hashadd", 3, 3, Family::HashTable, hashes::makeHashAdd},
    {u"hashfind", 2, 2, Family::HashTable, hashes::makeHashFind},
    {u"hashcontains", 2, 2, Family::HashTable, hashes::makeHashContains},
    {u"hashremove", 2, 2, Family::HashTable, hashes::makeHashRemove},
    {u"hashfindindex", 2, 2, Family::HashTable, hashes::makeHashFindIndex},
    {u"hashnumvalues", 1, 1, Family::HashTable, hashes::makeHashNumValues},
    {u"hashithkey", 2, 2, Family::HashTable, hashes::makeHashIthKey},
    {u"hashithvalue", 2, 2, Family::HashTable, hashes::makeHashIthValue},
    {u"createGUID", 0, 0, Family::Control, control::makeCreateGUID},
    {u"setlegalvalues", 1, 1, Family::Parameter, makeSetLegalValues},
    {u"setdisableddetails", 1, 1, Family::Parameter, makeSetDisabledDetails},
    {u"setinvaliddetails", 1, 1, Family::Parameter, makeSetInvalidDetails},
    {u"runprotocol", 1, -1, Family::Protocol, protocols::makeRunProtocol},
    {u"calculate", 1, -1, Family::Property, properties::makeCalculate},
    {u"append", 2, 2, Family::Property, properties::makeAppend},
    {u"clear", 1, 1, Family::Property, properties::makeClear},
    {u"numvalues", 1, 1, Family::Property, properties::makeNumValues},
    {u"keep", 1, -1, Family::Property, properties::makeKeep},
    {u"rkeep", 1, 1, Family::Property, properties::makeRKeep},
    {u"remove", 1, -1, Family::Property, properties::makeRemove},
    {u"removeglobal", 1, -1, Family::Property, properties::makeRemoveGlobal},
    {u"rremove", 1, 1, Family::Property, properties::makeRRemove},
    {u"removeall", 0, 0, Family::Property, properties::makeRemoveAll},
    {u"expand", 2, -1, Family::Property, properties::makeExpand},
    {u"contract", 2, -1, Family::Property, properties::makeContract},
    {u"rename", 2, 2, Family::Property, properties::makeRename},
    {u"renameglobal", 2, 2, Family::Property, properties::makeRenameGlobal},
    {u"resize", 2, 2, Family::Property, properties::makeResize},
    {u"searchall", 1, 1, Family::Property, properties::makeSearchAll},
    {u"reorder", 1, -1, Family::Property, properties::makeReorder},
    {u"occurrence", 1, 2, Family::Property, properties::makeOccurrence},
    {u"numchildren", 1, 1, Family::Property, properties::makeNumChildren},
    {u"addchild", 1, 3, Family::Property, properties::makeAddChild},
    {u"isvalidlocation", 1, 1, Family::Property, properties::makeIsValidLocation},
    {u"cancalculate", 1, 1, Family::Property, properties::makeCanCalculate},
    {u"contains", 2, 2, Family::Property, properties::makeContains},
    {u"insertvalue", 3, 3, Family::Property, properties::makeInsertValue},
    {u"removevalue", 2, 2, Family::Property, properties::makeRemoveValue},
    {u"setmolinfo", 2, 2, Family::Molecule},
    {u"ithpropertyname", 1, 1, Family::Property, properties::makeIthPropertyName},
    {u"ithglobalpropertyname", 1, 1, Family::Property, properties::makeIthGlobalPropertyName},
    {u"numproperties", 0, 0, Family::Property, properties::makeNumProperties},
    {u"numglobalproperties", 0, 0, Family::Property, properties::makeNumGlobalProperties},
    {u"ithproperty", 1, 1, Family::Property, properties::makeIthProperty},
    {u"ithglobalproperty", 1, 1, Family::Property, properties::makeIthGlobalProperty},
    {u"property", 1, 1, Family::Property, properties::makeProperty},
    {u"parameter", 0, 1, Family::Property, makeParameter},
    {u"parametername", 0, 0, Family::Property, makeParameterName},
    {u"globalproperty", 1, 1, Family::Property, properties::makeGlobalProperty},
    {u"changepropertytype", 2, 2, Family::Property, properties::makeChangePropertyType},
    {u"getpropertytype", 1, 2, Family::Property, properties::makeGetPropertyType},
    {u"rpropertynames", 1, 1, Family::Property, properties::makeRPropertyNames},
    {u"rglobalpropertynames", 1, 1, Family::Property, properties::makeRGlobalPropertyNames},
    {u"cancalculatenames", 1, 1, Family::Property, properties::makeCanCalculateNames},
};

}  // namespace

void registerBuiltinFunctions() {
    for (const Row& row : kFunctions)
        registerBuiltin(row.name, row.minArgs, row.maxArgs, row.factory, familyName(row.family));
}

}  // namespace strand::detail
