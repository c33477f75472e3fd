// The account of a whole run of the program on the simulated PC: what a release engineer reads
// to see what a release would do on a machine before it ships.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/frmTravok.h"
#include "sim/sim_pc.h"

namespace travok_sim {

// One entry of the program's drive list.
struct ListedDrive {
  std::string item;  // the text the list shows
  std::string model, firmware, serial;
  bool eligible = false;
  bool selected = false;  // the list's selection when the run ended
};

// A drive of the machine, seen from the drive's side.
struct DriveAccount {
  std::string where;  // its disk's instance identifier, or its CSMI controller and phy
  std::string model, serial;
  std::string revisionBefore, revisionAfter;
  bool imageWaiting = false;          // a new image waits for the drive's next restart to run
  std::vector<std::string> commands;  // in order, repeats folded: "IDENTIFY DEVICE x3"
};

struct MessageAccount {
  std::string caption, text, answer;
};

struct RegistryWrite {
  std::string key, name, value;  // the value as it stands after the run
};

struct FileLeft {
  std::string path;
  std::size_t size = 0;
};

struct RunAccount {
  std::string commandLine;
  std::vector<ListedDrive> listed;
  std::vector<DriveAccount> drives;
  std::vector<std::string> statuses;  // the status box's texts in order
  std::vector<MessageAccount> messages;
  std::vector<std::uint32_t> restarts;  // ExitWindowsEx flags
  std::vector<RegistryWrite> registry;
  std::vector<FileLeft> files;
  int progress = 0;  // the progress bar's position when the run ended, in percent
  // Run under a real Windows (travok-sim.exe): the windows, boxes, registry and files are that
  // Windows' own, and the time is real.
  bool hosted = false;
  std::uint64_t runMicroseconds = 0;  // the run's virtual time, or its real time when hosted
  int exitCode = 0;
};

// Runs the program on `pc` with the command line and answers already set there, and gives the
// account of the run. With a `host`, only the storage calls reach `pc` (whose command line is
// still the program's); the rest go to the host.
RunAccount RunWithAccount(sim::SimPc& pc, os::Os* host = nullptr);

// The account as lines for a person.
std::string AccountText(const RunAccount& account);

}  // namespace travok_sim
