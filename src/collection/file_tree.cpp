#include "collection/file_tree.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/folder.h"
#include "platform/large_file.h"

namespace dorvik {

using platform::kPathSeparator;

std::string WithSeparator(const std::string& path) {
  if (!path.empty() && path.back() == kPathSeparator) return path;
  return path + kPathSeparator;
}

std::string WithoutSeparator(const std::string& path) {
  std::string out = path;
  while (out.size() > 1 && out.back() == kPathSeparator) out.pop_back();
  return out;
}

bool DeleteTree(const platform::Folder& parent, const std::string& name) {
  const platform::Folder folder = parent.Child(name);
  if (!folder.IsOpen()) return false;
  EmptyFolder(folder);
  return parent.RemoveChild(name);
}

void EmptyFolder(const platform::Folder& folder) {
  for (const auto& entry : folder.List()) {
    if (entry.isDirectory) DeleteTree(folder, entry.name);
    else folder.RemoveFile(entry.name);
  }
}

bool CutRange(const platform::Folder& folder, const std::string& name, uint64_t offset, uint64_t count) {
  try {
    platform::LargeFile file = folder.OpenFile(name, platform::LargeFile::Mode::ReadWrite);
    const uint64_t length = file.Length();
    if (offset >= length || count == 0) return false;
    if (count >= length - offset) {
      file.SetLength(offset);
      return true;
    }
    uint8_t buffer[260];
    uint64_t readAt = offset + count, writeAt = offset;
    while (readAt < length) {
      file.Seek(static_cast<int64_t>(readAt));
      size_t n = file.Read(buffer, static_cast<size_t>(std::min<uint64_t>(sizeof buffer, length - readAt)));
      if (n == 0) break;
      file.Seek(static_cast<int64_t>(writeAt));
      file.Write(buffer, n);
      readAt += n;
      writeAt += n;
    }
    file.SetLength(length - count);
    return true;
  } catch (const platform::FileError&) {
    return false;
  }
}

}  // namespace dorvik
