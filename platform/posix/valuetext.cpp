#include "valuetext.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zanole {

namespace {

// "%.*G" in the runtime's shape: no trailing zeros and a two-digit minimum
// exponent without padding beyond that ("1E+20", "1.5E-05").
std::string TrimExponent(const std::string& s) {
  size_t e = s.find('E');
  if (e == std::string::npos) return s;
  std::string mantissa = s.substr(0, e);
  char sign = s[e + 1];
  std::string digits = s.substr(e + 2);
  while (digits.size() > 2 && digits[0] == '0') digits.erase(0, 1);
  return mantissa + "E" + sign + digits;
}

struct CivilDate {
  int64_t year;
  unsigned month, day;
};

// Days since 1970-01-01 to a proleptic Gregorian date.
CivilDate CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {y + (m <= 2), m, d};
}

constexpr int64_t kOleEpochFromUnixDays = -25569;  // 1899-12-30
constexpr double kMinDate = -657434.0;              // 0100-01-01
constexpr double kMaxDate = 2958465.99999999;       // 9999-12-31 23:59:59

}  // namespace

std::string RealText(double value, int significantDigits) {
  if (value == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*G", significantDigits, value);
  return TrimExponent(buf);
}

std::string CurrencyText(CY value) {
  LONGLONG v = value.int64;
  bool negative = v < 0;
  ULONGLONG magnitude = negative ? 0ULL - static_cast<ULONGLONG>(v) : static_cast<ULONGLONG>(v);
  std::string text = std::to_string(magnitude / 10000);
  unsigned fraction = static_cast<unsigned>(magnitude % 10000);
  if (fraction) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04u", fraction);
    std::string f(buf);
    while (!f.empty() && f.back() == '0') f.pop_back();
    text += "." + f;
  }
  return negative ? "-" + text : text;
}

std::string DecimalText(const DECIMAL& value) {
  // 96-bit magnitude to decimal digits by repeated division.
  ULONG parts[3] = {value.Hi32, value.Mid32, value.Lo32};
  std::string digits;
  bool nonzero = true;
  while (nonzero) {
    uint64_t rem = 0;
    nonzero = false;
    for (ULONG& p : parts) {
      uint64_t cur = (rem << 32) | p;
      p = static_cast<ULONG>(cur / 10);
      rem = cur % 10;
      if (p) nonzero = true;
    }
    digits.insert(digits.begin(), static_cast<char>('0' + rem));
  }
  unsigned scale = value.scale;
  if (scale) {
    while (digits.size() <= scale) digits.insert(digits.begin(), '0');
    digits.insert(digits.end() - scale, '.');
    while (digits.back() == '0') digits.pop_back();
    if (digits.back() == '.') digits.pop_back();
  }
  bool zero = digits == "0";
  return (value.sign & DECIMAL_NEG) && !zero ? "-" + digits : digits;
}

bool DateText(DATE value, std::string* text) {
  if (!(value >= kMinDate && value <= kMaxDate)) return false;
  // Whole seconds of the magnitude, rounded as the runtime rounds; the
  // time of day is measured from midnight whatever the sign of the date.
  const int64_t total = std::llround(std::fabs(value) * 86400.0);
  const int64_t days = (value < 0 ? -1 : 1) * (total / 86400);
  const int64_t seconds = total % 86400;
  // Which parts are shown depends on the value as given, not as rounded.
  const double whole = std::trunc(value);
  const bool showDate = whole != 0;
  const bool showTime = value != whole || !showDate;
  char buf[64];
  std::string out;
  if (showDate) {
    CivilDate d = CivilFromDays(days + kOleEpochFromUnixDays);
    std::snprintf(buf, sizeof buf, "%u/%u/%lld", d.month, d.day, static_cast<long long>(d.year));
    out = buf;
  }
  if (showTime) {
    int hour = static_cast<int>(seconds / 3600);
    int minute = static_cast<int>(seconds / 60 % 60);
    int second = static_cast<int>(seconds % 60);
    int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d %s", hour12, minute, second,
                  hour < 12 ? "AM" : "PM");
    if (!out.empty()) out += ' ';
    out += buf;
  }
  *text = out;
  return true;
}

}  // namespace zanole
