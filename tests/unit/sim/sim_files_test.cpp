// The simulated file system answers CreateFileA, WriteFile and ReadFile as Windows does, so
// that what the program writes beside itself or into the system directory can be read back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os/os.h"
#include "sim/sim_pc.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

os::Handle Create(sim::SimPc& pc, const std::string& path, std::uint32_t disposition) {
  return pc.CreateFileA(path, os::kGENERIC_READ | os::kGENERIC_WRITE, 0, disposition,
                        os::kFILE_ATTRIBUTE_NORMAL);
}

TEST(SimFiles, WrittenFileReadsBackAndReplacesTheOldOne) {
  sim::SimPc pc;
  pc.files.AddFile("D:\\tools\\upd.INI", Bytes(100, 'x'));
  const os::Handle h = Create(pc, "d:/TOOLS/upd.ini", os::kCREATE_ALWAYS);
  ASSERT_NE(h, os::kINVALID_HANDLE_VALUE);
  EXPECT_EQ(pc.GetLastError(), os::kERROR_ALREADY_EXISTS);
  std::uint32_t n = 0;
  ASSERT_TRUE(pc.WriteFile(h, "abc", 3, &n));
  ASSERT_TRUE(pc.WriteFile(h, "de", 2, &n));
  EXPECT_EQ(pc.GetFileSize(h, nullptr), 5u);
  EXPECT_TRUE(pc.CloseHandle(h));
  EXPECT_EQ(*pc.files.Contents("D:\\tools\\upd.INI"), Bytes({'a', 'b', 'c', 'd', 'e'}));

  const os::Handle r =
      pc.CreateFileA("D:\\tools\\upd.INI", os::kGENERIC_READ, 0, os::kOPEN_EXISTING, 0);
  char buffer[8] = {};
  ASSERT_TRUE(pc.ReadFile(r, buffer, sizeof buffer, &n));
  EXPECT_EQ(std::string(buffer, n), "abcde");
  EXPECT_FALSE(pc.WriteFile(r, "z", 1, &n));  // opened for reading only
  EXPECT_EQ(pc.GetLastError(), os::kERROR_ACCESS_DENIED);
  EXPECT_TRUE(pc.CloseHandle(r));
  EXPECT_FALSE(pc.WriteFile(r, "z", 1, &n));
  EXPECT_EQ(pc.GetLastError(), os::kERROR_INVALID_HANDLE);
  EXPECT_EQ(pc.files.OpenFiles(), 0);
}

TEST(SimFiles, OpensFailWithTheErrorsWindowsGives) {
  struct Case {
    const char* name;
    std::string path;
    std::uint32_t disposition;
    std::uint32_t error;
  } cases[] = {
      {"missing folder", "C:\\nowhere\\FW.bin", os::kCREATE_ALWAYS, os::kERROR_PATH_NOT_FOUND},
      {"missing file", "C:\\Windows\\none.txt", os::kOPEN_EXISTING, os::kERROR_FILE_NOT_FOUND},
      {"a directory", "C:\\Windows\\system32", os::kCREATE_ALWAYS, os::kERROR_ACCESS_DENIED},
      {"denied folder", "C:\\Windows\\system32\\FW.bin", os::kCREATE_ALWAYS,
       os::kERROR_ACCESS_DENIED},
      {"exists", "C:\\Windows\\here.txt", os::kCREATE_NEW, os::kERROR_FILE_EXISTS},
  };
  for (const Case& c : cases) {
    sim::SimPc pc;
    pc.system.wow64 = false;  // the system directory is where it is named
    pc.files.AddFile("C:\\Windows\\here.txt");
    pc.files.DenyWrites("c:\\windows\\SYSTEM32");
    EXPECT_EQ(Create(pc, c.path, c.disposition), os::kINVALID_HANDLE_VALUE) << c.name;
    EXPECT_EQ(pc.GetLastError(), c.error) << c.name;
    EXPECT_EQ(pc.files.OpenFiles(), 0) << c.name;
  }
}

TEST(SimFiles, DirectoriesFollowWhatTheTestSetsAndDevicesStayWithTheDrivers) {
  sim::SimPc pc;
  EXPECT_EQ(pc.GetSystemDirectoryA(), "C:\\Windows\\system32");
  pc.files.systemDirectory = "D:\\WINNT\\system32";
  EXPECT_EQ(pc.GetSystemDirectoryA(), "D:\\WINNT\\system32");
  const os::Handle h = Create(pc, "D:\\WINNT\\system32\\NtKavlo.exe", os::kCREATE_ALWAYS);
  EXPECT_NE(h, os::kINVALID_HANDLE_VALUE);
  pc.CloseHandle(h);
  // No drive in this machine: the device path reaches the storage drivers, not a file.
  EXPECT_EQ(Create(pc, "\\\\.\\PhysicalDrive0", os::kOPEN_EXISTING), os::kINVALID_HANDLE_VALUE);
  EXPECT_FALSE(pc.files.Exists("\\\\.\\PhysicalDrive0"));
}

