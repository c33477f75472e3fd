// travok-sim: runs the program on a simulated PC and shows what it did.
//
//   travok-sim                         the package this executable carries
//   travok-sim --release release.exe   a release made by travok-pack, of any build
//   travok-sim --report run.json       the account of the run as JSON too
//   travok-sim --machine pc.toml       on the machine a description file gives
//   travok-sim --list-disks            the disks the enumeration finds on the machine
//   travok-sim --identify              each drive's path and IDENTIFY identity, ATA or NVMe
//   travok-sim --list-drives           the program's drive list with each drive's verdict
//   travok-sim --make-image fw.bin --model M --revision R
//                                      a firmware image the simulated drives of model M take
//
// A packed copy of travok-sim itself runs with the package it carries, as the product does.
//
// travok-sim.exe (the win64 build) runs the program on the Windows it runs on, under Wine in the
// tests: its windows, message boxes, timers, worker thread, files and registry are real, and
// only the storage (disks, controllers, their drivers and the device tree) is simulated. Its
// boxes are answered there, so --answer and --another-instance do not apply. The program still
// reads the command line built from --args: the process's own carries travok-sim's options.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

#include "app/frmTravok.h"
#include "devices/dev_mgr.h"
#include "devices/disk_table_text.h"
#include "package/package_area.h"
#include "package/package_config.h"
#include "package/package_layout.h"
#include "sim/drives/sim_firmware_image.h"
#include "sim/machine/machine_toml.h"
#include "sim/sim_pc.h"
#include "sim/windows/loader.h"
#include "tools/travok-sim/account.h"
#include "tools/travok-sim/host.h"
#include "tools/travok-sim/identify.h"
#include "tools/travok-sim/report.h"

