#include "transport/ata_device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "devices/dev_mgr.h"
#include "framework/bytes.h"
#include "framework/fixed_text.h"
#include "os/layouts/ntddscsi.h"

namespace transport {
namespace {

std::unique_ptr<std::uint8_t[]> NewBuffer(std::size_t size) {
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]());
}

std::string PortPath(const char* format, int number) {
  char path[32];
  std::snprintf(path, sizeof path, format, number);
  return path;
}

bool IsProbeKind(int kind) {
  return kind != kKindCsmi && kind != kKindNvme;
}

}  // namespace

TAtaDevice::TAtaDevice(std::vector<devices::DiskEntry> disks)
    : m_ResponseBuffer(NewBuffer(kResponseBufferSize)),
      m_RequestBuffer(NewBuffer(kRequestBufferSize)),
      m_CsmiBuffer(NewBuffer(kCsmiBufferSize)) {
  // Without its buffers the object must not reach a drive: the table stays empty, so every
  // SelectPort fails and no command is sent.
  if (m_ResponseBuffer && m_RequestBuffer && m_CsmiBuffer) m_Disks = std::move(disks);
}

TAtaDevice::~TAtaDevice() {
  ClosePort();
  if (m_ResponseBuffer) std::memset(m_ResponseBuffer.get(), 0, kResponseBufferSize);
  if (m_RequestBuffer) std::memset(m_RequestBuffer.get(), 0, kRequestBufferSize);
  if (m_CsmiBuffer) std::memset(m_CsmiBuffer.get(), 0, kCsmiBufferSize);
}

bool TAtaDevice::HandleValid() const {
  return m_Handle != os::kINVALID_HANDLE_VALUE && m_Handle != 0;
}

int TAtaDevice::DriveCount() const {
  return int(m_Disks.size());
}

const devices::DiskEntry* TAtaDevice::DriveAt(int index) const {
  if (index < 0) index = m_SelectedIndex;
  if (index < 0 || index >= DriveCount()) return nullptr;
  return &m_Disks[std::size_t(index)];
}

void TAtaDevice::SetCsmiSasAddress(std::uint32_t low, std::uint32_t high) {
  fw::PutU32le(m_CsmiSasAddress, 0, low);
  fw::PutU32le(m_CsmiSasAddress, 4, high);
}

void TAtaDevice::ClosePort() {
  if (HandleValid()) os::Current().CloseHandle(m_Handle);
  m_Handle = os::kINVALID_HANDLE_VALUE;
}

void TAtaDevice::OpenHandle(const std::string& path, std::uint32_t shareMode,
                            std::uint32_t attributes) {
  m_Handle = os::Current().CreateFileA(path, os::kGENERIC_READ | os::kGENERIC_WRITE, shareMode,
                                       os::kOPEN_EXISTING, attributes);
}

bool TAtaDevice::SelectPort(int index, const char* path, int scsiPort, int kind) {
  if (IsProbeKind(kind)) kind = kKindNone;
  const bool bPath = path && *path;
  if (kind == kKindNvme || (kind == kKindNone && !bPath)) {
    // A negative index would reach before the table.
    if (index < 0 || index >= DriveCount()) return false;
    m_SelectedIndex = index;
    m_ParentVid = SelectedRecord()->parentVid;
    m_ParentDid = SelectedRecord()->parentDid;
  }
  const devices::DiskEntry* selected = SelectedRecord();
  ClosePort();

  const std::uint32_t shareAll =
      os::kFILE_SHARE_READ | os::kFILE_SHARE_WRITE | os::kFILE_SHARE_DELETE;
  if (bPath) {
    OpenHandle(path, shareAll, 0);
  } else if (kind == kKindNvme) {
    OpenHandle(PortPath("\\\\.\\Scsi%d:", scsiPort), os::kFILE_SHARE_READ | os::kFILE_SHARE_WRITE,
               os::kFILE_ATTRIBUTE_NORMAL);
  } else if (kind == kKindCsmi) {
    m_CsmiController = index;
    OpenHandle(PortPath("\\\\.\\SCSI%d:", index), shareAll, 0);
  } else if (selected) {
    OpenHandle(fw::FieldText(selected->devicePath), shareAll, 0);
  }

  if (kind == kKindCsmi || kind == kKindNvme) {
    m_TransportKind = kind;
  } else if (HandleValid()) {
    ProbeTransport();
  } else {
    // Nothing could answer a probe through a handle that did not open.
    m_TransportKind = kKindNone;
  }
  return HandleValid();
}

