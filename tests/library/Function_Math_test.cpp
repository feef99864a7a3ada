#include <cmath>

#include "LibTest.h"

using libtest::Call;
using libtest::Errors;
using libtest::Str;

namespace {

struct RealCase {
  const char* fn;
  std::vector<double> args;
  double expected;
};


RValue CallV(const std::string& fn, const std::vector<RValue>& args) {
  // initializer_list cannot be built from a vector portably; go through the table directly.
  libtest::EnsureRegistered();
  int id = FunctionFindBuiltin(fn);
  EXPECT_GE(id, 0) << fn;
  if (id < 0) return RValue();
  std::vector<RValue> argv(args);
  argv.resize(argv.size() + 1);
  RValue result;
  FunctionGet(id).f_routine(nullptr, nullptr, static_cast<int>(args.size()), result, argv.data());
  return result;
}

RValue CallD(const std::string& fn, const std::vector<double>& args) {
  std::vector<RValue> v;
  for (double d : args) v.emplace_back(d);
  return CallV(fn, v);
}

}  // namespace

TEST(MathRegistry, AllFunctionsRegisteredWithTheirArgumentCounts) {
  libtest::EnsureRegistered();
  const std::pair<const char*, int> some[] = {
      {"is_real", 1},  {"random_range", 2}, {"random_get_seed", 0}, {"min", -1},
      {"choose", -1},  {"median", -1},      {"string_format", 3},   {"string_insert", 3},
      {"lengthdir_y", 2}, {"dot_product_3d", 6}, {"point_distance_3d", 6}, {"min3", 3},
  };
  for (auto [name, argc] : some) {
    int id = FunctionFindBuiltin(name);
    ASSERT_GE(id, 0) << name;
    EXPECT_EQ(FunctionGet(id).f_argnumb, argc) << name;
  }
  int first = FunctionFindBuiltin("is_real");
  int last = FunctionFindBuiltin("lengthdir_y");
  EXPECT_EQ(last - first + 1, 71);
}

TEST(MathRounding, TiesToEvenTruncationAndSign) {
  const RealCase cases[] = {
      {"round", {2.5}, 2},         {"round", {3.5}, 4},         {"round", {-0.5}, 0},
      {"round", {-2.5}, -2},       {"round", {-2.6}, -3},       {"round", {1e300}, 1e300},
      {"floor", {-0.5}, -1},       {"floor", {2.7}, 2},         {"floor", {-3}, -3},
      {"ceil", {-0.5}, 0},         {"ceil", {2.1}, 3},          {"ceil", {4}, 4},
      // Beyond 32 bits the truncated value wraps around.
      {"floor", {3e9}, 3e9 - 4294967296.0},
      {"ceil", {4294967296.5}, 1},
      {"frac", {2.75}, 0.75},      {"frac", {-1.5}, -0.5},
      {"sign", {1e-14}, 0},        {"sign", {-1e-13}, -1},      {"sign", {1e-13}, 1},
      {"sign", {-7}, -1},          {"abs", {-3.25}, 3.25},
  };
  for (const auto& c : cases) {
    RValue r = CallD(c.fn, c.args);
    EXPECT_TRUE(r.IsReal()) << c.fn;
    EXPECT_EQ(r.val, c.expected) << c.fn << "(" << c.args[0] << ")";
  }
}

TEST(MathRandom, SequencesFollowTheSeed) {
  Call("random_set_seed", {0.0});
  EXPECT_EQ(Call("random", {1.0}).val, std::ldexp(1.0, -32));  // first seed after 0 is 1
  Call("random_set_seed", {0.0});
  EXPECT_EQ(Call("irandom", {9.0}).val, 0);
  // Seeds 134775814, 3698175007, 870078620 follow 1.
  EXPECT_EQ(Call("irandom", {99.0}).val, 3);
  EXPECT_EQ(Call("irandom", {99.0}).val, 86);
  EXPECT_EQ(Call("random_get_seed").val, -596792289.0);  // 3698175007 as a signed integer
  EXPECT_EQ(Call("irandom_range", {0.0, 9.0}).val, 2);

  // Repeatable from any seed, and every module draws from the same generator.
  auto draw = [] {
    std::vector<double> v;
    for (int i = 0; i < 20; ++i) v.push_back(Call("random_range", {5.0, -5.0}).val);
    v.push_back(RandomInt(1000));
    v.push_back(RandomReal());
    return v;
  };
  Call("random_set_seed", {123456.0});
  auto a = draw();
  Call("random_set_seed", {123456.0});
  EXPECT_EQ(draw(), a);
  for (double x : a) {
    EXPECT_GE(x, -5.0);
    EXPECT_LT(x, 1000.0);
  }

  // Only the low 32 bits of the rounded seed count.
  Call("random_set_seed", {4294967296.0 + 5});
  EXPECT_EQ(Call("random_get_seed").val, 5);
  Call("random_set_seed", {-1.0});
  EXPECT_EQ(Call("random_get_seed").val, -1);
  EXPECT_EQ(RandomGetSeed(), 0xFFFFFFFFu);
}

