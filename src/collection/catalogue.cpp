#include "collection/catalogue.h"

#include <cstring>

#include "platform/large_file.h"

namespace dorvik {

using platform::LargeFile;

bool IsCatalogueName(const std::string& name) {
  static const char kUpper[] = "FILE.LS";
  if (name.size() != sizeof kUpper - 1) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != kUpper[i]) return false;
  }
  return true;
}

std::optional<std::vector<uint8_t>> EncodeCatalogueRecord(const CatalogueRecord& record) {
  if (!FitsCatalogueField(record.source) || !FitsCatalogueField(record.name)) return std::nullopt;
  std::vector<uint8_t> bytes(kCatalogueRecordSize, 0);
  std::memcpy(bytes.data(), record.source.data(), record.source.size());
  std::memcpy(bytes.data() + kCatalogueFieldSize, record.name.data(), record.name.size());
  return bytes;
}

std::string FieldText(const uint8_t* field) {
  const void* nul = std::memchr(field, 0, kCatalogueFieldSize);
  size_t length = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - field) : kCatalogueFieldSize;
  return std::string(reinterpret_cast<const char*>(field), length);
}

std::vector<CatalogueRecord> ReadCatalogue(const std::string& path) {
  std::vector<CatalogueRecord> records;
  try {
    LargeFile file(path, LargeFile::Mode::Read);
    uint8_t buffer[kCatalogueRecordSize];
    while (file.Read(buffer, sizeof buffer) == sizeof buffer)
      records.push_back({FieldText(buffer), FieldText(buffer + kCatalogueFieldSize)});
  } catch (const platform::FileError&) {
    // What was read before the failure stands; an unreadable file adds nothing.
  }
  return records;
}

bool AppendCatalogueRecord(const std::string& path, const CatalogueRecord& record) {
  auto bytes = EncodeCatalogueRecord(record);
  if (!bytes) return false;
  try {
    LargeFile file(path, LargeFile::Mode::Append);
    // A catalogue left with a partial record (a failed earlier write) keeps
    // its whole records aligned: the new record starts on a record boundary.
    uint64_t length = file.Length();
    if (length % kCatalogueRecordSize != 0) file.SetLength(length - length % kCatalogueRecordSize);
    file.Write(bytes->data(), bytes->size());
    return true;
  } catch (const platform::FileError&) {
    return false;
  }
}

bool CatalogueHoldsText(const std::string& path, const std::string& text) {
  try {
    LargeFile file(path, LargeFile::Mode::Read);
    uint8_t field[kCatalogueFieldSize];
    while (file.Read(field, sizeof field) == sizeof field)
      if (FieldText(field) == text) return true;
  } catch (const platform::FileError&) {
  }
  return false;
}

std::optional<size_t> FindCatalogueName(const std::string& path, const std::string& name) {
  auto records = ReadCatalogue(path);
  for (size_t i = 0; i < records.size(); ++i)
    if (records[i].name == name) return i;
  return std::nullopt;
}

}  // namespace dorvik
