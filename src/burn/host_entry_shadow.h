#pragma once
// The host's own additions are in the collection before the import walks
// the old tree. Where one of them holds an old entry's name as the other
// kind (a new file where the disc has a folder, or a new folder where it has
// a file), the newer entry stands: no folder can list a file and a folder
// of one name, and readers otherwise rename one of them at random. The old
// entry is left out with everything below it; its data stays on the disc,
// and the earlier session still shows it.
//
// Entries of the same kind are not judged here: an old folder merges with a
// new one, and an old file follows a new file of its name (the collection
// takes descriptors without a duplicate test).
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace dorvik {

class HostEntryShadow {
 public:
  // workspace: the collection's workspace folder (empty: nothing is hidden).
  explicit HostEntryShadow(std::string workspace) : workspace_(std::move(workspace)) {}

  // True when the old entry is to be left out. Entries must come as the
  // walk hands them on: a folder before what it holds, depth first.
  bool Hides(const std::string& descriptor, const std::string& discFolder);
  uint32_t Hidden() const { return hidden_; }

 private:
  // What the host put into one disc folder, read when the walk first enters
  // it, before the import has added anything there.
  struct Folder {
    std::string discPath;
    std::set<std::string> files, folders;
  };
  const Folder& Enter(const std::string& discFolder);

  std::string workspace_;
  std::vector<Folder> open_;  // the folders from the root to the one walked now
  std::string hiddenFolder_;  // the last old folder left out ("\A\B\"), empty when none
  uint32_t hidden_ = 0;
};

}  // namespace dorvik
