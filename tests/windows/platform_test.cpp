// The Win32 halves of the platform layer, on Wine's Windows: registry
// settings, files past 4 GiB and their locks, folders, the module's own
// path, code-page conversion, local time and window messages.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "platform/append_file.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/large_file.h"
#include "platform/notify.h"
#include "platform/process_lock.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "support/temp_folder.h"

namespace dorvik::platform {
namespace {

using test::TempFolder;

// Sets (or, with type REG_NONE, deletes) a value below HKEY_LOCAL_MACHINE.
void SetValue(const char* key, const char* name, DWORD type, const void* bytes, DWORD size) {
  HKEY h = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  if (type == REG_NONE) ::RegDeleteValueA(h, name);
  else ASSERT_EQ(::RegSetValueExA(h, name, 0, type, static_cast<const BYTE*>(bytes), size), ERROR_SUCCESS);
  ::RegCloseKey(h);
}
void SetText(const char* key, const char* name, const std::string& text, bool withNul = true) {
  SetValue(key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + (withNul ? 1 : 0)));
}
void SetDword(const char* key, const char* name, DWORD v) { SetValue(key, name, REG_DWORD, &v, sizeof v); }
void Delete(const char* key, const char* name) { SetValue(key, name, REG_NONE, nullptr, 0); }

constexpr const char* kLogKey = "Software\\Quorvane";
constexpr const char* kBurnKey = "Software\\Tavernix\\Kilnor";

TEST(Win32Settings, LogSwitchIsFourBytesOfAnyType) {
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kLogKey);
  EXPECT_EQ(ReadNumberSetting(Setting::WriteLog), std::nullopt);
  HKEY made = nullptr;  // reading made the key it could not open
  EXPECT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kLogKey, 0, KEY_READ, &made), ERROR_SUCCESS);
  if (made) ::RegCloseKey(made);

  SetDword(kLogKey, "WriteLog", 1);
  EXPECT_EQ(ReadNumberSetting(Setting::WriteLog), 1u);
  SetDword(kLogKey, "WriteLog", 0);
  EXPECT_EQ(ReadNumberSetting(Setting::WriteLog), 0u);
  SetText(kLogKey, "WriteLog", "1");  // "1" and its NUL: two bytes, non-zero
  EXPECT_EQ(ReadNumberSetting(Setting::WriteLog), 0x31u);
  SetText(kLogKey, "WriteLog", "12345");  // more than four bytes cannot be read
  EXPECT_EQ(ReadNumberSetting(Setting::WriteLog), std::nullopt);
  Delete(kLogKey, "WriteLog");
}

TEST(Win32Settings, WriteTypeIsItsLeadingDigitsAndTempFileItsText) {
  const std::pair<const char*, uint32_t> cases[] = {
      {"1", 1}, {"0", 0}, {"12abc", 12}, {"abc", 0}, {"", 0}, {" 1", 0}, {"99999999999", UINT32_MAX}};
  for (const auto& [text, number] : cases) {
    SetText(kBurnKey, "WriteType", text);
    EXPECT_EQ(ReadNumberSetting(Setting::WriteType), number) << text;
  }
  Delete(kBurnKey, "WriteType");
  EXPECT_EQ(ReadNumberSetting(Setting::WriteType), std::nullopt);

  SetText(kBurnKey, "TempFile", "C:\\out\\blocks.bin");
  EXPECT_EQ(ReadTextSetting(Setting::TempFile), "C:\\out\\blocks.bin");
  SetText(kBurnKey, "TempFile", "C:\\x.bin", false);  // stored without its NUL
  EXPECT_EQ(ReadTextSetting(Setting::TempFile), "C:\\x.bin");
  SetText(kBurnKey, "TempFile", std::string(300, 'a'));  // past the 260-byte buffer
  EXPECT_EQ(ReadTextSetting(Setting::TempFile), std::nullopt);
  Delete(kBurnKey, "TempFile");
  EXPECT_EQ(ReadTextSetting(Setting::TempFile), std::nullopt);
  SetText(kBurnKey, "IsoLayout", "interchange");
  EXPECT_EQ(ReadTextSetting(Setting::IsoLayout), "interchange");
  Delete(kBurnKey, "IsoLayout");
}

