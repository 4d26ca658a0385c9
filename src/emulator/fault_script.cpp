#include "emulator/fault_script.h"

#include "emulator/entry_list.h"

namespace dorvik::emulator {

namespace {

constexpr uint8_t kCloseTrackSession = 0x5B;

// "K/ASC/ASCQ" with a non-zero key: a fault must fail.
std::optional<Sense> ParseSense(const std::string& text) {
  uint32_t parts[3];
  size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t slash = i < 2 ? text.find('/', pos) : text.size();
    if (slash == std::string::npos) return std::nullopt;
    if (!ParseUnsigned(text.substr(pos, slash - pos), 16, i == 0 ? 0x0F : 0xFF, parts[i])) return std::nullopt;
    pos = slash + 1;
  }
  if (parts[0] == 0) return std::nullopt;
  return Sense::Of(static_cast<uint8_t>(parts[0]), static_cast<uint8_t>(parts[1]), static_cast<uint8_t>(parts[2]));
}

std::optional<FaultEffect> ParseEffect(const std::string& text) {
  if (text == "damage") return FaultEffect::Damage;
  if (text == "remove") return FaultEffect::Remove;
  if (text == "corrupt") return FaultEffect::Corrupt;
  return std::nullopt;
}

// The answer right of '=': a sense, a sense with an effect, or an effect alone.
bool ParseAnswer(const std::string& text, Fault& f) {
  if (auto effect = ParseEffect(text)) {
    f.effect = *effect;
    if (*effect == FaultEffect::Damage) f.sense = sense::WriteError();
    else if (*effect == FaultEffect::Remove) f.sense = sense::NoMediumTrayClosed();
    return true;
  }
  const size_t plus = text.find('+');
  auto parsed = ParseSense(text.substr(0, plus));
  if (!parsed) return false;
  f.sense = *parsed;
  if (plus == std::string::npos) return true;
  auto effect = ParseEffect(text.substr(plus + 1));
  if (!effect || *effect == FaultEffect::Corrupt) return false;  // a corrupted write reports no error
  f.effect = *effect;
  return true;
}

std::optional<Fault> ParseEntry(const std::string& item) {
  const size_t eq = item.find('=');
  if (eq == std::string::npos) return std::nullopt;
  std::string left = item.substr(0, eq);
  Fault f;
  uint32_t v = 0;
  if (size_t x = left.find('x'); x != std::string::npos) {
    const std::string count = left.substr(x + 1);
    if (count == "*") f.count = Fault::kForever;
    else if (!ParseUnsigned(count, 10, 1000000, v) || v == 0) return std::nullopt;
    else f.count = v;
    left.resize(x);
  }
  if (size_t at = left.find('@'); at != std::string::npos) {
    if (!ParseUnsigned(left.substr(at + 1), 10, 1000000, v) || v == 0) return std::nullopt;
    f.first = v;
    left.resize(at);
  }
  if (size_t dot = left.find('.'); dot != std::string::npos) {
    if (!ParseUnsigned(left.substr(dot + 1), 16, 0x07, v)) return std::nullopt;
    f.function = static_cast<uint8_t>(v);
    left.resize(dot);
  }
  if (!ParseUnsigned(left, 16, 0xFF, v)) return std::nullopt;
  f.opcode = static_cast<uint8_t>(v);
  if (f.function && f.opcode != kCloseTrackSession) return std::nullopt;  // only closing has functions
  if (!ParseAnswer(item.substr(eq + 1), f)) return std::nullopt;
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

std::optional<Fault> FaultScript::Next(const uint8_t* cdb, uint8_t cdbLength) {
  std::optional<Fault> result;
  const uint8_t opcode = cdb[0];
  const std::optional<uint8_t> function =
      opcode == kCloseTrackSession && cdbLength > 2 ? std::optional<uint8_t>(cdb[2] & 0x07) : std::nullopt;
  for (auto& e : entries_) {
    if (e.fault.opcode != opcode) continue;
    if (e.fault.function && e.fault.function != function) continue;
    if (e.seen < 0xFFFFFFFFu) ++e.seen;
    const bool due = e.seen >= e.fault.first &&
                     (e.fault.count == Fault::kForever || e.seen - e.fault.first < e.fault.count);
    if (!result && due) result = e.fault;
  }
  return result;
}

}  // namespace dorvik::emulator