TEST(MathRandom, RangesAndChoices) {
  for (int seed = 0; seed < 50; ++seed) {
    Call("random_set_seed", {double(seed)});
    double a = Call("irandom_range", {3.0, 1.0}).val;
    Call("random_set_seed", {double(seed)});
    double b = Call("irandom_range", {1.0, 3.0}).val;
    EXPECT_EQ(a, b);
    EXPECT_GE(a, 1);
    EXPECT_LE(a, 3);
    double i = Call("irandom", {2.9}).val;  // floor(2.9) = 2
    EXPECT_TRUE(i == 0 || i == 1 || i == 2);
  }
  EXPECT_EQ(RandomInt(0), 0);
  Call("random_set_seed", {7.0});
  RValue c = Call("choose", {RValue("x"), RValue("y"), RValue("z")});
  EXPECT_TRUE(c.IsString());
  EXPECT_TRUE(c.str == "x" || c.str == "y" || c.str == "z");
  RValue none = Call("choose");
  EXPECT_TRUE(none.IsReal());
  EXPECT_EQ(none.val, 0);
  uint32_t before = RandomGetSeed();
  Randomize();
  Randomize();
  (void)before;  // reseeding from the clock gives some seed; just make sure drawing still works
  double r = RandomReal();
  EXPECT_GE(r, 0.0);
  EXPECT_LT(r, 1.0);
}

TEST(MathPowers, ValuesAndErrors) {
  const RealCase ok[] = {
      {"sqrt", {16}, 4},     {"sqr", {-3}, 9},          {"exp", {0}, 1},          {"ln", {1}, 0},
      {"log2", {8}, 3},      {"log10", {1000}, 3},      {"power", {2, 10}, 1024}, {"power", {2, -2}, 0.25},
      {"power", {-2, 3}, -8}, {"power", {5, 0}, 1},     {"power", {0, 0}, 1},     {"power", {0, 0.5}, 0},
      {"power", {4, 0.5}, 2}, {"power", {1e200, 1}, 1e200}, {"logn", {2, 8}, 3},  {"logn", {10, 100}, 2},
      {"arctan2", {0, 0}, 0}, {"arctan2", {1, 0}, M_PI / 2}, {"degtorad", {180}, M_PI}, {"radtodeg", {M_PI}, 180},
  };
  for (const auto& c : ok) {
    std::string err = Errors([&] { EXPECT_DOUBLE_EQ(CallD(c.fn, c.args).val, c.expected) << c.fn; });
    EXPECT_EQ(err, "") << c.fn;
  }
  struct Bad {
    const char* fn;
    std::vector<double> args;
    const char* message;
  };
  const Bad bad[] = {
      {"sqrt", {-1}, "Cannot apply sqrt to negative number."},
      {"exp", {1000}, "Error in function exp()."},
      {"ln", {0}, "Error in function ln()."},
      {"log2", {-1}, "Error in function log2()."},
      {"log10", {0}, "Error in function log10()."},
      {"power", {0, -1}, "Error in function power()."},
      {"power", {-8, 1.0 / 3}, "Error in function power()."},
      {"power", {-8, 3e9}, "Error in function power()."},
      {"power", {10, 400}, "Error in function power()."},
      {"logn", {1, 5}, "Error in function logn()."},
      {"logn", {-2, 5}, "Error in function logn()."},
      {"logn", {2, 0}, "Error in function logn()."},
      {"arcsin", {1.5}, "Error in function arcsin()."},
      {"arccos", {-1.01}, "Error in function arccos()."},
  };
  for (const auto& c : bad) {
    RValue r;
    std::string err = Errors([&] { r = CallD(c.fn, c.args); });
    EXPECT_NE(err.find(c.message), std::string::npos) << c.fn << ": " << err;
    EXPECT_TRUE(r.IsReal());
    EXPECT_EQ(r.val, 0) << c.fn;
  }
  // Overflow in a function without a message of its own gives 0, quietly.
  EXPECT_EQ(Errors([] { EXPECT_EQ(CallD("sqr", {1e200}).val, 0); }), "");
}