namespace {

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  in.seekg(0, std::ios::end);
  std::vector<std::uint8_t> bytes(std::size_t(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
  return bytes;
}

void LoadPackage(const std::string& release) {
  if (release.empty()) return;
  std::string error;
  if (!sim::LoadRelease(ReadFile(release), &error))
    throw std::runtime_error(release + ": " + error);
}

int Answer(const std::string& word) {
  if (word == "yes") return os::kIDYES;
  if (word == "no") return os::kIDNO;
  if (word == "ok") return os::kIDOK;
  throw CLI::ValidationError("--answer", "yes, no or ok");
}

void ShowPackage() {
  const std::uint8_t* block = package::PackageArea();
  std::printf("package:   %s %s, %s\n", package::WindowTitle(block).c_str(),
              package::ToolVersion(block).c_str(), package::ProductModel(block).c_str());
}

int ListDisks(sim::SimPc& pc) {
  os::Install(&pc);
  std::string table;
  {
    devices::TDevMgr mgr;
    if (mgr.EnumerateDisks()) table = devices::DiskTableText(mgr.Disks());
  }
  os::Install(nullptr);
  std::printf("%s", table.empty() ? "the enumeration failed\n" : table.c_str());
  return table.empty() ? 1 : 0;
}

// A version run of the program: it scans and fills its drive list as any run does, and stops
// before it would update.
int ListDrives(sim::SimPc& pc, const std::string& arguments) {
  pc.commandLine =
      "\"" + pc.moduleFileName + "\" " + (arguments.empty() ? "" : arguments + " ") + "/VER";
  std::string list;
  const int exitCode = sim::RunProgram(pc, [&](const app::TTravokMain& main) {
    const app::TDriveList& drives = main.DriveList();
    const auto& items = drives.cboDrives.Items;
    for (std::size_t i = 0; i < items.size(); ++i) {
      const auto& record = main.DevInfo()[std::size_t(drives.ItemMap()[i])];
      list += std::string(int(i) == drives.cboDrives.ItemIndex ? "* " : "  ") + items[i] +
              (record.bEligible ? "  eligible\n" : "  not eligible\n");
    }
    if (drives.cboDrives.ItemIndex >= 0)
      list += "selected:  " + drives.lblOldFW.Caption + " -> " +
              (drives.lblNewFW.Visible ? drives.lblNewFW.Caption : std::string("not allowed")) +
              "\n";
  });
  std::printf("%s", list.empty() ? "no drive listed\n" : list.c_str());
  std::printf("exit code: %d\n", exitCode);
  return exitCode;
}

// A drive of the simulated PC takes an image only when it is intact and meant for its model.
int MakeImage(const std::string& path, const std::string& model, const std::string& revision,
              std::size_t size) {
  if (model.empty() || revision.empty() || model.size() > 40 || revision.size() > 8) {
    std::fprintf(stderr,
                 "travok-sim: --make-image needs --model (at most 40 characters) and "
                 "--revision (at most 8)\n");
    return 1;
  }
  const std::vector<std::uint8_t> image = sim::MakeSimFirmwareImage(model, revision, size);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
  if (!out.flush()) {
    std::fprintf(stderr, "travok-sim: cannot write %s\n", path.c_str());
    return 1;
  }
  std::printf("%s: %zu bytes for \"%s\", revision %s\n", path.c_str(), image.size(), model.c_str(),
              revision.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App cli{"Runs Travok on a simulated PC and shows what it did."};
  std::string release, arguments;
  std::vector<std::string> answers;
  std::string machine, report;
  bool anotherInstance = false, journal = false, listDisks = false, identify = false;
  bool listDrives = false;
  std::string makeImage, imageModel, imageRevision;
  std::size_t imageSize = 65536;
  cli.add_option("--release", release, "a release executable made by travok-pack")
      ->check(CLI::ExistingFile);
  cli.add_option("--args", arguments, "the program's command line after its name");
  cli.add_option("--answer", answers, "answers to the message boxes in order: yes, no, ok");
  cli.add_flag("--another-instance", anotherInstance, "another instance is running already");
  cli.add_flag("--journal", journal, "list every call the program made");
  cli.add_option("--machine", machine, "a machine description (TOML); the built-in PC if none")
      ->check(CLI::ExistingFile);
  cli.add_option("--report", report, "write the account of the run to this file as JSON");
  cli.add_flag("--list-disks", listDisks, "list the disks the enumeration finds, and stop");
  cli.add_flag("--identify", identify, "show each drive's transport and identity, and stop");
  cli.add_flag("--list-drives", listDrives,
               "run a version run and list the program's drives with their verdicts, and stop");
  auto* make = cli.add_option("--make-image", makeImage,
                              "write a firmware image for the simulated drives, and stop");
  cli.add_option("--model", imageModel, "the model the image is meant for")->needs(make);
  cli.add_option("--revision", imageRevision, "the revision the image carries")->needs(make);
  cli.add_option("--size", imageSize, "the image's size in bytes (default 65536)")
      ->needs(make)
      ->check(CLI::Range(std::size_t(sim::kSimFirmwareHeaderSize), std::size_t(1) << 20));
  CLI11_PARSE(cli, argc, argv);
  if (!makeImage.empty()) return MakeImage(makeImage, imageModel, imageRevision, imageSize);

  try {
    LoadPackage(release);
    sim::SimPc pc;
    if (machine.empty())
      sim::LoadMachine(pc, sim::BuiltInMachine(), "the built-in machine");
    else
      sim::LoadMachineFile(pc, machine);
    if (listDisks) return ListDisks(pc);
    if (listDrives) return ListDrives(pc, arguments);
    if (identify) {
      std::printf("%s", travok_sim::IdentifyDrives(pc).c_str());
      return 0;
    }
    os::Os* const host = travok_sim::HostWindows();
    pc.commandLine = "\"" + (host ? host->GetModuleFileNameA() : pc.moduleFileName) + "\"" +
                     (arguments.empty() ? "" : " " + arguments);
    if (host && (!answers.empty() || anotherInstance))
      throw std::runtime_error("on Windows the boxes and the other instance are real");
    for (const auto& a : answers) pc.ScriptAnswer(Answer(a));
    os::Hwnd first = 0;
    if (anotherInstance) {
      pc.AddForeignMutex(app::kSingleInstanceMutex);
      first = pc.AddForeignWindow("TApplication", "travok", true);
    }
    ShowPackage();
    const travok_sim::RunAccount account = travok_sim::RunWithAccount(pc, host);
    if (first)
      std::printf("the running instance: %s, %s\n",
                  pc.Window(first)->iconic ? "still minimised" : "restored",
                  pc.ForegroundWindow() == first ? "in the foreground" : "left behind");
    std::printf("%s", travok_sim::AccountText(account).c_str());
    if (!report.empty() && !travok_sim::WriteReport(account, report))
      throw std::runtime_error("cannot write " + report);
    if (journal)
      for (const auto& entry : pc.Journal()) std::printf("  %s\n", entry.c_str());
    return account.exitCode;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "travok-sim: %s\n", e.what());
    return 1;
  }
}
