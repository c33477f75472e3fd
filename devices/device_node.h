// The chain of a disk's ancestors in the device tree, its parent first: what the scan needs
// to know about the disk's controller (its service, its instance identifier, its PCI IDs).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "os/device_types.h"

namespace devices {

struct DeviceNode {
  os::Guid classGuid;
  char driverKey[260] = {};
  char description[260] = {};
  char instanceId[260] = {};  // the scan reads it as the controller's instance identifier
  char friendlyName[260] = {};
  char locationInformation[260] = {};
  char service[260] = {};  // the scan classifies drives by it
  std::uint8_t busNumber = 0;
  std::uint8_t uiNumber = 0;
  std::uint8_t deviceNumber = 0;    // SPDRP_ADDRESS >> 16
  std::uint8_t functionNumber = 0;  // SPDRP_ADDRESS & FFFFh
  bool busNumberValid = false;
  bool uiNumberValid = false;
  bool deviceNumberValid = false;
  bool functionNumberValid = false;
  std::uint16_t vid = 0;
  std::uint16_t did = 0;
  std::unique_ptr<DeviceNode> next;  // this device's own parent; null at the top

  DeviceNode() = default;
  DeviceNode(const DeviceNode&) = delete;
  DeviceNode& operator=(const DeviceNode&) = delete;
  ~DeviceNode();  // a long chain is freed without recursion
};

struct VendorDevice {
  std::uint16_t vid = 0;
  std::uint16_t did = 0;
  bool operator==(const VendorDevice&) const = default;
};

// The IDs of an instance identifier: the four characters after "VEN_" and "DEV_" (PCI), or
// after "VID_" and "PID_" when it names USB. Each must be hexadecimal, "0x" in front allowed;
// otherwise, or when one is missing, both are 0.
VendorDevice ParseVendorDevice(std::string_view instanceId);

// The chain above the device with this instance identifier; null when it has no parent.
std::unique_ptr<DeviceNode> BuildParentChain(const std::string& instanceId);

// The first node of the chain whose vendor and device IDs are both set.
VendorDevice FirstVendorDevice(const DeviceNode* chain);

}  // namespace devices