// The vendor version request is the better test: a drive that answers it is one the package
// can talk to. Style 20 packages address drives without it.
void TAtaDevice::ProbeTransport() {
  static constexpr int kOrder[] = {kKindAtaPassThrough, kKindScsiVendorCdb, kKindSat};
  if (m_iVisualStyle != 20) {
    for (int kind : kOrder) {
      m_TransportKind = kind;
      if (ReadVendorVersion() == ATACMD_OK) return;
    }
  }
  for (int kind : kOrder) {
    m_TransportKind = kind;
    if (IdentifyDevice() == ATACMD_OK) return;
  }
  m_TransportKind = kKindNone;
}

// The probe of a re-bind writes the first sector of both buffers and sets its own time-out;
// the command that asked for the re-bind must still send what its caller put there, with the
// caller's time-out.
bool TAtaDevice::Rebind() {
  if (m_bRebinding) return false;
  m_bRebinding = true;
  std::array<std::uint8_t, 512> request, response;
  std::memcpy(request.data(), m_RequestBuffer.get(), request.size());
  std::memcpy(response.data(), m_ResponseBuffer.get(), response.size());
  const float timeout = m_TimeoutSeconds;
  if (m_TransportKind == kKindCsmi)
    SelectPort(m_CsmiController, nullptr, -1, kKindCsmi);
  else
    SelectPort(m_SelectedIndex, nullptr, -1, kKindNone);
  m_TimeoutSeconds = timeout;
  std::memcpy(m_RequestBuffer.get(), request.data(), request.size());
  std::memcpy(m_ResponseBuffer.get(), response.data(), response.size());
  m_bRebinding = false;
  return HandleValid();
}

bool TAtaDevice::Send(std::uint32_t ioControlCode, std::uint8_t* request, std::size_t size) {
  os::Os& system = os::Current();
  std::uint32_t returned = 0;
  m_CmdTimer.Start(true);
  const bool ok = system.DeviceIoControl(m_Handle, ioControlCode, request, std::uint32_t(size),
                                         request, std::uint32_t(size), &returned);
  const std::uint32_t error = ok ? 0 : system.GetLastError();
  m_CmdTimer.Stop();
  if (!ok) m_LastOsError = error;
  return ok;
}

std::uint8_t TAtaDevice::AtaCommand(TaskFile& taskFile, std::uint8_t* buffer, int direction,
                                    std::uint32_t& length) {
  // The failure text of a download shows the status and registers read after the command;
  // left from an earlier command, they would name another command's outcome, or another
  // drive's. Whatever this command ends in, they are its own or empty.
  const auto forgetLastCommand = [this] {
    m_LastAtaStatus = 0;
    m_LastTaskFile = {};
  };
  forgetLastCommand();
  if (!m_ResponseBuffer || !m_RequestBuffer || !m_CsmiBuffer) return ATACMD_FAIL;
  int kind = m_TransportKind;
  if (kind != kKindAtaPassThrough && kind != kKindScsiVendorCdb && kind != kKindSat &&
      kind != kKindCsmi)
    return ATACMD_SYS_NOT_SUPPORT;
  if (kind == kKindSat && direction != DATA_NONE && direction != DATA_IN && direction != DATA_OUT)
    return ATACMD_SYS_NOT_SUPPORT;
  // The direct requests hand the driver the caller's buffer itself.
  if (direction != DATA_NONE && length > layout::kBufferedLimit && !buffer) return ATACMD_FAIL;

  if (!HandleValid()) {
    const bool bBound = Rebind();
    forgetLastCommand();  // the re-bind probed again, with commands of its own
    if (!bBound) return ATACMD_FAIL;
    kind = m_TransportKind;
  }
  switch (kind) {
    case kKindAtaPassThrough:
      return AtaPassThrough(taskFile, buffer, direction, length);
    case kKindScsiVendorCdb:
      return ScsiVendorCdb(taskFile, buffer, direction, length);
    case kKindSat:
      return SatPassThrough(taskFile, buffer, direction, length);
    case kKindCsmi:
      return CsmiStpPassThrough(taskFile, buffer, direction, length);
    default:
      return ATACMD_SYS_NOT_SUPPORT;
  }
}

}  // namespace transport
