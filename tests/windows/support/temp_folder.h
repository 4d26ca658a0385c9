#pragma once
// A fresh folder under the system's temporary directory, removed with
// everything in it when the object goes.
#include <string>

namespace dorvik::test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }  // no trailing separator
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

}  // namespace dorvik::test