TEST(MathSeveralValues, MinMaxMeanMedianClampLerp) {
  EXPECT_EQ(CallD("min", {3, 1, 2}).val, 1);
  EXPECT_EQ(CallD("max", {3, 1, 2}).val, 3);
  EXPECT_EQ(CallD("max", {}).val, 0);
  EXPECT_EQ(Call("min", {RValue("b"), RValue("a")}).str, "a");
  EXPECT_EQ(Call("max", {RValue("b"), RValue("a"), RValue("c")}).str, "c");
  // Mixed lists follow the kind of the current result: the string's number field is 0.
  EXPECT_EQ(Str(Call("min", {RValue(3.0), RValue("a")})), "a");
  // A string result compares text fields: the real's empty text is smaller.
  EXPECT_EQ(Str(Call("min", {RValue("a"), RValue(-5.0)})), "<real -5.000000>");
  // Ordinal comparison of UTF-16 units: a character outside the basic plane
  // (surrogates D83D..) sorts before U+FF21, unlike in UTF-8 byte order.
  EXPECT_EQ(Call("min", {RValue("\xEF\xBC\xA1"), RValue("\xF0\x9F\x98\x80")}).str, "\xF0\x9F\x98\x80");
  EXPECT_EQ(CallD("min3", {5, -2, 7}).val, -2);
  EXPECT_EQ(CallD("max3", {5, -2, 7}).val, 7);
  EXPECT_EQ(CallD("mean", {1, 2, 3, 4}).val, 2.5);
  EXPECT_EQ(CallD("mean", {}).val, 0);
  EXPECT_EQ(CallD("median", {1, 2, 3, 4}).val, 2);
  EXPECT_EQ(CallD("median", {3, 1, 2}).val, 2);
  EXPECT_EQ(CallD("median", {5, 5, 1}).val, 5);
  EXPECT_EQ(CallD("median", {}).val, 0);
  EXPECT_EQ(CallD("clamp", {5, 0, 3}).val, 3);
  EXPECT_EQ(CallD("clamp", {-1, 0, 3}).val, 0);
  EXPECT_EQ(CallD("clamp", {2, 0, 3}).val, 2);
  EXPECT_EQ(CallD("clamp", {1, 5, 3}).val, 3);  // lo > hi gives hi
  EXPECT_EQ(CallD("lerp", {0, 10, 0.25}).val, 2.5);
  EXPECT_EQ(CallD("lerp", {10, 0, 1.5}).val, -5);
}

TEST(MathConversion, StringOfReals) {
  const std::pair<double, const char*> cases[] = {
      {5, "5"},          {-12, "-12"},         {-0.0, "0"},         {5.5, "5.50"},
      {-0.25, "-0.25"},  {0.5, "0.50"},        {3.14159, "3.14"},   {12.5, "12.50"},
      {0.125, "0.13"},   // exact binary half rounds away from zero
      {2.675, "2.67"},   // 2.67499999... in binary
      {-1.005, "-1.00"}, {0.995, "0.99"},     {9.999, "10.00"},    {1e-7, "0.00"},
      {123456789.125, "123456789.10"},         // ten significant digits
      {1e15, "1000000000000000"},             {1e19, "ERROR"},    {-1e300, "ERROR"},
      {12345678901.5, "12345678900.00"},  // more integer digits than ten: rounded inside the integer part
      {-0.001, "-0.00"},
      // Whole numbers on both sides of the 32-bit, 2^52 and 2^63 edges.
      {2147483647, "2147483647"},   {-2147483648.0, "-2147483648"},     {2147483648.0, "2147483648"},
      {4503599627370495.0, "4503599627370495"},   {4503599627370496.0, "4503599627370496"},
      {-4503599627370497.0, "-4503599627370497"}, {9007199254740992.0, "9007199254740992"},
      {4503599627370495.5, "4503599627000000.00"}, {-4503599627370494.5, "-4503599627000000.00"},
      {9223372036854774784.0, "9223372036854774784"}, {9223372036854775808.0, "ERROR"},
      {-9223372036854775808.0, "ERROR"}, {1e-320, "0.00"}, {-1e-320, "-0.00"},
      {INFINITY, "ERROR"}, {-INFINITY, "ERROR"}, {NAN, "ERROR"},
      {0.999999, "1.00"}, {-0.995, "-0.99"}, {99999.995, "99999.99"}, {7.0000001, "7.00"},
  };
  for (auto [x, text] : cases) EXPECT_EQ(Str(CallD("string", {x})), text) << x;
  EXPECT_EQ(Call("string", {RValue("keep me")}).str, "keep me");
}