TEST(SimFiles, ShellStartsAreRecordedNotRun) {
  sim::SimPc pc;
  EXPECT_GT(pc.ShellExecuteA(0, "open", "cmd.exe", "/c C:\\Windows\\SysWOW64\\CopyFile.exe", "",
                             os::kSW_HIDE),
            32);
  ASSERT_EQ(pc.processes.ShellStarts().size(), 1u);
  EXPECT_EQ(pc.processes.ShellStarts()[0].file, "cmd.exe");
  EXPECT_EQ(pc.processes.ShellStarts()[0].parameters, "/c C:\\Windows\\SysWOW64\\CopyFile.exe");
  EXPECT_EQ(pc.processes.ShellStarts()[0].showCmd, os::kSW_HIDE);
}

// A 32-bit program on 64-bit Windows writes into SysWOW64 when it names the system directory;
// on 32-bit Windows (or for a path elsewhere) the file lands where it was named.
TEST(SimFiles, Wow64RedirectsTheSystemDirectoryOnly) {
  struct Case {
    bool wow64;
    std::string named, lands;
  } cases[] = {
      {true, "C:\\Windows\\System32\\FW.bin", "C:\\Windows\\SysWOW64\\FW.bin"},
      {false, "C:\\Windows\\System32\\FW.bin", "C:\\Windows\\system32\\FW.bin"},
      {true, "C:\\Windows\\SysWOW64\\CopyFile.exe", "C:\\Windows\\SysWOW64\\CopyFile.exe"},
      {true, "C:\\Windows\\System32x\\FW.bin", ""},  // not below system32: no such folder
  };
  for (const Case& c : cases) {
    sim::SimPc pc;
    pc.system.wow64 = c.wow64;
    const os::Handle h = Create(pc, c.named, os::kCREATE_ALWAYS);
    if (c.lands.empty()) {
      EXPECT_EQ(h, os::kINVALID_HANDLE_VALUE) << c.named;
      continue;
    }
    std::uint32_t n = 0;
    ASSERT_TRUE(pc.WriteFile(h, "MZ", 2, &n)) << c.named;
    pc.CloseHandle(h);
    const Bytes* landed = pc.files.Contents(c.lands);
    ASSERT_NE(landed, nullptr) << c.named;
    EXPECT_EQ(*landed, Bytes({'M', 'Z'})) << c.named;
    EXPECT_EQ(pc.files.Exists("C:\\Windows\\system32\\FW.bin"),
              c.lands == "C:\\Windows\\system32\\FW.bin")
        << c.named;
    EXPECT_NE(pc.GetFileAttributesA(c.named), os::kINVALID_FILE_ATTRIBUTES) << c.named;
  }
}

TEST(SimRegistry, KeysCanRefuseToOpenOrToTakeValues) {
  const std::string kSession = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  sim::SimPc pc;
  pc.system.registry.AddKey(kSession);
  pc.system.registry.MakeUnwritable(kSession);
  os::Hkey key = 0;
  ASSERT_EQ(pc.RegOpenKeyExA(os::kHKEY_LOCAL_MACHINE, kSession, 0, os::kKEY_ALL_ACCESS, &key), 0);
  const std::uint8_t data[] = {'a', 0, 0};
  EXPECT_EQ(pc.RegSetValueExA(key, "BootExecute", os::kREG_MULTI_SZ, data, 3),
            std::int32_t(os::kERROR_ACCESS_DENIED));
  EXPECT_EQ(pc.system.registry.GetValue(kSession, "BootExecute")->data.size(), 21u);  // Windows'
  pc.RegCloseKey(key);

  pc.system.registry.MakeUnopenable(kSession);
  EXPECT_EQ(pc.RegOpenKeyExA(os::kHKEY_LOCAL_MACHINE, kSession, 0, os::kKEY_ALL_ACCESS, &key),
            std::int32_t(os::kERROR_ACCESS_DENIED));
  EXPECT_EQ(key, os::Hkey(0));
  EXPECT_EQ(pc.system.OpenRegistryKeys(), 0u);
}

}  // namespace
