#include "acc_str.h"

int CZanAccStrA::StrLen(const char* source) const {
  return source ? static_cast<int>(std::strlen(source)) : 0;
}

int CZanAccStrW::StrLen(const WCHAR* source) const {
  return source ? static_cast<int>(WcsLen(source)) : 0;
}