TEST(MathConversion, StringFormat) {
  struct Case {
    RValue v;
    double tot, dec;
    const char* text;
  };
  const Case cases[] = {
      {3.14159, 8, 3, "   3.142"},
      {2.5, 0, 0, "3"},
      {-2.5, 4, 0, "  -3"},
      {1.0 / 3, 0, 18, "0.333333333333333315"},
      {1.0 / 3, 0, 40, "0.333333333333333315"},  // at most 18 decimals
      {42, 0, 2, "42.00"},
      {1234.5, 2, 1, "1234.5"},
      {7, 3, -2, "  7"},
      {RValue("text"), 9, 2, "text"},
  };
  for (const auto& c : cases) EXPECT_EQ(Str(Call("string_format", {c.v, c.tot, c.dec})), c.text) << c.text;
}

TEST(MathConversion, RealOfStrings) {
  const std::pair<const char*, double> ok[] = {
      {"  ", 0},  {"", 0},     {" 1.5e3 ", 1500}, {"-.5", -0.5}, {"+2", 2}, {"5.", 5},
      {"1E-2", 0.01}, {"\t42\n", 42}, {"0.1", 0.1}, {"1e-400", 0}, {"007", 7},
  };
  for (auto [text, v] : ok) {
    std::string err = Errors([&] { EXPECT_EQ(Call("real", {RValue(text)}).val, v) << text; });
    EXPECT_EQ(err, "") << text;
  }
  for (const char* text : {"12abc", ".", "1e", "1 2", "--1", "1e999", "0x10", "e5"}) {
    RValue r;
    std::string err = Errors([&] { r = Call("real", {RValue(text)}); });
    EXPECT_NE(err.find("Error in function real()."), std::string::npos) << text;
    EXPECT_EQ(r.val, 0) << text;
  }
  EXPECT_EQ(CallD("real", {7.25}).val, 7.25);
}

TEST(MathConversion, CharactersAndBytes) {
  EXPECT_EQ(Str(CallD("chr", {65})), "A");
  EXPECT_EQ(Str(CallD("chr", {321})), "A");  // low 8 bits
  EXPECT_EQ(Str(CallD("chr", {0xE9})), "\xC3\xA9");    // e acute in code page 1252
  EXPECT_EQ(Str(CallD("chr", {0x80})), "\xE2\x82\xAC");  // euro sign
  EXPECT_EQ(Str(CallD("ansi_char", {200})), std::string(1, '\xC8'));
  EXPECT_EQ(Str(CallD("ansi_char", {256 + 66})), "B");
  EXPECT_EQ(Call("ord", {RValue("A")}).val, 65);
  EXPECT_EQ(Call("ord", {RValue("\xC3\xA9")}).val, 0xC3);
  EXPECT_EQ(Call("ord", {RValue("")}).val, 0);
  EXPECT_EQ(Call("is_real", {RValue(1.0)}).val, 1);
  EXPECT_EQ(Call("is_real", {RValue("1")}).val, 0);
  EXPECT_EQ(Call("is_string", {RValue("1")}).val, 1);
}

namespace {
const char* kEmoji = "\xF0\x9F\x98\x80";  // one character, two UTF-16 units
std::string E(const std::string& s) {
  std::string out;
  for (char c : s) out += c == '@' ? std::string(kEmoji) : std::string(1, c);
  return out;
}
}  // namespace

TEST(MathStrings, LengthsAndPositions) {
  EXPECT_EQ(Call("string_length", {RValue("\xC3\xA9" "a")}).val, 2);
  EXPECT_EQ(Call("string_byte_length", {RValue("\xC3\xA9" "a")}).val, 3);
  EXPECT_EQ(Call("string_length", {RValue(E("@a"))}).val, 2);
  EXPECT_EQ(Call("string_length", {RValue("\xC3")}).val, 1);  // text ends inside a group
  EXPECT_EQ(Call("string_length", {RValue("\xFF\x80" "a")}).val, 3);
  EXPECT_EQ(Call("string_byte_at", {RValue("abc"), 2.0}).val, 'b');
  EXPECT_EQ(Call("string_byte_at", {RValue("abc"), 9.0}).val, 0);
  EXPECT_EQ(Call("string_byte_at", {RValue("abc"), 0.0}).val, 0);

  struct Pos {
    std::string sub, s;
    double pos;
  };
  const Pos pos[] = {
      {"b", "abc", 2}, {"x", "abc", 0}, {"", "abc", 0}, {"c", "abcabc", 3},
      {"x", E("@x"), 3}, {"\xC3\xA9", E("a@\xC3\xA9"), 4}, {E("@"), E("ab@"), 3},
  };
  for (const auto& p : pos) EXPECT_EQ(Call("string_pos", {RValue(p.sub), RValue(p.s)}).val, p.pos) << p.sub;
}

