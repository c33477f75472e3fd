#include "devices/device_node.h"

#include <optional>

#include "devices/guid_text.h"
#include "devices/setupapi_calls.h"
#include "framework/conversions.h"
#include "framework/fixed_text.h"

namespace devices {

using fw::FieldText;
using fw::SetField;
using fw::SetPath;
namespace {

// Deeper than any real device tree: a tree that loops ends here.
constexpr int kMaxDepth = 64;

std::optional<std::uint16_t> FourHexDigits(std::string_view id, std::string_view key) {
  const auto at = id.find(key);
  if (at == std::string_view::npos || id.size() < at + key.size() + 4) return std::nullopt;
  std::string_view digits = id.substr(at + key.size(), 4);
  if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits.remove_prefix(2);
  std::uint32_t value = 0;
  for (char c : digits) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else
      return std::nullopt;
    value = value << 4 | std::uint32_t(d);
  }
  return std::uint16_t(value);
}

void SetText(char (&field)[260], const std::optional<std::string>& text) {
  if (text) SetPath(field, *text);
}

// What SetupAPI tells of the device among the present devices of its class.
void ReadClassProperties(DeviceNode& node) {
  const DeviceInfoSet set(&node.classGuid, os::kDIGCF_PRESENT);
  if (!set) return;
  DevInfoData device;
  for (std::uint32_t i = 0; set.EnumDevice(i, device); ++i) {
    const auto id = set.InstanceId(device);
    if (!id || fw::UpperCase(*id) != fw::UpperCase(node.instanceId)) continue;
    if (const auto bus = set.DwordProperty(device, os::kSPDRP_BUSNUMBER)) {
      node.busNumber = std::uint8_t(*bus);
      node.busNumberValid = true;
    }
    if (const auto ui = set.DwordProperty(device, os::kSPDRP_UI_NUMBER)) {
      node.uiNumber = std::uint8_t(*ui);
      node.uiNumberValid = true;
    }
    const auto text = [&](std::uint32_t property) -> std::optional<std::string> {
      const auto bytes = set.Property(device, property);
      return bytes ? std::optional(PropertyText(*bytes)) : std::nullopt;
    };
    SetText(node.driverKey, text(os::kSPDRP_DRIVER));
    SetText(node.description, text(os::kSPDRP_DEVICEDESC));
    SetText(node.friendlyName, text(os::kSPDRP_FRIENDLYNAME));
    SetText(node.locationInformation, text(os::kSPDRP_LOCATION_INFORMATION));
    if (const auto address = set.DwordProperty(device, os::kSPDRP_ADDRESS)) {
      node.deviceNumber = std::uint8_t(*address >> 16);
      node.functionNumber = std::uint8_t(*address & 0xFFFF);
      node.deviceNumberValid = node.functionNumberValid = true;
    }
    SetText(node.service, text(os::kSPDRP_SERVICE));
    return;
  }
}

std::unique_ptr<DeviceNode> NodeForParentOf(const std::string& instanceId) {
  const auto devInst = LocateDevNode(instanceId);
  const auto parent = devInst ? ParentOf(*devInst) : std::nullopt;
  const auto parentId = parent ? DeviceIdOf(*parent) : std::nullopt;
  if (!parentId) return nullptr;
  auto node = std::make_unique<DeviceNode>();
  SetPath(node->instanceId, *parentId);
  const VendorDevice ids = ParseVendorDevice(*parentId);
  node->vid = ids.vid;
  node->did = ids.did;
  SetText(node->description, DevNodeText(*parent, os::kCM_DRP_DEVICEDESC));
  SetText(node->driverKey, DevNodeText(*parent, os::kCM_DRP_DRIVER));
  // The root and a few system devices have no class; there is then no set to look in.
  const auto classText = DevNodeText(*parent, os::kCM_DRP_CLASSGUID);
  if (const auto guid = classText ? GuidFromText(*classText) : std::nullopt) {
    node->classGuid = *guid;
    ReadClassProperties(*node);
  }
  return node;
}

}  // namespace

DeviceNode::~DeviceNode() {
  std::unique_ptr<DeviceNode> rest = std::move(next);
  while (rest) rest = std::move(rest->next);
}

VendorDevice ParseVendorDevice(std::string_view instanceId) {
  const std::string id = fw::UpperCase(instanceId);
  const bool usb = id.find("USB") != std::string::npos;
  const auto vid = FourHexDigits(id, usb ? "VID_" : "VEN_");
  const auto did = FourHexDigits(id, usb ? "PID_" : "DEV_");
  if (!vid || !did) return {};
  return {*vid, *did};
}

std::unique_ptr<DeviceNode> BuildParentChain(const std::string& instanceId) {
  std::unique_ptr<DeviceNode> head = NodeForParentOf(instanceId);
  DeviceNode* tail = head.get();
  for (int depth = 1; tail && depth < kMaxDepth; ++depth) {
    tail->next = NodeForParentOf(tail->instanceId);
    tail = tail->next.get();
  }
  return head;
}

VendorDevice FirstVendorDevice(const DeviceNode* chain) {
  for (const DeviceNode* n = chain; n; n = n->next.get())
    if (n->vid && n->did) return {n->vid, n->did};
  return {};
}

}  // namespace devices
