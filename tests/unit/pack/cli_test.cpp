// Runs the built travok-pack as a release engineer's script would and checks what a script
// relies on: the exit code, one line of error, and no release left behind by a failed build.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pack_fixtures.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int code;
  std::string out, err;
};

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class PackCli : public ::testing::Test {
 protected:
  void SetUp() override {
    m_template = m_dir.Write("travok.exe", packtest::MakeTemplateFile());
    m_dir.Write("fw/k5.bin", packtest::Pattern(1000, 7));
  }

  Outcome Pack(const std::string& args) const {
    const fs::path out = m_dir.path() / "stdout.txt", err = m_dir.path() / "stderr.txt";
    const std::string command = std::string("\"") + TRAVOK_PACK_EXE + "\" " + args + " >\"" +
                                out.string() + "\" 2>\"" + err.string() + "\"";
    const int status = std::system(command.c_str());
    Outcome run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
    fs::remove(out);
    fs::remove(err);
    return run;
  }

  std::string Build(const std::string& manifest, const fs::path& output) const {
    return "build \"" + manifest + "\" --template \"" + m_template.string() + "\" -o \"" +
           output.string() + "\"";
  }

  // Every program a boot-time release needs, as the manifest's [programs] table.
  std::string BootPrograms() const {
    std::string table = "[programs]\n";
    for (const char* key :
         {"xp_x86", "2003_x86", "2003_x64", "2008_x86", "2008_x64", "win7_x86", "win7_x64",
          "copyfile_win7", "copyfile_2k3", "copyfile_2k8", "copyfile_xp"}) {
      m_dir.Write(std::string("fw/") + key + ".exe", packtest::Pattern(700, 'M'));
      table += std::string(key) + " = \"fw/" + key + ".exe\"\n";
    }
    return table;
  }

  // Everything in the folder apart from the fixtures and the manifests.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_dir.path())) {
      const std::string name = entry.path().filename().string();
      if (name != "travok.exe" && name != "fw" && entry.path().extension() != ".toml")
        names.push_back(name);
    }
    return names;
  }

  packtest::TempDir m_dir;
  fs::path m_template;
};

const std::string kManifest =
    "title = \"Corvane K5 Updater\"\nversion = \"v3.2.0.1\"\n"
    "[options]\nwindows_flash = true\n"
    "[[image]]\nfile = \"fw/k5.bin\"\nnew_fw = \"K5FW0200\"\nevery_drive = true\n";

TEST_F(PackCli, BuildsAReleaseThatInspectReadsBack) {
  const auto manifest = m_dir.Write("release.toml", kManifest);
  const auto output = m_dir.path() / "release.exe";
  const Outcome build = Pack(Build(manifest.string(), output));
  ASSERT_EQ(build.code, 0) << build.err;
  EXPECT_EQ(build.err, "");
  EXPECT_EQ(fs::file_size(output), fs::file_size(m_template));
  EXPECT_EQ(Leftovers(), std::vector<std::string>{"release.exe"});

  const auto pristine = packtest::MakeTemplateFile();
  EXPECT_TRUE(Slurp(m_template) == std::string(pristine.begin(), pristine.end()));

  const Outcome inspect = Pack("inspect \"" + output.string() + "\"");
  EXPECT_EQ(inspect.code, 0) << inspect.err;
  EXPECT_NE(inspect.out.find("Corvane K5 Updater"), std::string::npos) << inspect.out;
  EXPECT_NE(inspect.out.find("size 1000"), std::string::npos) << inspect.out;
}

TEST_F(PackCli, BuildsABootTimeReleaseWithItsPrograms) {
  const auto manifest =
      m_dir.Write("boot.toml", "title = \"T\"\nversion = \"v1\"\n" + BootPrograms() +
                                   "[[image]]\nfile = \"fw/k5.bin\"\nnew_fw = \"K5FW0200\"\n"
                                   "every_drive = true\n");
  const auto output = m_dir.path() / "boot.exe";
  const Outcome build = Pack(Build(manifest.string(), output));
  ASSERT_EQ(build.code, 0) << build.err;
  const Outcome inspect = Pack("inspect \"" + output.string() + "\"");
  EXPECT_EQ(inspect.code, 0) << inspect.err;
  for (const char* line : {"enciphered     yes", "size 1024", "programs       11\n",
                           "  slot 13  copyfile_2k8    700 bytes\n"})
    EXPECT_NE(inspect.out.find(line), std::string::npos) << line << " in:\n" << inspect.out;
}

TEST_F(PackCli, FailsWithOneLineAndWritesNothing) {
  m_dir.Write("big.bin", packtest::Pattern(package::kImageBufferSize + 1, 1));
  m_dir.Write("fw/huge.exe", packtest::Pattern(package::kProgramSlotSize + 1, 1));
  const std::string kBootImage =
      "[[image]]\nfile = \"fw/k5.bin\"\nnew_fw = \"K5FW0200\"\nevery_drive = true\n";
  const auto output = m_dir.path() / "release.exe";
  struct Case {
    const char* name;
    std::string manifest;  // written as bad.toml when not empty
    std::string args;      // with {} standing for bad.toml
    std::string mentions;
  };
  const std::string bad = (m_dir.path() / "bad.toml").string();
  const std::vector<Case> cases = {
      {"image over the buffer",
       "title = \"T\"\nversion = \"v1\"\n[[image]]\nfile = \"big.bin\"\nnew_fw = \"R1\"\n"
       "every_drive = true\n",
       Build(bad, output), "2097152-byte image buffer"},
      {"image without rows",
       "title = \"T\"\nversion = \"v1\"\n[options]\nwindows_flash = true\n"
       "[[image]]\nfile = \"fw/k5.bin\"\nnew_fw = \"K5FW0200\"\n",
       Build(bad, output), "image 1 (fw/k5.bin): no constraint rows"},
      {"misspelt key", kManifest + "new_fws = \"x\"\n", Build(bad, output), "new_fws"},
      {"template without a block", kManifest,
       "build \"" + bad + "\" --template \"" + bad + "\" -o \"" + output.string() + "\"",
       "no configuration block"},
      {"output folder missing", kManifest, Build(bad, m_dir.path() / "none" / "release.exe"),
       "cannot write"},
      {"output is the template", kManifest, Build(bad, m_template), "template itself"},
      {"no template option", "", "build \"" + bad + "\" -o \"" + output.string() + "\"",
       "--template"},
      {"inspect a non-release", kManifest, "inspect \"" + bad + "\"", "no configuration block"},
      {"boot-time release without its programs", "title = \"T\"\nversion = \"v1\"\n" + kBootImage,
       Build(bad, output),
       "missing: xp_x86, 2003_x86, 2003_x64, 2008_x86, 2008_x64, win7_x86, win7_x64, "
       "copyfile_win7, copyfile_2k3, copyfile_2k8, copyfile_xp"},
      {"program over its slot", kManifest + "[programs]\nwin7_x64 = \"fw/huge.exe\"\n",
       Build(bad, output), "programs.win7_x64 (fw/huge.exe): 524289 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.manifest.empty()) m_dir.Write("bad.toml", c.manifest);
    const Outcome run = Pack(c.args);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err.rfind("travok-pack: ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find(c.mentions), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Leftovers(), std::vector<std::string>{"big.bin"});
  }
  const auto pristine = packtest::MakeTemplateFile();
  EXPECT_TRUE(Slurp(m_template) == std::string(pristine.begin(), pristine.end()));
}

}  // namespace
