#include "iso/volume_descriptors.h"

#include <algorithm>
#include <cstring>

#include "iso/iso_dates.h"
#include "iso/interchange_names.h"
#include "iso/iso_fields.h"
#include "platform/text.h"

namespace dorvik::iso {

namespace {

constexpr uint8_t kDescriptorDateOffset = 32;

void PutHeader(uint8_t* sector, uint8_t type) {
  sector[0] = type;
  std::memcpy(sector + 1, "CD001", 5);
  sector[6] = 1;
}

uint8_t DateOffset(const VolumeFields& f) { return f.interchange ? UtcOffsetByte(f.now) : kDescriptorDateOffset; }

void PutRootRecord(uint8_t* p, const VolumeFields& f) {
  p[0] = 34;
  PutBoth32(p + 2, f.rootExtent);
  PutBoth32(p + 10, f.rootSectors * kSectorSize);
  PutRecordDate(p + 18, f.now, DateOffset(f));
  p[25] = 2;
  PutBoth16(p + 28, 1);
  p[32] = 1;
  p[33] = 0;
}

// Sizes, path tables and root: the fields both descriptors share.
void PutVolumeLayout(uint8_t* sector, const VolumeFields& f) {
  PutBoth32(sector + 80, f.totalSectors);
  PutBoth16(sector + 120, 1);
  PutBoth16(sector + 124, 1);
  PutBoth16(sector + 128, static_cast<uint16_t>(kSectorSize));
  PutBoth32(sector + 132, f.pathTableSize);
  PutLe32(sector + 140, f.lTable);
  PutMsb32(sector + 148, f.mTable);
  PutRootRecord(sector + 156, f);
}

// The label's first 13 bytes, without a multibyte character that the cut
// split: such a tail is no text, and Joliet could not carry the label at all.
std::string LabelBytes(const std::string& label) {
  std::string out = label.substr(0, std::min<size_t>(label.find('\0'), 13));
  size_t lead = out.size();
  while (lead > 0 && out.size() - lead < 3 && (static_cast<unsigned char>(out[lead - 1]) & 0xC0) == 0x80) --lead;
  if (lead == 0) return out;
  const auto first = static_cast<unsigned char>(out[lead - 1]);
  const size_t needed = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
  if (out.size() - (lead - 1) < needed) out.resize(lead - 1);
  return out;
}

// Big-endian UTF-16 text in a field, the rest of it UTF-16 spaces (a field
// of odd length ends with a zero byte).
void PutUtf16Field(uint8_t* field, size_t length, const std::u16string& text) {
  for (size_t i = 0; i + 1 < length; i += 2) PutMsb16(field + i, i / 2 < text.size() ? text[i / 2] : u' ');
}

// The descriptor fields that the classic layout leaves as it finds them
// and the interchange layout fills: identifiers, dates, structure version.
void PutInterchangeIdentifiers(uint8_t* sector, const VolumeFields& f, bool joliet) {
  const std::string label = LabelBytes(f.label);
  if (joliet) {
    std::u16string name = platform::ToUtf16(platform::DecodeUtf8Leniently(label));
    if (name.size() > 16) name.resize(name[15] >= 0xD800 && name[15] <= 0xDBFF ? 15 : 16);  // no half pair
    std::memset(sector + 91, 0, 29);  // only the one escape sequence
    PutUtf16Field(sector + 40, 32, name);
    for (size_t at : {190, 318, 446}) PutUtf16Field(sector + at, 128, u"");
    const std::string application = kApplicationIdentifier;
    PutUtf16Field(sector + 574, 128, std::u16string(application.begin(), application.end()));
    for (size_t at : {702, 739, 776}) PutUtf16Field(sector + at, 37, u"");
  } else {
    std::memset(sector + 40, ' ', 32);
    const std::string name = DCharacters(label, true).substr(0, 32);
    std::memcpy(sector + 40, name.data(), name.size());
    std::memset(sector + 574, ' ', 128 + 111);
    std::memcpy(sector + 574, kApplicationIdentifier, sizeof kApplicationIdentifier - 1);
  }
  const uint8_t offset = DateOffset(f);
  PutDescriptorDate(sector + 813, f.now, offset);
  PutDescriptorDate(sector + 830, f.now, offset);
  PutUnsetDescriptorDate(sector + 847);
  PutUnsetDescriptorDate(sector + 864);
  sector[881] = 1;
}

}  // namespace

void BuildPrimaryDescriptor(uint8_t* sector, const VolumeFields& f) {
  std::memset(sector, 0, kSectorSize);
  PutHeader(sector, 1);
  std::memset(sector + 8, ' ', 32);
  const std::string label = LabelBytes(f.label);
  std::memcpy(sector + 40, label.data(), label.size());
  PutVolumeLayout(sector, f);
  std::memset(sector + 190, ' ', 384);
  std::memcpy(sector + 574, kApplicationIdentifier, sizeof kApplicationIdentifier - 1);
  std::memset(sector + 703, ' ', 110);
  PutDescriptorDate(sector + 813, f.now, kDescriptorDateOffset);
  PutDescriptorDate(sector + 830, f.now, kDescriptorDateOffset);
  PutUnsetDescriptorDate(sector + 847);
  PutUnsetDescriptorDate(sector + 864);
  sector[881] = 1;
  if (f.interchange) PutInterchangeIdentifiers(sector, f, false);
}

void BuildJolietDescriptor(uint8_t* sector, const VolumeFields& f) {
  std::memset(sector, 0, kSectorSize);
  PutHeader(sector, 2);
  for (int i = 0; i < 15; ++i) sector[8 + 2 * i + 1] = ' ';
  if (auto label = platform::ToUcs2(LabelBytes(f.label))) {
    for (size_t i = 0; i < label->size() && i < 16; ++i) PutMsb16(sector + 40 + 2 * i, (*label)[i]);
  }
  sector[88] = 0x25;
  sector[89] = 0x2F;
  sector[90] = 0x45;
  std::memset(sector + 91, ' ', 29);
  PutVolumeLayout(sector, f);
  if (f.interchange) PutInterchangeIdentifiers(sector, f, true);
}

void BuildTerminator(uint8_t* sector) {
  std::memset(sector, 0, kSectorSize);
  PutHeader(sector, 255);
}

std::string EncodePathTableRecord(const std::string& identifier, uint32_t extent, uint16_t parent, bool bigEndian) {
  const size_t n = std::min<size_t>(identifier.size(), 255);
  std::string out(8 + n + (n % 2), '\0');
  auto* p = reinterpret_cast<uint8_t*>(out.data());
  p[0] = static_cast<uint8_t>(n);
  if (bigEndian) {
    PutMsb32(p + 2, extent);
    PutMsb16(p + 6, parent);
  } else {
    PutLe32(p + 2, extent);
    PutLe16(p + 6, parent);
  }
  std::memcpy(p + 8, identifier.data(), n);
  return out;
}

}  // namespace dorvik::iso
