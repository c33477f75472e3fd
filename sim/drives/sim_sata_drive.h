// A SATA SSD of the simulated PC, at the level of its ATA registers: it takes a command block,
// a data phase and the data the host sent, and answers registers, data and the time the
// command took. The transports of the simulated storage stack (ATA and SCSI pass-through,
// CSMI) deliver commands to it; none of them decides what a drive answers.
//
// It knows IDENTIFY DEVICE, READ LOG EXT of the part-identifier log 9Ah, the vendor request
// channel of command FFh (version request and reply, preformat), the WRITE and READ BUFFER
// channels "PEA" and "RPE", and DOWNLOAD MICROCODE (sim_sata_download.cpp). Anything else is
// aborted, as a drive aborts a command it does not implement. Commands are dispatched by opcode,
// so further ones add a case and their state.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

// Registers in the order of the Windows IDEREGS type: features (error on return), count, LBA
// low, mid, high, device, command (status on return), reserved.
using AtaRegisters = std::array<std::uint8_t, 8>;
namespace ata {
inline constexpr std::size_t kFeatures = 0, kError = 0, kCount = 1, kLbaLow = 2, kLbaMid = 3,
                             kLbaHigh = 4, kDevice = 5, kCommand = 6, kStatus = 6;
inline constexpr std::uint8_t kStatusGood = 0x50;   // DRDY, DSC
inline constexpr std::uint8_t kStatusError = 0x51;  // DRDY, DSC, ERR
inline constexpr std::uint8_t kErrorAbort = 0x04;   // ABRT
}  // namespace ata

enum class AtaDataPhase { kNone, kIn, kOut };

// SCSI sense a transport reports instead of running a command.
struct SimSense {
  std::uint8_t key = 0;
  std::uint8_t asc = 0;
  std::uint8_t ascq = 0;
  bool descriptorFormat = false;
};

// Something that goes wrong with commands. It hits the matching commands after the first
// `skip` of them, `times` times (-1: always).
struct SimFault {
  std::optional<std::uint8_t> command;   // only this opcode; any when empty
  std::optional<std::uint8_t> features;  // and only these features
  int skip = 0;
  int times = 1;
  // What happens, in this order of precedence:
  bool powerLoss = false;  // the drive loses power as the command starts: it resets, and the
                           // request fails with windowsError, else ERROR_IO_DEVICE
  std::uint32_t windowsError = 0;  // the request fails with this error; the drive sees nothing
  std::optional<SimSense> checkCondition;  // a SCSI transport answers CHECK CONDITION instead
  bool senseAfterData = false;             // ...after the command ran and its data moved
  std::optional<std::uint8_t> status;      // the drive ends the command with this status...
  std::uint8_t error = ata::kErrorAbort;   // ...and this error
  std::uint64_t delayUs = 0;               // the command takes this long (with any outcome)

  // The usual ones, for one opcode.
  static SimFault AtaError(std::uint8_t command, std::uint8_t status,
                           std::uint8_t error = ata::kErrorAbort);
  static SimFault WindowsError(std::uint32_t error);  // on any command
  static SimFault Slow(std::uint8_t command, std::uint64_t delayUs);
  static SimFault CheckCondition(std::uint8_t command, SimSense sense);
};

struct SimAtaIdentity {
  std::string model = "TRAVOK SIM SATA SSD 512GB";
  std::string serial = "SIM00000000000000001";
  std::string firmware = "SBFM61.3";
  // The first 8 bytes of the vendor version reply: seven revision characters and an index.
  std::string vendorVersion = "S1FM613A";
  std::string ppid = "PPID-SIM-0000-0000-0000-00000001";  // 32 characters
  std::uint16_t specificConfiguration = 0xC837;           // IDENTIFY word 2
  std::uint16_t word159 = 0;  // low byte 1..7: the drive takes the enterprise download flow
  std::uint64_t sectors = 1'000'215'216;
  bool downloadMicrocode = true;                // words 83/86 bit 0
  bool downloadOffsets = true;                  // words 119/120 bit 4
  bool downloadDma = false;                     // word 69 bit 8
  std::uint16_t minBlocksPerDownload = 0x0001;  // word 234; 0 or FFFFh: not reported
  std::uint16_t maxBlocksPerDownload = 0xFFFF;  // word 235
  // IDENTIFY DEVICE as a real drive returned it: replayed, with the fields above written over
  // it where they differ (sim_ata_identify.h).
  std::optional<std::array<std::uint8_t, 512>> captured;
};

struct SimAtaCommand {
  AtaRegisters registers = {};
  AtaDataPhase phase = AtaDataPhase::kNone;
  std::uint32_t length = 0;        // bytes the host asked to move
  std::vector<std::uint8_t> data;  // what the host sent (data-out)
};

struct SimAtaResult {
  AtaRegisters registers = {};     // error, count, LBA, device, status
  std::vector<std::uint8_t> data;  // what the drive sends (data-in)
  std::uint64_t durationUs = 0;
  bool Failed() const { return registers[ata::kStatus] & 0x01; }
};

