#include "functions/FunctionFactory.h"

#include <gtest/gtest.h>

#include <sstream>
#include <utility>

using strand::String;

namespace {

// Our own copy of the table of built-in functions, in registration order (ids run from 1 to 249): each
// entry is a name, its least and its most arguments (-1: no most).
const char* const kTable =
    "getdate 0 1  gettime 0 1  getcdate 0 0  getctime 0 0  getcdatetime 0 0  date 1 2  datecurrent 0 0 "
    "datefromYMD 3 3  time 1 2  timecurrent 0 0  timefromHMS 3 4  datetimecurrent 0 0  datetime 1 2 "
    "datetimefromYMDHMS 6 7  dateproposeformat 1 1  datetext 1 1  dateformat 1 1  datesetformat 2 2 "
    "datefillundefined 1 2  datefieldisdefined 2 2  datesetfieldundefined 2 2  datesettext 2 3  dateyear 1 1 "
    "datesetyear 2 2  dateaddyears 2 2  datemonth 1 1  datemonthtext 0 3  datesetmonth 2 2 "
    "dateaddmonths 2 2  datedayofmonth 1 1  datesetdayofmonth 2 2  dateadddays 2 2  datedayofweek 0 1 "
    "datedayofweektext 0 3  datedayofyear 0 1  datehour 1 1  datesethour 2 2  dateaddhours 2 2 "
    "dateminute 1 1  datesetminute 2 2  dateaddminutes 2 2  datesecond 1 1  datesetsecond 2 2 "
    "dateaddseconds 2 2  datemilliseconds 1 1  datesetmilliseconds 2 2  dateaddmilliseconds 2 2 "
    "datesecondssince1970 0 1  datesetsecondssince1970 2 2  datejulian 0 1  datesetjulian 2 2 "
    "datelocaltogmt 0 1  dateisleapyear 1 1  dateisdst 1 1  datedaysinmonth 1 1  dateweekofyear 1 1 "
    "dateweekofyearyear 1 1  datedaysbetween 2 2  datesetlocale 1 1  datelocale 0 0  datetimezone 0 1 "
    "datesettimezone 2 2  datechangetimezone 2 2  abs 1 1  acos 1 1  asin 1 1  atan 1 1  atan2 2 2 "
    "ceiling 1 1  cos 1 1  exp 1 1  floor 1 1  log 1 1  log10 1 1  power 2 2  sin 1 1  sqrt 1 1  tan 1 1 "
    "gaussianpdf 3 3  gaussiancdf 3 3  gaussianz 1 1  gaussianp 1 1  chidistribution 2 2  tdistribution 2 2 "
    "incompletebeta 3 3  binomialpdf 3 3  binomialcdf 3 3  sign 1 1  rand 0 0  srand 0 1  hashcode 1 1 "
    "approx 3 3  terminate 0 0  error 1 1  halt 0 0  haltprotocol 0 0  terminatepipeline 0 0 "
    "blockpipeline 0 0  fileexists 1 1  filesize 1 1  filelastmodified 1 1  fileowner 1 1 "
    "sendmessagetoclient 1 1  setparam 2 2  setdataparam 2 2  setparamhelp 2 2  getnumparams 0 -1 "
    "getcomponentname 0 -1  getparam 1 1  getparamlegalvalues 1 1  setparamlegalvalues 3 -1 "
    "getparamtype 1 1  setparamtype 2 2  getparamhelp 1 1  getparamflag 2 2  setparamflag 3 3 "
    "getithparamname 1 1  sethelp 2 2  gethelp 1 1  setoutputtype 2 2  getoutputtype 1 1  sum 1 -1  avg 1 -1 "
    "pi 0 0  bin 2 2  min 2 2  max 2 2  mod 2 2  sleep 1 1  isupports 1 1  isvalidstrandscript 1 1 "
    "substring 2 3  format 1 -1  debugMessage 1 -1  debugMessageError 1 -1  debugBreak 1 -1  stringlen 1 1 "
    "strlength 1 1  findsubstring 2 4  findlastsubstring 2 3  strreplace 3 4  strerase 2 3  strinsert 3 3 "
    "stroverwrite 3 3  asc 1 1  chr 1 1  converttohex 1 1  convertfromhex 1 1  converttobase64 1 1 "
    "convertfrombase64 1 1  compress 1 1  uncompress 1 1  convertstringtobytes 1 2  convertbytestostring 1 2 "
    "convertfromdaylight 1 1  convert_daylight_fingerprint 1 1  converttodaylight 1 1  assert 1 2 "
    "toupper 1 1  tolower 1 1  trim 1 2  boolean 1 1  integer 1 1  double 1 1  string 1 1  isinteger 1 1 "
    "isnumber 1 1  numbersort 1 1  sort 1 1  removeduplicates 1 1  rmatch 2 3  rsplit 2 4  rsubst 3 4 "
    "eval 1 1  binaryand 2 2  binaryor 2 2  binaryxor 2 2  binarynot 1 1  bitsetand 2 2  bitsetcreate 1 1 "
    "bitsetor 2 2  bitsetandnot 2 2  bitsetcount 1 1  bitsetsize 1 1  bitsetresize 2 2  bitsetclear 1 1 "
    "bitseton 2 2  bitsetoff 2 2  bitsetflipall 1 1  bitsettest 2 2  bitsetnext 2 2  urlencode 1 1 "
    "hashcreate 0 1  hashdestroy 1 1  hashclear 1 1  hashadd 3 3  hashfind 2 2  hashcontains 2 2 "
    "hashremove 2 2  hashfindindex 2 2  hashnumvalues 1 1  hashithkey 2 2  hashithvalue 2 2  createGUID 0 0 "
    "setlegalvalues 1 1  setdisableddetails 1 1  setinvaliddetails 1 1  runprotocol 1 -1  calculate 1 -1 "
    "append 2 2  clear 1 1  numvalues 1 1  keep 1 -1  rkeep 1 1  remove 1 -1  removeglobal 1 -1  rremove 1 1 "
    "removeall 0 0  expand 2 -1  contract 2 -1  rename 2 2  renameglobal 2 2  resize 2 2  searchall 1 1 "
    "reorder 1 -1  occurrence 1 2  numchildren 1 1  addchild 1 3  isvalidlocation 1 1  cancalculate 1 1 "
    "contains 2 2  insertvalue 3 3  removevalue 2 2  setmolinfo 2 2  ithpropertyname 1 1 "
    "ithglobalpropertyname 1 1  numproperties 0 0  numglobalproperties 0 0  ithproperty 1 1 "
    "ithglobalproperty 1 1  property 1 1  parameter 0 1  parametername 0 0  globalproperty 1 1 "
    "changepropertytype 2 2  getpropertytype 1 2  rpropertynames 1 1  rglobalpropertynames 1 1 "
    "cancalculatenames 1 1 ";

}  // namespace

