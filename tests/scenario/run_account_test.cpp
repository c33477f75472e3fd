// The account travok-sim gives of a whole run: what a release engineer reads to judge a release
// before it ships must be what happened on the simulated PC.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "sim/drives/sim_firmware_image.h"
#include "sim/machine/machine_toml.h"
#include "sim/windows/loader.h"
#include "tests/support/release.h"
#include "tests/unit/transport/transport_fixture.h"
#include "tools/travok-sim/account.h"
#include "tools/travok-sim/report.h"

namespace {

using namespace testing_support;

constexpr const char* kModel = "CORVANE K5 512GB";

std::string Sata(const std::string& name, int target, const std::string& model) {
  return transport_test::Disk(name, target, "",
                              "[disk.ata]\nmodel = \"" + model +
                                  "\"\nfirmware = \"K5FW0100\"\nserial = \"SN-" + name +
                                  "\"\nvendor_version = \"A5FW010A\"\n");
}

pack::Release ReleaseFor(const std::string& model) {
  pack::Release release = SmallRelease();
  release.visualStyle = 20;
  release.images[0].newFw = "K5FW0200";
  release.images[0].rows = {{"", "", model}};
  release.images[0].bytes = sim::MakeSimFirmwareImage(model, "K5FW0200", 8 * 512);
  return release;
}

travok_sim::RunAccount RunOn(sim::SimPc& pc, const pack::Release& release,
                             const std::string& machine, std::initializer_list<int> answers = {}) {
  Load(Pack(release));
  sim::LoadMachine(pc, transport_test::kController + machine, "test");
  for (int answer : answers) pc.ScriptAnswer(answer);
  pc.commandLine = "\"" + pc.moduleFileName + "\" /S";
  return travok_sim::RunWithAccount(pc);
}

const travok_sim::DriveAccount& DriveOf(const travok_sim::RunAccount& a, const std::string& model) {
  const auto it = std::find_if(a.drives.begin(), a.drives.end(),
                               [&](const travok_sim::DriveAccount& d) { return d.model == model; });
  if (it == a.drives.end()) throw std::runtime_error("no drive " + model);
  return *it;
}

TEST(RunAccount, TellsTheVerdictsWhatEachDriveReceivedAndWhatTheRunLeft) {
  sim::SimPc pc;
  const auto a = RunOn(pc, ReleaseFor(kModel), Sata("K5", 0, kModel) + Sata("X", 1, "OTHER SSD"));
  EXPECT_EQ(a.exitCode, 0);
  ASSERT_EQ(a.listed.size(), 2u);
  EXPECT_TRUE(a.listed[0].eligible && a.listed[0].selected);
  EXPECT_EQ(a.listed[0].model, kModel);
  EXPECT_FALSE(a.listed[1].eligible || a.listed[1].selected);

  const auto& updated = DriveOf(a, kModel);
  EXPECT_EQ(updated.revisionBefore, "K5FW0100");
  EXPECT_EQ(updated.revisionAfter, "K5FW0200");
  // Eight one-block segments in a row fold into one entry.
  EXPECT_NE(
      std::find(updated.commands.begin(), updated.commands.end(), "DOWNLOAD MICROCODE 03h x8"),
      updated.commands.end());
  const auto& other = DriveOf(a, "OTHER SSD");
  EXPECT_EQ(other.revisionAfter, "K5FW0100");
  for (const std::string& c : other.commands) EXPECT_EQ(c.find("DOWNLOAD"), std::string::npos);

  ASSERT_EQ(a.registry.size(), 1u);
  EXPECT_EQ(a.registry[0].name, "FWVersion");
  EXPECT_EQ(a.registry[0].value, "\"K5FW0200\"");
  EXPECT_EQ(a.statuses.back(), "Done !");
  EXPECT_TRUE(a.files.empty());
  EXPECT_GT(a.runMicroseconds, 0u);

  const std::string text = travok_sim::AccountText(a);
  EXPECT_NE(text.find("revision K5FW0100 -> K5FW0200"), std::string::npos);
  EXPECT_NE(text.find("exit code: 0"), std::string::npos);

  // The report says the same, read back as a release engineer's script would.
  const std::string path = ::testing::TempDir() + "run_account_report.json";
  ASSERT_TRUE(travok_sim::WriteReport(a, path));
  std::ifstream file(path);
  const nlohmann::json report = nlohmann::json::parse(file);
  EXPECT_EQ(report["exit_code"], 0);
  EXPECT_EQ(report["drives_listed"][0]["eligible"], true);
  EXPECT_EQ(report["drives_listed"][0]["serial"], "SN-K5");
  const auto& drives = report["drives"];
  const auto k5 = std::find_if(drives.begin(), drives.end(),
                               [](const nlohmann::json& d) { return d["serial"] == "SN-K5"; });
  ASSERT_NE(k5, drives.end());
  EXPECT_EQ((*k5)["revision_after"], "K5FW0200");
  EXPECT_EQ((*k5)["commands"].size(), updated.commands.size());
  EXPECT_EQ(report["registry"][0]["value"], "\"K5FW0200\"");
  EXPECT_EQ(report["files"].size(), 0u);
}

TEST(RunAccount, AHandOffLeavesItsFilesAndTheRestartTheUserAgreedTo) {
  sim::SimPc pc;
  pack::Release release = BootTimeRelease();
  release.images[0].rows = {{"", "", kModel}};
  const auto a = RunOn(pc, release, Sata("K5", 0, kModel), {os::kIDYES});
  EXPECT_EQ(a.exitCode, 11);
  ASSERT_EQ(a.messages.size(), 1u);
  EXPECT_EQ(a.messages[0].caption, "Question");
  EXPECT_EQ(a.messages[0].answer, "Yes");
  EXPECT_EQ(a.restarts.size(), 1u);
  // Where the files really are: the 32-bit program's system directory is redirected.
  const auto left = [&](const std::string& path) {
    return std::any_of(a.files.begin(), a.files.end(), [&](const travok_sim::FileLeft& f) {
      return f.path == sim::SimFileSystem::Normalise(path) && f.size > 0;
    });
  };
  EXPECT_TRUE(left("C:\\Windows\\SysWOW64\\FW.bin"));
  EXPECT_TRUE(left("C:\\Windows\\SysWOW64\\NtKavlo.exe"));
  EXPECT_TRUE(left("C:\\Windows\\SysWOW64\\CopyFile.exe"));
  const auto bootExecute =
      std::find_if(a.registry.begin(), a.registry.end(),
                   [](const travok_sim::RegistryWrite& r) { return r.name == "BootExecute"; });
  ASSERT_NE(bootExecute, a.registry.end());
  EXPECT_EQ(bootExecute->value, "\"autocheck autochk * | NtKavlo FW.bin\"");
}

}  // namespace
