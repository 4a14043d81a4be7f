#include <gtest/gtest.h>

#include "global/date_time.h"
#include "global/in_param_str.h"
#include "global/string_utils.h"
#include "global/text_encoding.h"
#include "global/variant.h"

namespace korvel {
namespace {

TEST(InParamStr, LooksUpNamesIgnoringCase) {
  SetCommandLineArguments({"x=1", "Y", "x=2"});
  std::string value = "unchanged";
  EXPECT_TRUE(InParamStr("X", value));
  EXPECT_EQ(value, "1");  // first match wins
  EXPECT_TRUE(InParamStr("y", value));
  EXPECT_EQ(value, "");
  value = "unchanged";
  EXPECT_FALSE(InParamStr("Z", value));
  EXPECT_EQ(value, "unchanged");
  EXPECT_TRUE(InParamStr("x"));
  EXPECT_FALSE(InParamStr("z"));
  SetCommandLineArguments({});
}

TEST(TextEncoding, EveryWindows1252ByteRoundTrips) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  EXPECT_EQ(Cp1252ToUtf8("\x80\xE9"), "\u20AC\u00E9");
  EXPECT_EQ(Utf8ToCp1252("\u0153\u4E2D"), "\x9C?");  // oe ligature is 0x9C; no byte for CJK
  EXPECT_EQ(Utf8Length("\u00E9t\u00E9"), 3u);
  EXPECT_EQ(Utf8Left("\u00E9t\u00E9s", 2), "\u00E9t");
}

TEST(DateTime, DayZeroAndFormats) {
  EXPECT_EQ(EncodeDate(1899, 12, 30).value, 0.0);
  EXPECT_EQ(EncodeDate(2012, 1, 1).value, 40909.0);
  const TDateTime dt(EncodeDate(2012, 2, 29).value + EncodeTime(14, 5, 9).value);
  EXPECT_EQ(FormatDateTime("yyyymmdd hh:nn:ss", dt), "20120229 14:05:09");
  EXPECT_EQ(DateTimeToStr(dt), "2012-02-29 14:05");
  EXPECT_EQ(DateTimeToStr(EncodeDate(2012, 2, 29)), "2012-02-29");
  EXPECT_EQ(FormatDateTime("h:nn", dt), "14:05");
  // Negative days keep the time of day as a positive fraction.
  const DateParts p = DecodeDateTime(TDateTime(-1.25));
  EXPECT_EQ(p.day, 29);
  EXPECT_EQ(p.hour, 6);
  // Almost midnight rounds to the next day, not to 23:59:59.999.
  EXPECT_EQ(DateTimeToStr(TDateTime(40909.0 - 1e-10)), "2012-01-01");
  EXPECT_EQ(DateToStr(TDateTime(1e300)), "1899-12-30");  // garbage from a damaged file
  TDateTime parsed;
  EXPECT_TRUE(TryParseDateTime("2012-02-29 14:05:09", parsed));
  EXPECT_EQ(parsed, dt);
  EXPECT_FALSE(TryParseDateTime("2011-02-29", parsed));
}

TEST(Variant, ConversionsUseFixedFormats) {
  EXPECT_EQ(Variant(2.5).AsString(), "2.5");
  EXPECT_EQ(Variant(int64_t{-7}).AsString(), "-7");
  EXPECT_EQ(Variant(EncodeDate(2000, 1, 2)).AsString(), "2000-01-02");
  EXPECT_TRUE(Variant().IsNull());
  EXPECT_EQ(CurrToStrF(1234.5), "$1,234.50");
  EXPECT_EQ(CurrToStrF(-3), "-$3.00");
  EXPECT_EQ(QuotedStr("l'eau"), "'l''eau'");
  TParamValue p;
  p.SetValue(Variant("abc"));
  p.SetValue(p.Value());  // assigned its own text
  EXPECT_EQ(p.AsString(), "abc");
  p.SetValue(Variant(3));
  p.SetValue(Variant("un texte plus long que la réserve courte"));  // the kept storage comes back
  EXPECT_EQ(p.AsString(), "un texte plus long que la réserve courte");
}

}  // namespace
}  // namespace korvel
