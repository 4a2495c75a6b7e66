#include <gtest/gtest.h>
#include <com/sun/star/uno/Sequence.hxx>
#include "calc/Convert.h"
using namespace css::uno;
TEST(CalcConvert, Placeholder) {
  const sheet::Function& f = sheet::AmbrelFunctions().Find("Cl2Hyb");
  Sequence<Sequence<Any>> rows(2);
  rows.getArray()[0] = Sequence<Any>(1); rows.getArray()[0].getArray()[0] <<= 1.0;
  rows.getArray()[1] = Sequence<Any>(1); rows.getArray()[1].getArray()[0] <<= 2.0;
  Any a(rows);
  const Any* args[] = {&a};
  Any r = calc::Call(f, args, 1);
  rtl::OUString s; r >>= s;
  EXPECT_EQ(std::string(OUStringToOString(s, RTL_TEXTENCODING_UTF8).getStr()), "We need exactly 6 parameters!");
}
