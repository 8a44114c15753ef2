#pragma once
// The conversion and encoding built-ins (ConversionFunctions.cpp): the factory of each, in registration
// order.

#include <type_traits>

#include "functions/FunctionFactory.h"

namespace strand::conversions {

using xrFunctionFactoryType = std::remove_pointer_t<xrFunctionFactoryFn>;

xrFunctionFactoryType makeAsc;                         // asc
xrFunctionFactoryType makeChr;                         // chr
xrFunctionFactoryType makeConvertToHex;                // converttohex
xrFunctionFactoryType makeConvertFromHex;              // convertfromhex
xrFunctionFactoryType makeConvertToBase64;             // converttobase64
xrFunctionFactoryType makeConvertFromBase64;           // convertfrombase64
xrFunctionFactoryType makeCompress;                    // compress
xrFunctionFactoryType makeUncompress;                  // uncompress
xrFunctionFactoryType makeConvertStringToBytes;        // convertstringtobytes
xrFunctionFactoryType makeConvertBytesToString;        // convertbytestostring
xrFunctionFactoryType makeConvertFromDaylight;         // convertfromdaylight
xrFunctionFactoryType makeConvertDaylightFingerprint;  // convert_daylight_fingerprint
xrFunctionFactoryType makeConvertToDaylight;           // converttodaylight
xrFunctionFactoryType makeBoolean;                     // boolean
xrFunctionFactoryType makeInteger;                     // integer
xrFunctionFactoryType makeDouble;                      // double
xrFunctionFactoryType makeString;                      // string
xrFunctionFactoryType makeIsInteger;                   // isinteger
xrFunctionFactoryType makeIsNumber;                    // isnumber
xrFunctionFactoryType makeUrlEncode;                   // urlencode

}  // namespace strand::conversions