// One command as the drive received it, for tests to compare with what the program meant.
struct SimAtaRecord {
  std::string transport;  // "ATA", "ATA direct", "CDB CC", "SAT", "CSMI STP"
  SimAtaCommand command;
  std::uint32_t timeoutSeconds = 0;  // the driver time-out of the request
};

class SimSataDrive {
 public:
  SimAtaIdentity identity;
  bool answersVendorCommands = true;  // the FFh channel; others abort FFh
  bool hasPpidLog = true;             // log 9Ah
  bool peaChannel = false;            // WRITE/READ BUFFER "PEA"
  bool peaNewSupport = true;          // its query reply names the "NEWSupport" preformat
  // The name, one character every 4 bytes; another firmware may spell it otherwise.
  std::string peaNewSupportText = "AEP NEWSupport";
  std::uint32_t peaQueryStatus = 1;  // the status dword after a query; not 1: refused
  std::map<std::uint8_t, std::vector<std::uint8_t>> rpeBuffers;  // READ BUFFER "RPE" by features
  std::uint64_t preformatUs = 2'000'000;
  // After an activation the drive drops off the bus; its disk is gone until the controller is
  // re-enumerated (and for good when the disk does not return after a rescan).
  bool leavesBusOnActivation = false;
  std::vector<SimFault> faults;

  // The fault that takes this command, counted as used; none when no fault matches.
  std::optional<SimFault> TakeFault(const AtaRegisters& registers);
  // Runs a command; a fault from TakeFault adds its status and delay.
  SimAtaResult Execute(const SimAtaCommand& command, const SimFault* fault = nullptr);
  void Record(SimAtaRecord record) { m_Records.push_back(std::move(record)); }
  // A power-on reset: an image taken by 03h segments starts to run, one saved by 0Eh and not yet
  // activated is lost, as is a partly received one.
  void Reset();
  // A fault's power loss as the recorded command starts: the drive resets, and the request
  // fails with the error this returns.
  std::uint32_t LosePower(SimAtaRecord record, const SimFault& fault);
  // True once after an activation that took the drive off the bus; the disk stack then takes the
  // disk out of the device tree.
  bool TakeBusDeparture();

  // What happened.
  const std::vector<SimAtaRecord>& Records() const { return m_Records; }
  int Preformats() const { return m_Preformats; }
  // The download: images activated (identity.firmware is the last one's revision), the
  // activations that also wrote the boot code, and the blocks of the image being received.
  int Activations() const { return m_Activations; }
  int BootCodeUpdates() const { return m_BootCodeUpdates; }
  std::uint32_t ReceivedBlocks() const { return m_Download.nextBlock; }
  // An image received whole and waiting: for 07h or a reset (03h), or for 0Fh (0Eh).
  bool ImageWaiting() const { return m_Staged.state != Staged::kNone; }
  std::array<std::uint8_t, 512> IdentifyData() const;
  std::array<std::uint8_t, 512> PpidLog() const;

 private:
  SimAtaResult Identify(const SimAtaCommand& command);
  SimAtaResult ReadLogExt(const SimAtaCommand& command);
  SimAtaResult Vendor(const SimAtaCommand& command);
  SimAtaResult WriteBuffer(const SimAtaCommand& command);
  SimAtaResult ReadBuffer(const SimAtaCommand& command);
  SimAtaResult DownloadMicrocode(const SimAtaCommand& command);
  SimAtaResult DownloadSegment(const SimAtaCommand& command, std::uint8_t subcommand,
                               std::uint32_t offset, std::uint32_t blocks);
  SimAtaResult DownloadControl(const SimAtaCommand& command, std::uint8_t subcommand,
                               std::uint32_t offset);
  bool SegmentSizeAllowed(std::uint32_t blocks) const;
  void Activate();

  enum class Pending { kNone, kVersion, kPreformat };
  Pending m_Pending = Pending::kNone;
  std::uint32_t m_PeaStatus = 0;  // status dword of the last PEA request
  int m_Preformats = 0;
  std::vector<SimAtaRecord> m_Records;

  // The image being received: by which subcommand, its bytes so far and the next block offset
  // the drive takes; whether an 0Eh boot-code command came before it.
  struct Download {
    std::uint8_t subcommand = 0;
    std::vector<std::uint8_t> image;
    std::uint32_t nextBlock = 0;
    bool bBootCode = false;
  };
  Download m_Download;
  // An image received whole and checked: taken by 03h segments (runs after 07h or a reset) or
  // saved by 0Eh segments (runs after 0Fh).
  enum class Staged { kNone, kTaken, kSaved };
  struct StagedImage {
    Staged state = Staged::kNone;
    std::string revision;
    bool bBootCode = false;
  };
  StagedImage m_Staged;
  int m_Activations = 0;
  int m_BootCodeUpdates = 0;
  bool m_bLeftBus = false;
};

// ATA strings: two characters per word, the first in the high byte, blank-padded.
void PutAtaString(std::span<std::uint8_t> bytes, std::size_t at, std::size_t width,
                  const std::string& text);

}  // namespace sim
