#include "package/boot_files.h"

#include "os/os.h"
#include "package/fw_image.h"

namespace package {
namespace {

// Closes the file on every way out.
class TFileHandle {
 public:
  explicit TFileHandle(const std::string& path)
      : m_Handle(os::Current().CreateFileA(path, os::kGENERIC_WRITE, 0, os::kCREATE_ALWAYS,
                                           os::kFILE_ATTRIBUTE_NORMAL)) {}
  ~TFileHandle() {
    if (*this) os::Current().CloseHandle(m_Handle);
  }
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;

  explicit operator bool() const { return m_Handle != os::kINVALID_HANDLE_VALUE; }

  bool Write(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return true;
    std::uint32_t written = 0;
    return os::Current().WriteFile(m_Handle, bytes.data(), std::uint32_t(bytes.size()), &written) &&
           written == bytes.size();
  }

  bool Close() {
    const bool closed = os::Current().CloseHandle(m_Handle);
    m_Handle = os::kINVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  os::Handle m_Handle;
};

}  // namespace

bool WriteBootFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  TFileHandle file(path);
  if (!file) return false;
  const bool written = file.Write(bytes);
  return file.Close() && written;
}

bool WriteImageFile() {
  // An empty directory name would put the file at the root of the current drive.
  const std::string directory = os::Current().GetSystemDirectoryA();
  if (directory.empty() || (gBinSize && !gFwImage)) return false;
  return WriteBootFile(directory + "\\" + kImageFileName, {gFwImage, gBinSize});
}

bool WriteFlasherFile(const std::string& path, std::span<const std::uint8_t> flasher) {
  return WriteBootFile(path, flasher);
}

bool StartCopyProgram(std::span<const std::uint8_t> program) {
  const std::string directory = os::Current().GetWindowsDirectoryA();
  if (directory.empty()) return false;
  const std::string path = directory + kCopyProgramPath;
  if (!WriteBootFile(path, program)) return false;
  return os::Current().ShellExecuteA(0, "open", "cmd.exe", "/c " + path, "", os::kSW_HIDE) > 32;
}

}  // namespace package
