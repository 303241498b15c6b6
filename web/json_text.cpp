#include "json_text.h"

#include <cstdio>

namespace vantor::web {

namespace {

bool startsContainer(const std::string& text) {
  return text.empty() || text.back() == '{' || text.back() == '[' || text.back() == ':';
}

}  // namespace

JsonText& JsonText::element() {
  if (!startsContainer(text_)) text_ += ',';
  return *this;
}

JsonText& JsonText::key(const char* name) {
  element();
  string(name);
  text_ += ':';
  return *this;
}

JsonText& JsonText::open(char bracket) {
  text_ += bracket;
  return *this;
}

JsonText& JsonText::close(char bracket) {
  text_ += bracket;
  return *this;
}

// Quotes, backslashes and control characters escaped; everything else, UTF-8
// included, as it is.
JsonText& JsonText::string(const std::string& value) {
  text_ += '"';
  for (unsigned char c : value) {
    if (c == '"' || c == '\\') {
      text_ += '\\';
      text_ += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      text_ += escaped;
    } else {
      text_ += static_cast<char>(c);
    }
  }
  text_ += '"';
  return *this;
}

JsonText& JsonText::number(int64_t value) {
  text_ += std::to_string(value);
  return *this;
}

}  // namespace vantor::web
