#include "collection/image_rules.h"

#include <cerrno>

#include "collection/previous_session_descriptor.h"
#include "platform/clock.h"
#include "platform/large_file.h"
#include "platform/text.h"

namespace dorvik {

bool NameFits(const std::string& name, const ImageRules& rules) {
  return rules.anyName || platform::ToUcs2(name).has_value();
}

std::optional<LeftOutReason> InspectSource(const std::string& source, const ImageRules& rules, SourceFacts& facts) {
  try {
    platform::LargeFile file(source, platform::LargeFile::Mode::ReadRegular);
    facts.length = file.Length();
    facts.modified = platform::ClampToSourceDate(file.Modified());
  } catch (const platform::FileError& e) {
    // The codes the file layer gives what is there but not a regular file.
    const bool notRegular = e.Code() == EISDIR || e.Code() == ESPIPE || e.Code() == ENODEV;
    return notRegular ? LeftOutReason::NotRegularFile : LeftOutReason::Unreadable;
  }
  if (facts.length > rules.largestFile) return LeftOutReason::TooLarge;
  return std::nullopt;
}

std::optional<LeftOutReason> CheckRecord(const CatalogueRecord& record, const ImageRules& rules) {
  if (!NameFits(record.name, rules)) return LeftOutReason::NameNotJoliet;
  if (IsSessionDescriptor(record.source)) return std::nullopt;
  SourceFacts facts;
  return InspectSource(record.source, rules, facts);
}

}  // namespace dorvik
