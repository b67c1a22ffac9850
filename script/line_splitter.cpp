#include "line_splitter.h"

CLineSplitter::CLineSplitter(const OLECHAR* text) {
  const size_t length = text ? WcsLen(text) : 0;
  buffer_.assign(text, text + length);
  buffer_.push_back(0);
  WCHAR* state = nullptr;
  for (WCHAR* token = WcsTok(buffer_.data(), OLESTR("\r\n"), &state); token;
       token = WcsTok(nullptr, OLESTR("\r\n"), &state))
    lines_.push_back(token);
}
