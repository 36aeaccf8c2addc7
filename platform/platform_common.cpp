#include "platform/platform.h"

#include <atomic>

namespace platform {

namespace {

std::atomic<AccessHook*> accessHook{nullptr};

inline unsigned char Fold(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}
}  // namespace

int CompareNtfsOrder(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const unsigned char ca = Fold(static_cast<unsigned char>(*a));
    const unsigned char cb = Fold(static_cast<unsigned char>(*b));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

bool MatchWildcard(const char* pattern, const char* name) {
  // Iterative matcher with one backtrack point for the last '*': linear in
  // practice, no recursion on hostile names.
  const char* starP = nullptr;
  const char* starN = nullptr;
  while (*name) {
    if (*pattern == '*') {
      starP = ++pattern;
      starN = name;
    } else if (*pattern == '?' ||
               Fold(static_cast<unsigned char>(*pattern)) ==
                   Fold(static_cast<unsigned char>(*name))) {
      ++pattern;
      ++name;
    } else if (starP) {
      pattern = starP;
      name = ++starN;
    } else {
      return false;
    }
  }
  // Windows lets trailing '?' (and '*') match nothing.
  while (*pattern == '*' || *pattern == '?') ++pattern;
  return *pattern == 0;
}

void SetAccessHook(AccessHook* hook) { accessHook.store(hook); }

void BeforeAccess(const char* path) {
  AccessHook* hook = accessHook.load();
  if (hook != nullptr) hook->BeforeAccess(path);
}

}  // namespace platform