TEST(Win32Files, LargeFilePastFourGibibytes) {
  TempFolder dir;
  const std::string path = dir / "big.bin";
  constexpr uint64_t kFive = 5ull << 30;
  {
    LargeFile f(path, LargeFile::Mode::Create);
    f.SetLength(kFive);
    EXPECT_EQ(f.Length(), kFive);
    EXPECT_EQ(f.Seek((4ll << 30) + 10), (4ull << 30) + 10);
    f.Write("abc", 3);
    EXPECT_EQ(f.Seek(0, LargeFile::Origin::Current), (4ull << 30) + 13);
    EXPECT_EQ(f.Seek(-3, LargeFile::Origin::End), kFive - 3);
    f.SetLength(kFive + 1);  // the position stays where it was
    EXPECT_EQ(f.Seek(0, LargeFile::Origin::Current), kFive - 3);
    f.Flush();
  }
  LargeFile f(path, LargeFile::Mode::Read);
  f.Seek((4ll << 30) + 9);
  char back[5] = {};
  EXPECT_EQ(f.Read(back, 5), 5u);
  EXPECT_EQ(std::string(back, 5), std::string("\0abc\0", 5));
  f.Seek(-1, LargeFile::Origin::End);
  EXPECT_EQ(f.Read(back, 5), 1u);  // short only at the end
  EXPECT_THROW(f.Write("x", 1), FileError);  // opened for reading
  // At an offset, the position stays where it was.
  f.Seek(2);
  EXPECT_EQ(f.ReadAt((4ull << 30) + 10, back, 3), 3u);
  EXPECT_EQ(std::string(back, 3), "abc");
  EXPECT_EQ(f.Seek(0, LargeFile::Origin::Current), 2u);
}

TEST(Win32Files, ScratchFileHasNoNameLeftAndGoesWithItsHandle) {
  TempFolder dir;
  {
    LargeFile f;
    f.OpenScratch(dir.Path());
    f.WriteAt(5ull << 30, "sums", 4);
    char back[4] = {};
    EXPECT_EQ(f.ReadAt(5ull << 30, back, 4), 4u);
    EXPECT_EQ(std::string(back, 4), "sums");
  }
  EXPECT_TRUE(ListDirectory(dir.Path()).empty());
  LargeFile f;
  EXPECT_THROW(f.OpenScratch(""), FileError);
}

