#pragma once
// The control built-ins (ControlFunctions.cpp): scripts stop their component or the pipeline, raise
// errors and assertions, send debug and client messages through the component context, look at files,
// pause, ask what their data record supports, check and run text as a script, and make GUIDs. The
// factory of each, in registration order.

#include <type_traits>

#include "functions/FunctionFactory.h"

namespace strand::control {

using xrFunctionFactoryType = std::remove_pointer_t<xrFunctionFactoryFn>;

xrFunctionFactoryType makeTerminate;            // terminate
xrFunctionFactoryType makeError;                // error
xrFunctionFactoryType makeHalt;                 // halt
xrFunctionFactoryType makeHaltProtocol;         // haltprotocol
xrFunctionFactoryType makeTerminatePipeline;    // terminatepipeline
xrFunctionFactoryType makeBlockPipeline;        // blockpipeline
xrFunctionFactoryType makeFileExists;           // fileexists
xrFunctionFactoryType makeFileSize;             // filesize
xrFunctionFactoryType makeFileLastModified;     // filelastmodified
xrFunctionFactoryType makeFileOwner;            // fileowner
xrFunctionFactoryType makeSendMessageToClient;  // sendmessagetoclient
xrFunctionFactoryType makeSleep;                // sleep
xrFunctionFactoryType makeISupports;            // isupports
xrFunctionFactoryType makeIsValidStrandScript;  // isvalidstrandscript
xrFunctionFactoryType makeDebugMessage;         // debugMessage
xrFunctionFactoryType makeDebugMessageError;    // debugMessageError
xrFunctionFactoryType makeDebugBreak;           // debugBreak
xrFunctionFactoryType makeAssert;               // assert
xrFunctionFactoryType makeEval;                 // eval
xrFunctionFactoryType makeCreateGUID;           // createGUID

// The longest pause sleep makes, in milliseconds: a longer one is cut to this.
inline constexpr int32_t kMaxSleepMilliseconds = 10000;

}  // namespace strand::control