TEST(FunctionRegistry, WholeTableInRegistrationOrder) {
    auto all = xrFunctionFactory::AllFunctions();
    // A test below registers one more function of its own, after the built-ins.
    std::erase_if(all, [](const auto& e) { return e.name == u"test_only_function"; });
    ASSERT_EQ(all.size(), 249u);
    std::istringstream table(kTable);
    std::string name;
    int32_t lo, hi;
    size_t i = 0;
    for (; table >> name >> lo >> hi; ++i) {
        ASSERT_LT(i, all.size());
        EXPECT_EQ(all[i].name.toUtf8(), name);
        EXPECT_EQ(all[i].id, int32_t(i + 1)) << name;
        EXPECT_EQ(std::pair(all[i].minArgs, all[i].maxArgs), std::pair(lo, hi)) << name;
    }
    EXPECT_EQ(i, all.size());
}

TEST(FunctionRegistry, LookupFoldsOnlyAsciiLetters) {
    int32_t lo = 99, hi = 99;
    EXPECT_TRUE(xrFunctionFactory::GetNumArguments(String(u"SUBSTRING"), lo, hi));
    EXPECT_EQ(std::pair(lo, hi), std::pair(2, 3));
    EXPECT_TRUE(xrFunctionFactory::GetNumArguments(String(u"DateFromYmd"), lo, hi));
    EXPECT_EQ(std::pair(lo, hi), std::pair(3, 3));
    lo = hi = 99;
    EXPECT_FALSE(xrFunctionFactory::GetNumArguments(String(u"nosuch"), lo, hi));
    EXPECT_FALSE(xrFunctionFactory::GetNumArguments(String(u"subStr\u0130ng"), lo, hi));
    EXPECT_EQ(std::pair(lo, hi), std::pair(99, 99));
    const auto* declared = xrFunctionFactory::Find(String(u"SETMOLINFO"));
    ASSERT_NE(declared, nullptr);
    EXPECT_EQ(declared->factory, nullptr);
    EXPECT_EQ(declared->minArgs, 2);
}

TEST(FunctionRegistry, RegisteringAgainKeepsTheIdAndTakesTheNewBounds) {
    const int32_t id = xrFunctionFactory::Find(String(u"pi"))->id;
    const xrFunctionFactoryFn factory = xrFunctionFactory::Find(String(u"pi"))->factory;
    EXPECT_EQ(xrFunctionFactory::DeclareFunction(String(u"PI"), 0, 1), id);
    int32_t lo = 0, hi = 0;
    xrFunctionFactory::GetNumArguments(String(u"pi"), lo, hi);
    EXPECT_EQ(hi, 1);
    EXPECT_EQ(xrFunctionFactory::DeclareFunction(String(u"pi"), 0, 0), id);
    const int32_t fresh = xrFunctionFactory::DeclareFunction(String(u"test_only_function"), 1, 1);
    EXPECT_GT(fresh, 249);
    EXPECT_EQ(xrFunctionFactory::Find(String(u"pi"))->name, u"pi");
    // The other tests of the program still call pi().
    EXPECT_EQ(xrFunctionFactory::RegisterFunction(String(u"pi"), 0, 0, factory), id);
}