TEST(Win32Files, OpenModesLocksAndErrors) {
  TempFolder dir;
  const std::string path = dir / "f.bin";
  { LargeFile(path, LargeFile::Mode::Append).Write("a", 1); }
  { LargeFile(path, LargeFile::Mode::Append).Write("b", 1); }
  EXPECT_EQ(Stat(path).size, 2u);
  EXPECT_THROW(LargeFile(path, LargeFile::Mode::CreateNew), FileError);
  { LargeFile(path, LargeFile::Mode::Create); }
  EXPECT_EQ(Stat(path).size, 0u);

  LargeFile a(path, LargeFile::Mode::ReadWrite), b(path, LargeFile::Mode::ReadWrite);
  a.LockRange(5ull << 30, 100);  // a range past 4 GiB, beyond the file's end
  EXPECT_THROW(b.LockRange((5ull << 30) + 50, 10), FileError);
  b.LockRange(0, 10);  // elsewhere is free
  a.UnlockRange(5ull << 30, 100);
  b.LockRange((5ull << 30) + 50, 10);

  try {
    LargeFile missing(dir / "missing.bin", LargeFile::Mode::Read);
    FAIL() << "opened a missing file";
  } catch (const FileError& e) {
    EXPECT_EQ(e.Code(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(e.Path(), dir / "missing.bin");
    EXPECT_NE(std::string(e.what()).find("missing.bin"), std::string::npos);
  }
  EXPECT_THROW(LargeFile(dir.Path(), LargeFile::Mode::Read), FileError);  // a folder is no file
}

TEST(Win32Files, WhatEachModeRefusesAndATakenName) {
  TempFolder dir;
  const std::string path = dir / "ours.tmp";
  { LargeFile(path, LargeFile::Mode::Create).Write("old contents", 12); }
  {
    LargeFile again(path, LargeFile::Mode::Rewrite);  // emptied in place
    EXPECT_EQ(again.Length(), 0u);
    again.Write("new", 3);
  }
  EXPECT_EQ(Stat(path).size, 3u);
  { LargeFile(dir / "fresh.tmp", LargeFile::Mode::Rewrite).Write("x", 1); }  // missing: made
  EXPECT_EQ(Stat(dir / "fresh.tmp").size, 1u);
  ASSERT_TRUE(::CreateHardLinkA((dir / "second").c_str(), path.c_str(), nullptr));
  EXPECT_THROW(LargeFile(path, LargeFile::Mode::Rewrite), FileError);  // a second name could be anyone's
  EXPECT_EQ(Stat(path).size, 3u);

  // A character device opens for reading, but not where only a file will do.
  EXPECT_NO_THROW(LargeFile("NUL", LargeFile::Mode::Read));
  EXPECT_THROW(LargeFile("NUL", LargeFile::Mode::ReadRegular), FileError);
  EXPECT_EQ(LargeFile(path, LargeFile::Mode::ReadRegular).Length(), 3u);
  EXPECT_GT(LargeFile(path, LargeFile::Mode::Read).Modified(), 1600000000);

  int error = 0;
  EXPECT_FALSE(CreateFolder(dir.Path(), &error));
  EXPECT_TRUE(IsNameTakenError(error));
  try {
    LargeFile taken(path, LargeFile::Mode::CreateNew);
    FAIL() << "a taken name was reserved";
  } catch (const FileError& e) {
    EXPECT_TRUE(IsNameTakenError(e.Code()));
  }
  EXPECT_FALSE(CreateFolder(dir / "no\\such\\place", &error));
  EXPECT_FALSE(IsNameTakenError(error));
}

TEST(Win32Files, FoldersListingsAndIdentity) {
  TempFolder dir;
  const std::string temp = TempDirectory();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_EQ(kPathSeparator, '\\');

  EXPECT_TRUE(CreateFolder(dir / "sub"));
  EXPECT_FALSE(CreateFolder(dir / "sub"));
  { LargeFile(dir / "b.txt", LargeFile::Mode::Create).Write("12345", 5); }
  { LargeFile(dir / "B.txt", LargeFile::Mode::Create).Write("1", 1); }  // same file: names fold case
  { LargeFile(dir / "a.txt", LargeFile::Mode::Create); }
  { LargeFile(dir / "sub\\inner", LargeFile::Mode::Create); }
  const auto entries = ListDirectory(dir.Path());
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "a.txt");
  EXPECT_EQ(entries[1].name, "b.txt");
  EXPECT_EQ(entries[1].size, 1u);
  EXPECT_FALSE(entries[1].isDirectory);
  EXPECT_EQ(entries[2].name, "sub");
  EXPECT_TRUE(entries[2].isDirectory);
  EXPECT_EQ(ListDirectory(dir.Path() + "\\").size(), 3u);
  EXPECT_TRUE(ListDirectory(dir / "none").empty());

  EXPECT_TRUE(IsDirectory(dir / "sub"));
  EXPECT_FALSE(IsDirectory(dir / "a.txt"));
  EXPECT_TRUE(PathExists(dir / "a.txt"));
  EXPECT_FALSE(IsSymlink(dir / "a.txt"));
  EXPECT_NE(Stat(dir / "a.txt").modified, 0);
  EXPECT_FALSE(RemoveFolder(dir / "sub"));  // not empty
  EXPECT_TRUE(RemoveFile(dir / "sub\\inner"));
  EXPECT_TRUE(RemoveFolder(dir / "sub"));
  EXPECT_FALSE(PathExists(dir / "sub"));

  const auto self = IdentifyFolder(dir.Path());
  ASSERT_TRUE(self);
  EXPECT_EQ(IdentifyFolder(dir.Path() + "\\.\\"), self);
  EXPECT_NE(IdentifyFolder(temp), self);
  EXPECT_EQ(IdentifyFolder(dir / "a.txt"), std::nullopt);
  EXPECT_GT(FreeDiskBytes(dir.Path()).value_or(0), 0u);
}

TEST(Win32Log, TurnsAreANamedEventAndRecordsAppendWhole) {
  TempFolder dir;
  const std::string path = dir / "Record.log";
  ProcessLock first("DORVIK_TEST_TURN", path + ".lock"), second("DORVIK_TEST_TURN", path + ".lock");
  ASSERT_TRUE(first.IsOpen());
  EXPECT_TRUE(first.TryAcquire());
  EXPECT_FALSE(second.TryAcquire());  // one event for the machine, not one per object
  HANDLE seen = ::OpenEventA(SYNCHRONIZE, FALSE, "DORVIK_TEST_TURN");
  ASSERT_NE(seen, nullptr);
  EXPECT_EQ(::WaitForSingleObject(seen, 0), static_cast<DWORD>(WAIT_TIMEOUT));  // reset while held
  first.Release();
  EXPECT_EQ(::WaitForSingleObject(seen, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(second.TryAcquire());
  ::CloseHandle(seen);
  EXPECT_FALSE(PathExists(path + ".lock"));  // no lock file on Windows

  EXPECT_TRUE(AppendInOneWrite(path, "ab\r\n", 4));
  EXPECT_TRUE(AppendInOneWrite(path, "cd\r\n", 4));
  EXPECT_EQ(Stat(path).size, 8u);
  EXPECT_FALSE(AppendInOneWrite(dir / "no\\such\\Record.log", "x", 1));
}

TEST(Win32Files, TheModulesOwnPathAndTheLogBesideIt) {
  const std::string self = LibraryFilePath();  // linked statically: the program
  ASSERT_GE(self.size(), 17u);
  EXPECT_EQ(self.substr(self.size() - 17), "windows_tests.exe");
  EXPECT_EQ(FolderOf(self), self.substr(0, self.size() - 17));
  EXPECT_EQ(LogFolder(), FolderOf(self));
  EXPECT_EQ(FolderOf("C:\\a\\b.dll"), "C:\\a\\");
  EXPECT_EQ(FolderOf("b.dll"), "");
}

TEST(Win32Text, AnsiCodePageToUcs2) {
  EXPECT_EQ(ToUcs2("Disc 1"), u"Disc 1");
  EXPECT_EQ(ToUcs2(""), u"");
  if (::GetACP() != 1252) GTEST_SKIP() << "code page " << ::GetACP();
  EXPECT_EQ(ToUcs2("caf\xE9 \x80"), u"caf\u00E9 \u20AC");  // Latin-1 letters and the euro of 1252
}

TEST(Win32Clock, LocalFieldsAndOffsetGiveTheInstantBack) {
  const std::time_t t = 1700000000;
  const LocalTime local = ToLocal(t);
  std::tm tm{};
  tm.tm_year = local.year - 1900;
  tm.tm_mon = local.month - 1;
  tm.tm_mday = local.day;
  tm.tm_hour = local.hour;
  tm.tm_min = local.minute;
  tm.tm_sec = local.second;
  EXPECT_EQ(static_cast<long long>(_mkgmtime(&tm)) - local.utcOffsetMinutes * 60ll, static_cast<long long>(t));

  ASSERT_EQ(_putenv_s("SOURCE_DATE_EPOCH", "86400"), 0);
  EXPECT_EQ(Now(), 86400);
  const LocalTime fixed = ToLocal(86400);
  EXPECT_EQ(fixed.day, 2);
  EXPECT_EQ(fixed.hour, 0);
  EXPECT_EQ(fixed.utcOffsetMinutes, 0);
  _putenv_s("SOURCE_DATE_EPOCH", "");
}

// A window that keeps the messages it is sent.
struct Received {
  UINT message = 0;
  WPARAM wParam = 0;
  std::string path;
  int count = 0;
};
Received gReceived;

LRESULT CALLBACK KeepMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_USER) {
    gReceived.message = message;
    gReceived.wParam = wParam;
    gReceived.path = reinterpret_cast<const char*>(lParam);
    ++gReceived.count;
    return 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

TEST(Win32Notify, TheHostWindowIsSentTheMessageAtOnce) {
  WNDCLASSA cls{};
  cls.lpfnWndProc = KeepMessage;
  cls.hInstance = ::GetModuleHandleA(nullptr);
  cls.lpszClassName = "DorvikTestHost";
  ::RegisterClassA(&cls);
  HWND window = ::CreateWindowExA(0, cls.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, cls.hInstance,
                                  nullptr);
  ASSERT_NE(window, nullptr);
  const auto handle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
  NotifyHost(handle, 0x401, 600, "C:\\music\\gone.mp3");
  EXPECT_EQ(gReceived.count, 1);  // sent, not posted: handled before NotifyHost returned
  EXPECT_EQ(gReceived.message, 0x401u);
  EXPECT_EQ(gReceived.wParam, 600u);
  EXPECT_EQ(gReceived.path, "C:\\music\\gone.mp3");
  NotifyHost(0, 0x401, 600, "nowhere");
  EXPECT_EQ(gReceived.count, 1);
  ::DestroyWindow(window);
}

}  // namespace
}  // namespace dorvik::platform
