#include "collection/catalogue.h"

#include <cstring>

#include "platform/folder.h"
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

namespace {

constexpr size_t kRecordsPerRead = 64;

// The text of one 260-byte field: the bytes before its first NUL.
std::string FieldText(const uint8_t* field) {
  const void* nul = std::memchr(field, 0, kCatalogueFieldSize);
  size_t length = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - field) : kCatalogueFieldSize;
  return std::string(reinterpret_cast<const char*>(field), length);
}

}  // namespace

namespace {

using Opener = std::function<LargeFile()>;

void VisitRecords(const Opener& open, const std::function<void(CatalogueRecord&)>& visit) {
  LargeFile file;
  std::vector<uint8_t> chunk(kRecordsPerRead * kCatalogueRecordSize);
  // Only the catalogue's own failures end the visit quietly; what visit
  // throws is the caller's.
  auto read = [&]() -> size_t {
    try {
      if (!file.IsOpen()) file = open();
      return file.Read(chunk.data(), chunk.size());
    } catch (const platform::FileError&) {
      return 0;
    }
  };
  for (;;) {
    const size_t n = read();
    for (size_t at = 0; at + kCatalogueRecordSize <= n; at += kCatalogueRecordSize) {
      CatalogueRecord record{FieldText(&chunk[at]), FieldText(&chunk[at + kCatalogueFieldSize])};
      visit(record);
    }
    if (n < chunk.size()) break;
  }
}

bool AppendRecord(const Opener& open, const CatalogueRecord& record) {
  auto bytes = EncodeCatalogueRecord(record);
  if (!bytes) return false;
  try {
    LargeFile file = open();
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

Opener CatalogueIn(const platform::Folder& folder, const std::string& name, LargeFile::Mode mode) {
  return [&folder, name, mode] { return folder.OpenFile(name, mode); };
}

}  // namespace

void ForEachCatalogueRecord(const std::string& path, const std::function<void(CatalogueRecord&)>& visit) {
  VisitRecords([&] { return LargeFile(path, LargeFile::Mode::ReadRegular); }, visit);
}

void ForEachCatalogueRecord(const platform::Folder& folder, const std::string& name,
                            const std::function<void(CatalogueRecord&)>& visit) {
  VisitRecords(CatalogueIn(folder, name, LargeFile::Mode::ReadRegular), visit);
}

std::vector<CatalogueRecord> ReadCatalogue(const std::string& path) {
  std::vector<CatalogueRecord> records;
  ForEachCatalogueRecord(path, [&](CatalogueRecord& record) { records.push_back(std::move(record)); });
  return records;
}

bool AppendCatalogueRecord(const std::string& path, const CatalogueRecord& record) {
  return AppendRecord([&] { return LargeFile(path, LargeFile::Mode::Append); }, record);
}

bool AppendCatalogueRecord(const platform::Folder& folder, const CatalogueRecord& record) {
  return AppendRecord(CatalogueIn(folder, kCatalogueFileName, LargeFile::Mode::Append), record);
}

bool CatalogueHoldsText(const platform::Folder& folder, const std::string& text) {
  try {
    LargeFile file = folder.OpenFile(kCatalogueFileName, LargeFile::Mode::ReadRegular);
    // Read in whole records, but test every whole field, a trailing partial
    // record's source included.
    std::vector<uint8_t> chunk(kRecordsPerRead * kCatalogueRecordSize);
    for (;;) {
      const size_t n = file.Read(chunk.data(), chunk.size());
      for (size_t at = 0; at + kCatalogueFieldSize <= n; at += kCatalogueFieldSize)
        if (FieldText(&chunk[at]) == text) return true;
      if (n < chunk.size()) break;
    }
  } catch (const platform::FileError&) {
  }
  return false;
}

std::optional<size_t> FindCatalogueName(const platform::Folder& folder, const std::string& name) {
  std::optional<size_t> found;
  size_t index = 0;
  ForEachCatalogueRecord(folder, kCatalogueFileName, [&](CatalogueRecord& record) {
    if (!found && record.name == name) found = index;
    ++index;
  });
  return found;
}

}  // namespace dorvik
