#include "app/deployment_keys.h"

#include <cstdint>

#include "os/os.h"

namespace app {
namespace {

constexpr const char* kVendorKey = "SOFTWARE\\WOW6432Node\\Halbrook\\";
constexpr const char* kProductKey = "SOFTWARE\\WOW6432Node\\Halbrook\\Corvane\\";
constexpr std::uint32_t kKeyAccess = os::kKEY_READ | os::kKEY_SET_VALUE | os::kKEY_CREATE_SUB_KEY;

// Each key is created and closed again, the leaf kept open for `withLeaf`; a key that will
// not open leaves the rest to try, since the scripts look only for what is there.
template <class WithLeaf>
void CreateKeys(const char* leaf, WithLeaf withLeaf) {
  auto& sys = os::Current();
  for (const std::string& path :
       {std::string(kVendorKey), std::string(kProductKey), std::string(kProductKey) + leaf}) {
    os::Hkey key = 0;
    if (sys.RegCreateKeyExA(os::kHKEY_LOCAL_MACHINE, path, 0, kKeyAccess, &key, nullptr) !=
        std::int32_t(os::kERROR_SUCCESS))
      continue;
    if (path.size() > std::string(kProductKey).size()) withLeaf(key);
    sys.RegCloseKey(key);
  }
}

}  // namespace

void MarkNoTargetDevice() {
  CreateKeys("NoTargetDevice\\", [](os::Hkey) {});
}

void RecordTargetFirmware(const std::string& revision) {
  CreateKeys("TargetDevice\\", [&](os::Hkey key) {
    os::Current().RegSetValueExA(key, "FWVersion", os::kREG_SZ,
                                 reinterpret_cast<const std::uint8_t*>(revision.c_str()),
                                 std::uint32_t(revision.size() + 1));
  });
}

}  // namespace app
