#include "iso/previous_session_descriptor.h"

#include <gtest/gtest.h>

namespace dorvik {
namespace {

TEST(PreviousSessionDescriptor, FileFormsAndParsesBack) {
  const uint8_t date[7] = {106, 5, 17, 10, 20, 30, 32};
  std::string text = MakeFileDescriptor("A.TXT", date, 5000, 300);
  EXPECT_EQ(text, std::string("<1><A.TXT><") + "\x6A\x05\x11\x0A\x14\x1E\x20" + "><5000><300>");
  auto d = ParseSessionDescriptor(text);
  EXPECT_EQ(d.kind, SessionEntryKind::File);
  EXPECT_EQ(d.name, "A.TXT");
  EXPECT_EQ(d.date, (std::vector<uint8_t>{106, 5, 17, 10, 20, 30, 32}));
  EXPECT_EQ(d.size, 5000);
  EXPECT_EQ(d.extent, 300);
  EXPECT_TRUE(IsSessionDescriptor(text));
}

TEST(PreviousSessionDescriptor, DateEndsAtFirstZeroByte) {
  const uint8_t date[7] = {106, 5, 17, 10, 20, 0, 32};
  auto d = ParseSessionDescriptor(MakeFileDescriptor("B", date, 1, 2));
  EXPECT_EQ(d.date, (std::vector<uint8_t>{106, 5, 17, 10, 20}));
  EXPECT_EQ(FullDate(d), (std::array<uint8_t, 7>{106, 5, 17, 10, 20, 0, 0}));
  EXPECT_EQ(d.size, 1);
  EXPECT_EQ(d.extent, 2);
}

TEST(PreviousSessionDescriptor, DateHoldingGreaterThanSignKeepsLaterFields) {
  const uint8_t date[7] = {62, 5, 17, 10, '>', 30, 0};
  std::string text = MakeFileDescriptor("C.DAT", date, -7, 123456);
  auto d = ParseSessionDescriptor(text);
  EXPECT_EQ(d.name, "C.DAT");
  EXPECT_EQ(d.date, (std::vector<uint8_t>{62, 5, 17, 10, 62, 30}));
  EXPECT_EQ(d.size, -7);
  EXPECT_EQ(d.extent, 123456);
}

TEST(PreviousSessionDescriptor, FolderFormsAndParsesBack) {
  EXPECT_EQ(MakeFolderDescriptor("MUSIC"), "<2><MUSIC>");
  auto d = ParseSessionDescriptor("<2><MUSIC>");
  EXPECT_EQ(d.kind, SessionEntryKind::Folder);
  EXPECT_EQ(d.name, "MUSIC");
  // A name may not carry the field end into the text.
  EXPECT_EQ(ParseSessionDescriptor(MakeFolderDescriptor("a>b")).name, "a_b");
}

TEST(PreviousSessionDescriptor, MalformedTextsGiveNoNameOrPartialFields) {
  for (const char* text : {"<", "<1>", "<1><", "<1><>", "<2><abc", "<9><>x>", ""}) {
    auto d = ParseSessionDescriptor(text);
    EXPECT_TRUE(d.name.empty()) << text;
    EXPECT_EQ(d.size, 0) << text;
  }
  EXPECT_EQ(ParseSessionDescriptor("<1><>").kind, SessionEntryKind::File);
  EXPECT_EQ(ParseSessionDescriptor("<x><abc>").kind, SessionEntryKind::Folder);

  auto cut = ParseSessionDescriptor("<1><N><\x6A><42");  // size field never closed
  EXPECT_EQ(cut.name, "N");
  EXPECT_EQ(cut.date, (std::vector<uint8_t>{0x6A}));
  EXPECT_EQ(cut.size, 0);
  EXPECT_EQ(cut.extent, 0);

  auto junk = ParseSessionDescriptor("<1><N><><abc><99999999999>");
  EXPECT_EQ(junk.size, 0);
  EXPECT_EQ(junk.extent, INT32_MAX);
  EXPECT_FALSE(IsSessionDescriptor("/tmp/<1>"));
}

}  // namespace
}  // namespace dorvik
