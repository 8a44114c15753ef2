#pragma once
// The property built-ins (PropertyFunctions.cpp): scripts remove, keep, rename and reorder the
// properties of the data record and of the globals (by name or by regular expression), change the
// class of a value, edit vector values, reach properties by position or by computed name, ask the
// host to calculate properties and walk the node tree of a record. The factory of each, in
// registration order (parameter and parametername are the parameter family's).

#include <type_traits>

#include "functions/FunctionFactory.h"

namespace strand::properties {

using xrFunctionFactoryType = std::remove_pointer_t<xrFunctionFactoryFn>;

xrFunctionFactoryType makeCalculate;              // calculate
xrFunctionFactoryType makeAppend;                 // append
xrFunctionFactoryType makeClear;                  // clear
xrFunctionFactoryType makeNumValues;              // numvalues
xrFunctionFactoryType makeKeep;                   // keep
xrFunctionFactoryType makeRKeep;                  // rkeep
xrFunctionFactoryType makeRemove;                 // remove
xrFunctionFactoryType makeRemoveGlobal;           // removeglobal
xrFunctionFactoryType makeRRemove;                // rremove
xrFunctionFactoryType makeRemoveAll;              // removeall
xrFunctionFactoryType makeExpand;                 // expand
xrFunctionFactoryType makeContract;               // contract
xrFunctionFactoryType makeRename;                 // rename
xrFunctionFactoryType makeRenameGlobal;           // renameglobal
xrFunctionFactoryType makeResize;                 // resize
xrFunctionFactoryType makeSearchAll;              // searchall
xrFunctionFactoryType makeReorder;                // reorder
xrFunctionFactoryType makeOccurrence;             // occurrence
xrFunctionFactoryType makeNumChildren;            // numchildren
xrFunctionFactoryType makeAddChild;               // addchild
xrFunctionFactoryType makeIsValidLocation;        // isvalidlocation
xrFunctionFactoryType makeCanCalculate;           // cancalculate
xrFunctionFactoryType makeContains;               // contains
xrFunctionFactoryType makeInsertValue;            // insertvalue
xrFunctionFactoryType makeRemoveValue;            // removevalue
xrFunctionFactoryType makeIthPropertyName;        // ithpropertyname
xrFunctionFactoryType makeIthGlobalPropertyName;  // ithglobalpropertyname
xrFunctionFactoryType makeNumProperties;          // numproperties
xrFunctionFactoryType makeNumGlobalProperties;    // numglobalproperties
xrFunctionFactoryType makeIthProperty;            // ithproperty
xrFunctionFactoryType makeIthGlobalProperty;      // ithglobalproperty
xrFunctionFactoryType makeProperty;               // property
xrFunctionFactoryType makeGlobalProperty;         // globalproperty
xrFunctionFactoryType makeChangePropertyType;     // changepropertytype
xrFunctionFactoryType makeGetPropertyType;        // getpropertytype
xrFunctionFactoryType makeRPropertyNames;         // rpropertynames
xrFunctionFactoryType makeRGlobalPropertyNames;   // rglobalpropertynames
xrFunctionFactoryType makeCanCalculateNames;      // cancalculatenames

}  // namespace strand::properties
