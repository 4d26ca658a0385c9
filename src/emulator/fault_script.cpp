#include "emulator/fault_script.h"

#include "emulator/entry_list.h"

namespace dorvik::emulator {

namespace {
std::optional<Fault> ParseEntry(const std::string& item) {
  const size_t eq = item.find('=');
  if (eq == std::string::npos) return std::nullopt;
  std::string left = item.substr(0, eq);
  const std::string right = item.substr(eq + 1);
  Fault f;
  uint32_t v = 0;
  if (size_t x = left.find('x'); x != std::string::npos) {
    if (!ParseUnsigned(left.substr(x + 1), 10, 1000000, v) || v == 0) return std::nullopt;
    f.count = v;
    left.resize(x);
  }
  if (size_t at = left.find('@'); at != std::string::npos) {
    if (!ParseUnsigned(left.substr(at + 1), 10, 1000000, v) || v == 0) return std::nullopt;
    f.first = v;
    left.resize(at);
  }
  if (!ParseUnsigned(left, 16, 0xFF, v)) return std::nullopt;
  f.opcode = static_cast<uint8_t>(v);
  uint32_t parts[3];
  size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    size_t slash = i < 2 ? right.find('/', pos) : right.size();
    if (slash == std::string::npos) return std::nullopt;
    if (!ParseUnsigned(right.substr(pos, slash - pos), 16, i == 0 ? 0x0F : 0xFF, parts[i])) return std::nullopt;
    pos = slash + 1;
  }
  if (parts[0] == 0) return std::nullopt;  // a fault must fail
  f.sense = Sense::Of(static_cast<uint8_t>(parts[0]), static_cast<uint8_t>(parts[1]), static_cast<uint8_t>(parts[2]));
  return f;
}
}  // namespace

std::optional<std::vector<Fault>> ParseFaultScript(const std::string& text, std::string* error) {
  std::vector<Fault> out;
  for (const std::string& item : SplitEntries(text)) {
    auto fault = ParseEntry(item);
    if (!fault) {
      if (error) *error = "bad fault \"" + item + "\"";
      return std::nullopt;
    }
    out.push_back(*fault);
  }
  return out;
}

void FaultScript::Add(const Fault& fault) { entries_.push_back({fault, 0}); }

std::optional<Sense> FaultScript::Next(uint8_t opcode) {
  std::optional<Sense> result;
  for (auto& e : entries_) {
    if (e.fault.opcode != opcode) continue;
    ++e.seen;
    if (!result && e.seen >= e.fault.first && e.seen - e.fault.first < e.fault.count) result = e.fault.sense;
  }
  return result;
}

}  // namespace dorvik::emulator
