// A little JSON writer for what the module hands to JavaScript: objects, arrays,
// strings, integers, true/false and null, appended in order. It keeps no state
// beyond the text, so the caller writes the commas (first() says where).
#pragma once

#include <cstdint>
#include <string>

namespace vantor::web {

class JsonText {
 public:
  JsonText& raw(const char* text) {
    text_ += text;
    return *this;
  }
  JsonText& key(const char* name);  // "name": (after a comma unless the object is new)
  JsonText& string(const std::string& value);
  JsonText& number(int64_t value);
  JsonText& boolean(bool value) { return raw(value ? "true" : "false"); }
  JsonText& null() { return raw("null"); }
  JsonText& open(char bracket);  // '{' or '[', after a comma unless the container is new
  JsonText& close(char bracket);
  // Before an element of an array: a comma unless it is the first.
  JsonText& element();
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace vantor::web
