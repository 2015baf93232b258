#include <cfloat>
#include <climits>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "vistelmo.h"

namespace {

// A read stream holding exactly the given bytes.
class Stream {
 public:
  explicit Stream(const std::string& bytes) : f_(std::tmpfile()) {
    std::fwrite(bytes.data(), 1, bytes.size(), f_);
    std::rewind(f_);
  }
  ~Stream() { std::fclose(f_); }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
  operator FILE*() const { return f_; }

 private:
  FILE* f_;
};

using Reader = std::string (*)(FILE*);

std::vector<std::string> tokens(Reader read, const std::string& text, size_t count) {
  Stream s(text);
  std::vector<std::string> out;
  for (size_t i = 0; i < count; i++) out.push_back(read(s));
  return out;
}

struct TokenCase {
  std::string text;
  std::vector<std::string> expected;  // successive results
};

void check_tokens(Reader read, const std::vector<TokenCase>& cases) {
  for (const TokenCase& c : cases)
    EXPECT_EQ(tokens(read, c.text, c.expected.size()), c.expected) << '"' << c.text << '"';
}

TEST(TokenClasses, MatchTheTable) {
  const std::string sep = std::string("\t\n\r ();,=");
  const std::string word = "abcdefghijklmnopqrstuvwxyz0123456789+-._";
  const std::string name_sep = " \t\n\r";
  const std::string name = "abcdefghijklmnopqrstuvwxyz0123456789_-.:\\@";
  auto in = [](const std::string& set, int c) {
    return static_cast<int>(c >= 0 && set.find(static_cast<char>(c)) != std::string::npos);
  };
  for (int c = -1; c < 256; c++) {
    EXPECT_EQ(Separador(c), in(sep, c)) << c;
    EXPECT_EQ(Ident(c), in(word, c)) << c;
    EXPECT_EQ(SeparadorFileName(c), in(name_sep, c)) << c;
    EXPECT_EQ(IdentFileName(c), in(name, c)) << c;
  }
}

TEST(LeChar, LowerCasesAndStopsAtCtrlZ) {
  Stream s(
      std::string("A\x1a"
                  "b\xC9z",
                  5));
  EXPECT_EQ(LeChar(s), 'a');
  EXPECT_EQ(LeChar(s), -1);  // byte 26, consumed
  EXPECT_EQ(LeChar(s), 'b');
  EXPECT_EQ(LeChar(s), 0xC9);
  EXPECT_EQ(LeChar(s), 'z');
  EXPECT_EQ(LeChar(s), -1);
  EXPECT_EQ(LeChar(s), -1);
}

TEST(LeStr, SeparatorsCommentsAndCtrlZ) {
  check_tokens(LeStr, {
                          {"12;13", {"12", "13", "eof", "eof"}},
                          {"(3, 4)", {"3", "4", "eof"}},
                          {"a=b", {"a", "b", "eof"}},
                          {"A\tB\nC\rD E", {"a", "b", "c", "d", "e", "eof"}},
                          {"Max  -INFINITO\r\n", {"max", "-infinito", "eof"}},
                          {"+1.5E-3_x", {"+1.5e-3_x", "eof"}},
                          {"", {"eof", "eof"}},
                          {"EOF", {"eof", "eof"}},
                          {"erro 1", {"erro", "1"}},
                          // Byte 26 is an end of file that is consumed.
                          {std::string("1 2\x1a"
                                       "3"),
                           {"1", "2", "3", "eof"}},
                          {std::string("\x1a"
                                       "5"),
                           {"eof", "5", "eof"}},
                          // Line comments.
                          {"# note", {"eof"}},
                          {"# note\n7", {"7", "eof"}},
                          {"1\n# c1\n# c2\n2", {"1", "2", "eof"}},
                          {"// c\n8 // d", {"8", "eof"}},
                          {"//", {"eof"}},
                          {"9#x", {"erro", "x", "eof"}},
                          // Block comments; the character after a star is never a star itself.
                          {"/* note", {"erro", "eof"}},
                          {"/* x *", {"erro", "eof"}},
                          {"5 /* c\n*/ 6", {"5", "6", "eof"}},
                          {"/* a **/ 7 */ 8", {"8", "eof"}},
                          {"/**/7", {"7", "eof"}},
                          {"/***/9", {"erro", "eof"}},
                          {"/***/9*/4", {"4", "eof"}},
                          {"/*1*//*2*/3", {"3", "eof"}},
                          // Characters that no rule accepts; they are consumed.
                          {"/xab", {"erro", "ab", "eof"}},
                          {"/", {"erro", "eof"}},
                          {"12#x", {"erro", "x", "eof"}},
                          {"ab/*c*/", {"erro", "erro", "erro", "erro", "eof"}},
                          {"a*b", {"erro", "b", "eof"}},
                          {"x!y", {"erro", "y", "eof"}},
                          {"\xC9t", {"erro", "t", "eof"}},
                          {"[1]", {"erro", "erro", "eof"}},
                      });
}

TEST(LeStr, TokensHaveNoLengthLimit) {
  std::string word(100000, 'Q');
  EXPECT_EQ(tokens(LeStr, " " + word + " 1", 2),
            (std::vector<std::string>{std::string(100000, 'q'), "1"}));
}

TEST(LeFileName, FileNameClasses) {
  check_tokens(LeFileName, {
                               {"C:\\Data\\Img_1.TGA", {"c:\\data\\img_1.tga", "eof"}},
                               {"user@host:x.y  z\r\n", {"user@host:x.y", "z", "eof"}},
                               {"a/b", {"erro", "b", "eof"}},
                               {"img(1).tga", {"erro", "erro", ".tga"}},
                               {"a+b", {"erro", "b"}},
                               {"a,b", {"erro", "b"}},
                               {"f=1", {"erro", "1"}},
                               {"name;", {"erro", "eof"}},
                               {"# c\nx.tga // y", {"x.tga", "eof"}},
                               {"/* c */ y.img", {"y.img", "eof"}},
                               {" \t\r\n", {"eof"}},
                           });
}

TEST(LeStrBool, OneWordCharacterAtATime) {
  check_tokens(LeStrBool, {
                              {"0110", {"0", "1", "1", "0", "eof"}},
                              {"1, 0 1", {"1", "0", "1", "eof"}},
                              {"True", {"t", "r", "u", "e", "eof"}},
                              {"# c\n1 /* 0 */ 0", {"1", "0", "eof"}},
                              {"*1", {"erro", "1"}},
                              {"", {"eof"}},
                          });
}

template <class T>
T read_value(void (*reader)(FILE*, T&), const std::string& text) {
  Stream s(text);
  T x{};
  reader(s, x);
  return x;
}

void (*const le_bool)(FILE*, bool&) = LeBool;
void (*const le_num_bool)(FILE*, bool&) = LeNum;
void (*const le_double)(FILE*, double&) = LeNum;
void (*const le_float)(FILE*, float&) = LeNum;
void (*const le_short)(FILE*, short&) = LeNum;
void (*const le_int)(FILE*, int&) = LeNum;
void (*const le_byte)(FILE*, unsigned char&) = LeNum;

template <class T>
struct ValueCase {
  std::string text;
  T expected;
};

template <class T>
void check_values(void (*reader)(FILE*, T&), const std::vector<ValueCase<T>>& cases) {
  for (const ValueCase<T>& c : cases)
    EXPECT_EQ(read_value(reader, c.text), c.expected) << '"' << c.text << '"';
}

// Each text must end the process through erro(msg, "").
template <class T>
void check_fatal(void (*reader)(FILE*, T&), const std::vector<std::string>& texts,
                 const std::string& msg) {
  for (const std::string& text : texts) {
    SCOPED_TRACE('"' + text + '"');
    EXPECT_ERRO(read_value(reader, text), msg, "");
  }
}

TEST(LeBool, Letters) {
  check_values<bool>(le_bool, {{"1", true},
                               {"t", true},
                               {"V", true},
                               {"x", true},
                               {" ,0", false},
                               {"F", false},
                               {".", false}});
  Stream s("true true");
  bool b = false;
  LeBool(s, b);
  EXPECT_TRUE(b);
  // 'rue' stays in the stream.
  EXPECT_ERRO(LeBool(s, b), "Erro: LeBool ", "r");
  EXPECT_ERRO(read_value(le_bool, ""), "Erro: LeBool ", "eof");
  EXPECT_ERRO(read_value(le_bool, "*"), "Erro: LeBool ", "erro");
  EXPECT_ERRO(read_value(le_bool, "2"), "Erro: LeBool ", "2");
  EXPECT_EXIT(
      {
        testutil::stdout_to_stderr();
        read_value(le_bool, "y");
      },
      ::testing::ExitedWithCode(1), ::testing::HasSubstr("Erro: LeBool  y\n"));
}

TEST(LeNumBool, WholeWords) {
  check_values<bool>(le_num_bool, {{"true", true},
                                   {"TRUE", true},
                                   {"1", true},
                                   {"t", true},
                                   {"v", true},
                                   {"x", true},
                                   {"false", false},
                                   {"0", false},
                                   {"f", false},
                                   {".", false}});
  check_fatal(le_num_bool, {"10", "yes", "tr", "", "*", "2"}, "LeNum(bool)");
}

TEST(LeNumDouble, KeywordsAndLeadingNumber) {
  check_values<double>(le_double, {{"Max", 1e30},
                                   {"m", 1e30},
                                   {"+max", 1e30},
                                   {"INFINITO", 1e30},
                                   {"+m", 1e30},
                                   {"-max", -1e30},
                                   {"-M", -1e30},
                                   {"min", -1e30},
                                   {"-infinito", -1e30},
                                   {".", -1e30},
                                   {"0.1", 0.1},
                                   {"-2.5", -2.5},
                                   {".5", 0.5},
                                   {"+7", 7.0},
                                   {"1e3", 1000.0},
                                   {"1E-2", 0.01},
                                   {"12abc", 12.0},
                                   {"# c\n(3.25)", 3.25}});
  check_fatal(le_double, {"", "abc", "-", "+", "*", "e5", "maxsht", "eof", "erro"},
              "LeNum(double)");
}

TEST(LeNumFloat, RoundsTheDouble) {
  check_values<float>(le_float, {{"max", static_cast<float>(1e30)},
                                 {"-infinito", -static_cast<float>(1e30)},
                                 {".", -static_cast<float>(1e30)},
                                 {"0.1", 0.1f},
                                 {"1e3", 1000.0f},
                                 {"16777217", 16777216.0f},
                                 {"3.4028235e38", FLT_MAX},
                                 {"1e300", HUGE_VALF},
                                 {"-1e300", -HUGE_VALF}});
  check_fatal(le_float, {"", "min_", "x"}, "LeNum(FLT)");
}

TEST(LeNumShort, KeywordsAndLow16Bits) {
  check_values<short>(le_short, {{"max", 32767},
                                 {"M", 32767},
                                 {"+max", 32767},
                                 {"maxsht", 32767},
                                 {"+m", 32767},
                                 {"-max", -32768},
                                 {"-m", -32768},
                                 {"min", -32768},
                                 {"MINSHT", -32768},
                                 {".", -32768},
                                 {"123", 123},
                                 {"40000", -25536},
                                 {"70000", 4464},
                                 {"-40000", 25536},
                                 {"12.7", 12},
                                 {"1e3", 1},
                                 // Clamped to the int range first.
                                 {"3000000000", -1},
                                 {"-3000000000", 0}});
  check_fatal(le_short, {"infinito", "", "x1", "-", "*"}, "LeNum(SHT)");
}

TEST(LeNumInt, LeadingDecimalClampedToIntRange) {
  check_values<int>(le_int, {{"12abc", 12},
                             {"12.7", 12},
                             {"1e3", 1},
                             {"-5", -5},
                             {"+5", 5},
                             {"007", 7},
                             {"0x1f", 0},
                             {"2147483647", INT_MAX},
                             {"-2147483648", INT_MIN},
                             {"2147483648", INT_MAX},
                             {"-2147483649", INT_MIN},
                             {"99999999999999999999999", INT_MAX},
                             {"-99999999999999999999999", INT_MIN}});
  check_fatal(le_int, {"max", "", "abc", ".", "-", "+-1", "*", "eof"}, "LeNum(int)");
}

TEST(LeNumIgnEOF, EndOfFileGivesMinint) {
  Stream s("5");
  int x = 0;
  LeNumIgnEOF(s, x);
  EXPECT_EQ(x, 5);
  LeNumIgnEOF(s, x);
  EXPECT_EQ(x, INT_MIN);
  check_values<int>(LeNumIgnEOF, {{"", INT_MIN},
                                  {"EOF", INT_MIN},
                                  {"# only a comment", INT_MIN},
                                  {"-12", -12},
                                  {"5000000000", INT_MAX}});
  check_fatal<int>(LeNumIgnEOF, {"x", "*", "/* open"}, "LeNum(int)");
}

TEST(LeNumInt, EndOfFileIsFatal) {
  Stream s("5");
  EXPECT_EQ(LeStr(s), "5");
  EXPECT_EQ(LeStr(s), "eof");
  EXPECT_ERRO(
      {
        Stream t("5");
        int x;
        LeNum(t, x);
        LeNum(t, x);
      },
      "LeNum(int)", "");
}

TEST(LeNumByte, Clamped) {
  check_values<unsigned char>(le_byte, {{"-5", 0},
                                        {"0", 0},
                                        {"17", 17},
                                        {"255", 255},
                                        {"256", 255},
                                        {"300", 255},
                                        {"3000000000", 255},
                                        {"-3000000000", 0}});
  check_fatal(le_byte, {"max", "", "b"}, "LeNum(BYTE)");
}

TEST(Readers, MixedHeader) {
  Stream s("P2\n# made by hand\n3 2\n255\n0 128 255\n");
  EXPECT_EQ(LeStr(s), "p2");
  int w, h;
  LeNum(s, w);
  LeNum(s, h);
  unsigned char max, a, b, c;
  LeNum(s, max);
  LeNum(s, a);
  LeNum(s, b);
  LeNum(s, c);
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(max, 255);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 128);
  EXPECT_EQ(c, 255);
  EXPECT_EQ(LeStr(s), "eof");
}

}  // namespace
