#include <climits>
#include <cstdint>
#include <string>

#include "foundation/dates.h"
#include "support/test_support.h"

namespace {

std::string str(const DATAHORA& d) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.ano, d.mes, d.dia, d.hora,
                d.minuto, d.segundo);
  return buf;
}

TEST(Dates, LeapYears) {
  const struct {
    int ano;
    bool leap;
  } cases[] = {{1900, false}, {2000, true}, {2023, false}, {2024, true},  {2100, false},
               {2400, true},  {0, true},    {-4, true},    {-100, false}, {-400, true}};
  for (const auto& c : cases) EXPECT_EQ(bissexto(c.ano), c.leap) << c.ano;
}

TEST(Dates, DaysOfMonth) {
  const int common[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int m = 1; m <= 12; m++) {
    EXPECT_EQ(diasdomes({2023, m, 1, 0, 0, 0}), common[m - 1]) << m;
    EXPECT_EQ(diasdomes({2024, m, 1, 0, 0, 0}), m == 2 ? 29 : common[m - 1]) << m;
  }
  EXPECT_EQ(diasdomes({1900, 2, 1, 0, 0, 0}), 28);
  EXPECT_EQ(diasdomes({2000, 2, 1, 0, 0, 0}), 29);
}

TEST(DatesDeath, BadMonth) {
  for (int m : {0, 13, -1}) {
    EXPECT_ERRO(diasdomes({2000, m, 1, 0, 0, 0}), "Erro: Mes inexistente", "");
    EXPECT_ERRO(somaumdia({2000, m, 1, 0, 0, 0}), "Erro: Mes inexistente", "");
  }
  // A carry of days needs the month; a carry within the day does not.
  EXPECT_ERRO(somaseg({2000, 13, 1, 23, 0, 0}, 3600), "Erro: Mes inexistente", "");
  EXPECT_ERRO(somaseg({2000, 13, 1, 0, 0, 0}, -1), "Erro: Mes inexistente", "");
  EXPECT_EQ(str(somaseg({2000, 13, 1, 0, 0, 0}, 60)), "2000-13-01 00:01:00");
}

TEST(Dates, NextDay) {
  const struct {
    DATAHORA d;
    const char* next;
  } cases[] = {
      {{2023, 12, 31, 7, 8, 9}, "2024-01-01 07:08:09"},
      {{2024, 2, 28, 0, 0, 0}, "2024-02-29 00:00:00"},
      {{2023, 2, 28, 0, 0, 0}, "2023-03-01 00:00:00"},
      {{2024, 4, 30, 23, 59, 59}, "2024-05-01 23:59:59"},
      {{2024, 1, 15, 1, 2, 3}, "2024-01-16 01:02:03"},
  };
  for (const auto& c : cases) EXPECT_EQ(str(somaumdia(c.d)), c.next);
}

TEST(Dates, AddSeconds) {
  const struct {
    DATAHORA d;
    int s;
    const char* result;
  } cases[] = {
      {{2023, 2, 28, 23, 59, 59}, 2, "2023-03-01 00:00:01"},
      {{2023, 12, 31, 12, 0, 0}, 86400, "2024-01-01 12:00:00"},
      {{2024, 1, 1, 0, 0, 0}, 0, "2024-01-01 00:00:00"},
      {{2024, 1, 1, 0, 0, 0}, 59, "2024-01-01 00:00:59"},
      // Negative carries step the date backwards.
      {{2024, 1, 1, 0, 0, 0}, -1, "2023-12-31 23:59:59"},
      {{2024, 3, 1, 0, 0, 0}, -86400, "2024-02-29 00:00:00"},
      {{2023, 3, 1, 0, 0, 30}, -31, "2023-02-28 23:59:59"},
      {{2024, 1, 1, 10, 0, 0}, -3600, "2024-01-01 09:00:00"},
      // Totals beyond 32 bits.
      {{2000, 1, 1, 0, 0, 59}, INT_MAX, "2068-01-19 03:15:06"},
      {{2000, 1, 1, 0, 0, 0}, INT_MIN, "1931-12-13 20:45:52"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(str(somaseg(c.d, c.s)), c.result) << str(c.d) << " + " << c.s;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t days_from_civil(int64_t y, int m, int d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int64_t seconds_of(const DATAHORA& d) {
  return days_from_civil(d.ano, d.mes, d.dia) * 86400 + d.hora * 3600 + d.minuto * 60 + d.segundo;
}

TEST(Dates, AddSecondsAgreesWithCivilDays) {
  const DATAHORA start{2000, 2, 29, 13, 45, 10};
  int64_t base = seconds_of(start);
  for (int64_t s = -400000000; s <= 400000000; s += 7777777) {
    DATAHORA r = somaseg(start, static_cast<int>(s));
    EXPECT_TRUE(existedatahora(r)) << str(r);
    EXPECT_EQ(seconds_of(r), base + s) << s;
  }
}

TEST(Dates, Validity) {
  const struct {
    DATAHORA d;
    bool ok;
  } cases[] = {
      {{1900, 2, 29, 0, 0, 0}, false},    {{2000, 2, 29, 0, 0, 0}, true},
      {{3000, 12, 31, 23, 59, 59}, true}, {{1900, 1, 1, 0, 0, 0}, true},
      {{1899, 12, 31, 0, 0, 0}, false},   {{3001, 1, 1, 0, 0, 0}, false},
      {{2000, 1, 1, 24, 0, 0}, false},    {{2000, 1, 1, 0, 60, 0}, false},
      {{2000, 1, 1, 0, 0, 60}, false},    {{2000, 1, 1, -1, 0, 0}, false},
      {{2000, 13, 1, 0, 0, 0}, false},    {{2000, 0, 1, 0, 0, 0}, false},
      {{2000, 4, 31, 0, 0, 0}, false},    {{2000, 4, 0, 0, 0, 0}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(existedatahora(c.d), c.ok) << str(c.d);
}

TEST(Dates, Print) {
  testing::internal::CaptureStdout();
  imp(DATAHORA{2024, 2, 9, 7, 5, 3});
  imp(DATAHORA{33, 11, 10, 23, 59, 0});
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "2024-02-09 07:05:03\n0033-11-10 23:59:00\n");
}

TEST(Dates, SplitHundredths) {
  const struct {
    int t, h, m, s, cs;
  } cases[] = {
      {360000, 1, 0, 0, 0},        {-1, -1, 59, 59, 99},
      {6123, 0, 1, 1, 23},         {0, 0, 0, 0, 0},
      {8639999, 23, 59, 59, 99},   {INT_MIN, -5966, 46, 3, 52},
      {INT_MAX, 5965, 13, 56, 47},
  };
  for (const auto& c : cases) {
    int h, m, s, cs;
    hmscs(c.t, h, m, s, cs);
    EXPECT_EQ(h, c.h) << c.t;
    EXPECT_EQ(m, c.m) << c.t;
    EXPECT_EQ(s, c.s) << c.t;
    EXPECT_EQ(cs, c.cs) << c.t;
  }
}

}  // namespace