TEST(MathStrings, CopyCharDeleteInsert) {
  struct Case {
    const char* fn;
    std::vector<RValue> args;
    std::string expected;
  };
  const Case cases[] = {
      {"string_copy", {RValue("hello"), 0.0, 2.0}, "he"},
      {"string_copy", {RValue("hello"), 2.0, 100.0}, "ello"},
      {"string_copy", {RValue("hello"), 6.0, 1.0}, ""},
      {"string_copy", {RValue("hello"), 2.0, -1.0}, ""},
      {"string_copy", {RValue("hello"), 1.5, 2.5}, "el"},  // both round to 2
      {"string_copy", {RValue(E("@ab")), 3.0, 2.0}, "ab"},
      {"string_copy", {RValue(E("a@")), 1.0, 3.0}, E("a@")},
      {"string_copy", {RValue(E("@")), 1.0, 1.0}, "\xEF\xBF\xBD"},  // half a pair
      {"string_char_at", {RValue("hello"), 1.0}, "h"},
      {"string_char_at", {RValue("hello"), 0.0}, ""},
      {"string_char_at", {RValue("hello"), 6.0}, ""},
      {"string_char_at", {RValue(E("@a")), 3.0}, "a"},
      {"string_char_at", {RValue(5.0), 1.0}, ""},
      {"string_delete", {RValue("hello"), 0.0, 2.0}, "hello"},
      {"string_delete", {RValue("hello"), 2.0, 2.0}, "hlo"},
      {"string_delete", {RValue("hello"), 5.0, 10.0}, "hell"},
      {"string_delete", {RValue("hello"), 6.0, 1.0}, "hello"},
      {"string_delete", {RValue("hello"), 1.0, 0.0}, "hello"},
      {"string_delete", {RValue(E("@ab")), 1.0, 2.0}, "ab"},
      {"string_insert", {RValue("X"), RValue("abc"), 2.0}, "aXbc"},
      {"string_insert", {RValue("X"), RValue("abc"), 0.0}, "Xabc"},
      {"string_insert", {RValue("X"), RValue("abc"), 4.0}, "abcX"},
      {"string_insert", {RValue("X"), RValue("abc"), 99.0}, "abcX"},
      {"string_insert", {RValue("X"), RValue("\xC3\xA9" "a"), 3.0}, "\xC3\xA9" "Xa"},  // byte position
  };
  for (const auto& c : cases) {
    RValue r = CallV(c.fn, c.args);
    EXPECT_EQ(Str(r), c.expected) << c.fn << " " << Str(c.args[0]);
  }
}

