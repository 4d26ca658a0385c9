#pragma once
// A JSON document written as it is built, for the --json output of the
// commands. Keys and strings are the library's 8-bit text: UTF-8 passes
// through, control characters are escaped, and a byte that is no UTF-8 is
// written as U+FFFD so the document always parses.
#include <cstdint>
#include <string>
#include <vector>

namespace dorvik::cli {

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(const std::string& key);
  JsonWriter& String(const std::string& value);
  JsonWriter& Number(int64_t value);
  JsonWriter& Number(uint64_t value);
  JsonWriter& Number(int32_t value) { return Number(static_cast<int64_t>(value)); }
  JsonWriter& Number(uint32_t value) { return Number(static_cast<uint64_t>(value)); }
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  // The document, with a final line break.
  std::string Text() const { return out_ + "\n"; }

 private:
  void BeforeValue();
  std::string out_;
  std::vector<bool> first_;  // per open container: nothing written in it yet
  bool afterKey_ = false;
};

// value as a JSON string literal, quotes included.
std::string JsonQuote(const std::string& value);

}  // namespace dorvik::cli
