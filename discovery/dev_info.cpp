#include "discovery/dev_info.h"

namespace discovery {

std::int32_t gCount = 0;

void ClearTable(TDevInfoTable& table) {
  std::memset(table.data(), 0, sizeof table);
}

void ClearCurrentIdentity(TCurrentIdentity& identity) {
  std::memset(identity.firmware, 0, sizeof identity.firmware);
  std::memset(identity.model, 0, sizeof identity.model);
  std::memset(identity.serial, 0, sizeof identity.serial);
  std::memset(identity.fwExt, 0, sizeof identity.fwExt);
  std::memset(identity.PPID, 0, sizeof identity.PPID);
  identity.slotCount = 2;
}

void CopyIdentity(const TCurrentIdentity& identity, DevInfo& record) {
  std::memcpy(record.firmware, identity.firmware, sizeof record.firmware);
  std::memcpy(record.model, identity.model, sizeof record.model);
  std::memcpy(record.serial, identity.serial, sizeof record.serial);
  std::memcpy(record.fwExt, identity.fwExt, sizeof record.fwExt);
  std::memcpy(record.checkModel, identity.model, sizeof record.checkModel);
}

}  // namespace discovery