TEST(MathStrings, CaseFiltersRepeatReplaceCount) {
  struct Case {
    const char* fn;
    std::vector<RValue> args;
    std::string expected;
  };
  const Case cases[] = {
      {"string_lower", {RValue("\xC3\x80" "BC d")}, "\xC3\xA0" "bc d"},
      {"string_upper", {RValue("\xC3\xA9" "a1")}, "\xC3\x89" "A1"},
      {"string_upper", {RValue(E("x@"))}, E("X@")},
      {"string_repeat", {RValue("ab"), 3.0}, "ababab"},
      {"string_repeat", {RValue("ab"), 0.0}, ""},
      {"string_repeat", {RValue("ab"), -2.0}, ""},
      {"string_repeat", {RValue("ab"), 2.5}, "abab"},
      {"string_letters", {RValue("a1b2\xC3\xA9Z")}, "abZ"},
      {"string_digits", {RValue("a1b2\xC3\xA9" "9")}, "129"},
      {"string_lettersdigits", {RValue("a1 b2-\xC3\xA9")}, "a1b2"},
      {"string_replace", {RValue("aaa"), RValue("a"), RValue("b")}, "baa"},
      {"string_replace", {RValue("abc"), RValue("x"), RValue("y")}, "abc"},
      {"string_replace", {RValue("abc"), RValue(""), RValue("y")}, "abc"},
      {"string_replace_all", {RValue("aaa"), RValue("a"), RValue("b")}, "bbb"},
      {"string_replace_all", {RValue("aaaa"), RValue("aa"), RValue("a")}, "aa"},
      {"string_replace_all", {RValue("abab"), RValue("a"), RValue("aa")}, "aabaab"},
      {"string_replace_all", {RValue("abc"), RValue(""), RValue("x")}, "abc"},
      {"string_replace_all", {RValue("Aa"), RValue("a"), RValue("")}, "A"},
  };
  for (const auto& c : cases) EXPECT_EQ(Str(CallV(c.fn, c.args)), c.expected) << c.fn << " " << Str(c.args[0]);

  EXPECT_EQ(Call("string_count", {RValue("aa"), RValue("aaaa")}).val, 2);
  EXPECT_EQ(Call("string_count", {RValue("aa"), RValue("aaa")}).val, 1);
  EXPECT_EQ(Call("string_count", {RValue(""), RValue("abc")}).val, 0);
  EXPECT_EQ(Call("string_count", {RValue("b"), RValue("abcb")}).val, 2);

  // A repeat that would need gigabytes is refused instead of attempted.
  RValue r;
  std::string err = Errors([&] { r = Call("string_repeat", {RValue("abcd"), 1e9}); });
  EXPECT_NE(err.find("Error in function string_repeat()."), std::string::npos);
  EXPECT_EQ(Str(r), "");
  err = Errors([&] { r = Call("string_format", {RValue(1.0), RValue(1e12), RValue(0.0)}); });
  EXPECT_NE(err.find("Error in function string_format()."), std::string::npos);
  EXPECT_EQ(Str(r), "");
}

TEST(MathGeometry, DirectionsDistancesAndProducts) {
  const RealCase exact[] = {
      {"point_direction", {0, 0, 0, 10}, 270},   {"point_direction", {0, 0, 10, -10}, 45},
      {"point_direction", {0, 0, 0, -3}, 90},    {"point_direction", {0, 0, 0, 0}, 0},
      {"point_direction", {5, 5, 0, 5}, 180},    {"point_direction", {0, 0, 10, 10}, 315},
      {"point_direction", {0, 0, 10, 0}, 0},     {"point_distance", {0, 0, 3, 4}, 5},
      {"point_distance_3d", {1, 1, 1, 3, 4, 7}, 7},
      {"lengthdir_y", {10, 90}, -10},            {"lengthdir_x", {1, 90}, 0},
      {"lengthdir_x", {10, 60}, 5},              {"lengthdir_y", {2, 0}, 0},
      {"lengthdir_x", {-4, 180}, 4},
      {"dot_product", {1, 0, 0, 1}, 0},          {"dot_product", {2, 0, 3, 0}, 1},
      {"dot_product", {1, 0, -5, 0}, -1},        {"dot_product", {0, 0, 1, 1}, 0},
      {"dot_product_3d", {0, 0, 2, 0, 0, 9}, 1},
  };
  for (const auto& c : exact) EXPECT_EQ(CallD(c.fn, c.args).val, c.expected) << c.fn;
  double d = CallD("point_direction", {0, 0, 1, -2}).val;
  EXPECT_NEAR(d, std::atan2(2.0, 1.0) * 180 / M_PI, 1e-12);
  EXPECT_NEAR(CallD("lengthdir_x", {10, 45}).val, 7.0710678118654755, 1e-12);
}

TEST(MathHelpers, Utf16ComparisonAndConversion) {
  using namespace mathlib;
  EXPECT_EQ(CompareUtf16("abc", "abd"), -1);
  EXPECT_EQ(CompareUtf16("abc", "ab"), 1);
  EXPECT_EQ(CompareUtf16("", ""), 0);
  EXPECT_EQ(CompareUtf16("B", "a"), -1);  // case-sensitive ordinal
  EXPECT_EQ(CompareUtf16("\xEF\xBC\xA1", kEmoji), 1);
  EXPECT_EQ(CompareUtf16("\xC3\xA9", "\xC3\xA9" "a"), -1);
  EXPECT_EQ(Utf16Length(E("a@\xC3\xA9")), 4u);
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(E("a@\xC3\xA9z"))), E("a@\xC3\xA9z"));
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("\xC3")), "\xEF\xBF\xBD");
  EXPECT_EQ(RoundToInt(1e20), INT32_MAX);
  EXPECT_EQ(RoundToInt(-0.5), 0);
  EXPECT_EQ(RoundToInt(1.5), 2);
}
