#include "store/layout.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace {

// The C locale's white space, as the integer conversions skip it.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads one "%<width>d" field the way scanf does: blanks skipped (not counted
// in the width), then at most `width` characters of optional sign and digits.
// Returns false, with `text` and `value` untouched, when no digit is read.
bool ScanField(const char*& text, int width, int* value) {
  const char* p = text;
  while (IsBlank(*p)) ++p;
  int used = 0;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
    ++used;
  }
  int result = 0;
  int digits = 0;
  // Widths are at most 4, so the value cannot overflow.
  while (used < width && IsDigit(*p)) {
    result = result * 10 + (*p - '0');
    ++p;
    ++used;
    ++digits;
  }
  if (digits == 0) return false;
  *value = negative ? -result : result;
  text = p;
  return true;
}

// Reads the name as "%4d-%02d-%02d"; fields that are not read stay 0.
bool IsValidDate(const char* name) {
  int year = 0;
  int month = 0;
  int day = 0;
  const char* p = name;
  if (ScanField(p, 4, &year) && *p++ == '-' && ScanField(p, 2, &month) &&
      *p++ == '-') {
    ScanField(p, 2, &day);
  }
  return year >= 1 && year <= 8284 && month >= 1 && month <= 12 && day >= 1 &&
         day <= 31;
}

// Hours and minutes: "0" and "00" outright, else one or two characters whose
// leading number lies in 1..highest.
bool IsValidTwoDigitLevel(const char* name, int highest) {
  if (std::strcmp(name, "0") == 0 || std::strcmp(name, "00") == 0) return true;
  if (std::strlen(name) > 2) return false;
  const int value = LeadingNumber(name);
  return value >= 1 && value <= highest;
}

}  // namespace

bool IsValidLevelName(const char* name, int level) {
  if (name == nullptr) return false;
  switch (level) {
    case 1:
      return true;
    case 2:
      // The tree never offers hidden folders ("." names) as cameras.
      return name[0] != '\0' && name[0] != '.';
    case 3:
      return IsValidDate(name);
    case 4:
      return IsValidTwoDigitLevel(name, 23);
    case 5:
      return IsValidTwoDigitLevel(name, 59);
    default:
      return false;
  }
}

int LeadingNumber(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  while (IsBlank(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // atoi's result without its overflow: the value is clamped to the int
  // range (digits beyond that only keep it clamped).
  const long long limit = static_cast<long long>(INT_MAX) + 1;
  long long value = 0;
  for (; IsDigit(*p); ++p) {
    value = value * 10 + (*p - '0');
    if (value > limit) value = limit;
  }
  if (negative) return static_cast<int>(-value);
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

bool IsMillisecondName(const char* name) {
  const std::size_t length = std::strlen(name);
  return length > 8 && name[2] != '-';
}

int TimeCode(const char* name, bool millisecondNames) {
  const std::size_t length = std::strlen(name);
  char digits[4] = {0, 0, 0, 0};
  if (length >= 3 && name[2] == '-') {
    // Dashed name SS-CC.jpg: the second and the hundredths without the dash.
    const std::size_t from[4] = {0, 1, 3, 4};
    for (int i = 0; i < 4 && from[i] < length; ++i) digits[i] = name[from[i]];
  } else if (length == 8 && millisecondNames) {
    // SSmm.jpg among millisecond names is second SS, 0mm milliseconds.
    digits[0] = name[0];
    digits[1] = name[1];
    digits[2] = '0';
    digits[3] = name[2];
  } else {
    for (std::size_t i = 0; i < 4 && i < length; ++i) digits[i] = name[i];
  }
  int value = 0;
  for (int i = 0; i < 4 && IsDigit(digits[i]); ++i)
    value = value * 10 + (digits[i] - '0');
  return value;
}

namespace {

// Character i of a name's sort key (0 past its end); `length` is the name's.
inline unsigned char KeyChar(const char* name, std::size_t length,
                             std::size_t i) {
  if (length == 8) {
    if (i < 2) return static_cast<unsigned char>(name[i]);
    if (i == 2) return '0';
    return static_cast<unsigned char>(name[i - 1]);  // name[8] ends the key
  }
  return static_cast<unsigned char>(name[i]);
}

}  // namespace

void SortKey(const char* name, char* key, std::size_t keySize) {
  if (keySize == 0) return;
  const std::size_t length = std::strlen(name);
  const std::size_t keyLength = length == 8 ? 9 : length;
  std::size_t i = 0;
  for (; i < keyLength && i + 1 < keySize; ++i)
    key[i] = static_cast<char>(KeyChar(name, length, i));
  key[i] = '\0';
}

int CompareFrameNames(const char* a, const char* b) {
  const std::size_t la = std::strlen(a);
  const std::size_t lb = std::strlen(b);
  for (std::size_t i = 0;; ++i) {
    const unsigned char ca = KeyChar(a, la, i);
    const unsigned char cb = KeyChar(b, lb, i);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

bool CameraName(const char* root, const char* camera, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return false;
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  const char* r = root != nullptr ? root : "";
  std::size_t end = std::strlen(r);
  while (end > 0 && separator(r[end - 1])) --end;
  std::size_t begin = end;
  while (begin > 0 && !separator(r[begin - 1])) --begin;
  // "D:" (from "D:\" or "D:"): the drive as the user knows it.
  const bool drive = end - begin == 2 && r[begin + 1] == ':';
  const int n = std::snprintf(out, size, "%.*s%s - %s", static_cast<int>(end - begin), r + begin,
                              drive ? "\\" : "", camera != nullptr ? camera : "");
  return n >= 0 && static_cast<std::size_t>(n) < size;
}
