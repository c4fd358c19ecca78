// SPDX-License-Identifier: MIT
// The port and baud-rate pick lists, with a probe double and an in-memory registry.
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "kivocom/kivocom.h"
#include "kivocom/port_probe.h"
#include "kivocom/registry.h"
#include "support/memory_line.h"

namespace kivocom {
namespace {

const char* const kVirtualPorts = "Enum\\Infrared\\VirtualPorts";
const char* const kFramer = "Enum\\Infrared\\Framer";

struct Item : ComboItem {
  void Tag(const std::string& value) override { tag = value; }
  void Selected(bool value) override { selected += value ? "yes" : "no"; }
  std::string key, text, tag, selected;
  int32_t image = 0;
};

// Records its items; Clear or the n-th Add fail on request.
class RecordingCombo : public ImageCombo, public ComboItems {
 public:
  ComboItems& Items() override { return *this; }
  void Clear() override {
    if (failOnClear) throw Error(424, "Combo - Clear", "object required");
    items.clear();
  }
  ComboItem& Add(const std::string& key, const std::string& text, int32_t image) override {
    if (static_cast<int>(items.size()) + 1 == failOnAdd) throw Error(8010, "Combo - Add", "full");
    if (static_cast<int>(items.size()) + 1 == throwOnAdd) throw std::runtime_error("widget gone");
    Item& item = items.emplace_back();
    item.key = key, item.text = text, item.image = image;
    return item;
  }
  std::deque<Item> items;  // a deque keeps handed-out items in place
  bool failOnClear = false;
  int failOnAdd = 0;
  int throwOnAdd = 0;
};

// A status per port; ports not in the table do not exist.
class TableProbe : public PortProbe {
 public:
  int32_t IsCOMPortAvailable(int32_t port) override {
    asked.push_back(port);
    if (port == failAt) throw Error(53, "KivoComm - IsCOMPortAvailable", "file not found");
    return statuses.contains(port) ? statuses[port] : kPortNotFound;
  }
  std::map<int32_t, int32_t> statuses;
  std::vector<int32_t> asked;
  int32_t failAt = 0;
};

// A registry whose values are listed but cannot be read.
class UnreadableRegistry : public MemoryRegistry {
 public:
  bool ReadValue(RegistryKey, const std::string&, std::vector<char>&) override { return false; }
};

class PickListTest : public MemoryLineTest {
 protected:
  ~PickListTest() override {
    InstallThreadPortProbe(nullptr);
    InstallThreadRegistry(nullptr);
  }
  RecordingCombo Fill(std::map<int32_t, int32_t> statuses, int16_t current = 0,
                      std::shared_ptr<MemoryRegistry> registry = nullptr) {
    probe = std::make_shared<TableProbe>();
    probe->statuses = std::move(statuses);
    InstallThreadPortProbe(probe);
    InstallThreadRegistry(registry ? registry : std::make_shared<MemoryRegistry>());
    CCOMPort port;
    RecordingCombo combo;
    port.FillCOMPortsCombo(combo, current);
    return combo;
  }
  std::shared_ptr<TableProbe> probe;
};

TEST_F(PickListTest, ListsExistingPortsInAscendingOrder) {
  const RecordingCombo combo = Fill({{256, 0}, {1, 0}, {12, 0}, {3, 13}, {10, 0}});
  std::vector<std::string> items;
  for (const Item& item : combo.items)
    items.push_back(item.key + "|" + item.text + "|" + std::to_string(item.image) + "|" + item.tag +
                    "|" + item.selected);
  EXPECT_EQ(items, (std::vector<std::string>{"1 COM1|COM1|3|1|", "3 COM3|COM3|3|3|",
                                             "10 COM10|COM10|3|10|", "12 COM12|COM12|3|12|",
                                             "256 COM256|COM256|3|256|"}));
  std::vector<int32_t> all(256);
  for (int32_t n = 1; n <= 256; ++n) all[n - 1] = n;
  EXPECT_EQ(probe->asked, all);
  EXPECT_TRUE(control->Calls().empty()) << "filling the list must not touch the line";
}

// Port 4 in each combination of status, current port and IrDA virtual port (framer on COM2).
TEST_F(PickListTest, ImagesMarkBusyCurrentAndInfraredPorts) {
  struct Row {
    const char* name;
    int32_t status;
    int16_t current;
    bool irda;
    int32_t image;
    const char* selected;
  };
  const Row rows[] = {
      {"free", kPortAvailable, 0, false, 3, ""},
      {"unknown status counts as free", 87, 0, false, 3, ""},
      {"held by another program", kPortInUse, 0, false, 1, ""},
      {"held, another port current", kPortInUse, 7, false, 1, ""},
      {"current", kPortAvailable, 4, false, 2, "yes"},
      {"current although held", kPortInUse, 4, false, 2, "yes"},
      {"IrDA free", kPortAvailable, 0, true, 6, ""},
      {"IrDA held", kPortInUse, 0, true, 4, ""},
      {"IrDA current although held", kPortInUse, 4, true, 5, "yes"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto registry = std::make_shared<MemoryRegistry>();
    if (row.irda) {
      registry->SetText(kVirtualPorts, "VirtualComPortName", "COM4");
      registry->SetText(kFramer, "PortName", "COM2");
    }
    const RecordingCombo combo =
        Fill({{2, kPortAvailable}, {4, row.status}}, row.current, registry);
    ASSERT_EQ(combo.items.size(), 2u);
    EXPECT_EQ(combo.items[1].image, row.image);
    EXPECT_EQ(combo.items[1].tag, row.irda ? "2" : "4");
    EXPECT_EQ(combo.items[1].selected, row.selected);
    EXPECT_EQ(combo.items[0].image, 3);
    EXPECT_EQ(combo.items[0].selected, "");
  }
}

TEST_F(PickListTest, InfraredPortFromTheRegistry) {
  struct Row {
    const char* name;
    void (*setup)(MemoryRegistry&);
    int32_t marked;  // the port whose item is marked; 0 for none
    const char* tag;
  };
  const Row rows[] = {
      {"no entries", [](MemoryRegistry&) {}, 0, ""},
      {"virtual port and framer",
       [](MemoryRegistry& r) {
         r.SetText(kVirtualPorts, "VirtualComPortName", "COM4");
         r.SetText(kFramer, "PortName", "COM1");
       },
       4, "1"},
      {"no framer key: tag 0",
       [](MemoryRegistry& r) { r.SetText(kVirtualPorts, "VirtualComPortName", "COM4"); }, 4, "0"},
      {"framer key without PortName: unmarked",
       [](MemoryRegistry& r) {
         r.SetText(kVirtualPorts, "VirtualComPortName", "COM4");
         r.AddKey(kFramer);
       },
       0, ""},
      {"framer PortName not text: unmarked",
       [](MemoryRegistry& r) {
         r.SetText(kVirtualPorts, "VirtualComPortName", "COM4");
         r.SetValue(kFramer, "PortName", RegistryType::Number, {1, 0, 0, 0});
       },
       0, ""},
      {"COM12 gives its last digit",
       [](MemoryRegistry& r) {
         r.SetText(kVirtualPorts, "VirtualComPortName", "COM12");
         r.SetText(kFramer, "PortName", "COM13");
       },
       2, "3"},
      {"name without a final digit",
       [](MemoryRegistry& r) { r.SetText(kVirtualPorts, "VirtualComPortName", "IRCOMM"); }, 0, ""},
      {"virtual key without the value", [](MemoryRegistry& r) { r.AddKey(kVirtualPorts); }, 0, ""},
      {"text stored without its terminating zero keeps its last character",
       [](MemoryRegistry& r) {
         r.SetValue(kVirtualPorts, "VirtualComPortName", RegistryType::Text, {'C', 'O', 'M', '4'});
       },
       4, "0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto registry = std::make_shared<MemoryRegistry>();
    row.setup(*registry);
    const RecordingCombo combo = Fill({{1, 0}, {2, 0}, {4, 0}, {12, 0}}, 0, registry);
    for (const Item& item : combo.items) {
      const bool marked = item.text == "COM" + std::to_string(row.marked);
      EXPECT_EQ(item.image, marked ? 6 : 3) << item.text;
      EXPECT_EQ(item.tag, marked ? row.tag : item.text.substr(3)) << item.text;
    }
    EXPECT_EQ(registry->OpenKeyCount(), 0) << "every key opened is closed";
  }
}

TEST_F(PickListTest, UnreadableRegistryValuesLeaveNumbersAtZeroAndCloseTheirKeys) {
  auto registry = std::make_shared<UnreadableRegistry>();
  registry->SetText(kVirtualPorts, "VirtualComPortName", "COM4");
  registry->SetText(kFramer, "PortName", "COM1");
  const RecordingCombo combo = Fill({{4, 0}}, 0, registry);
  ASSERT_EQ(combo.items.size(), 1u);
  EXPECT_EQ(combo.items[0].image, 3);
  EXPECT_EQ(registry->KeysOpened(), 2);
  EXPECT_EQ(registry->OpenKeyCount(), 0);
}

TEST_F(PickListTest, FailuresAfterClearingCarryTheFillSource) {
  struct Row {
    const char* name;
    bool failOnClear;
    int failOnAdd;
    int throwOnAdd;
    int32_t probeFailAt;
    int32_t number;
    const char* source;
    size_t itemsLeft;
  };
  const Row rows[] = {
      {"Add fails", false, 2, 0, 0, 8010, "CCOMPort - FillCOMPortsCombo", 1},
      {"Add throws a foreign exception", false, 0, 3, 0, static_cast<int32_t>(0x80004005),
       "CCOMPort - FillCOMPortsCombo", 2},
      {"probe fails", false, 0, 0, 5, 53, "CCOMPort - FillCOMPortsCombo", 2},
      {"Clear fails: unchanged", true, 0, 0, 0, 424, "Combo - Clear", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto failing = std::make_shared<TableProbe>();
    failing->statuses = {{1, 0}, {2, 0}, {6, 0}};
    failing->failAt = row.probeFailAt;
    InstallThreadPortProbe(failing);
    CCOMPort port;
    RecordingCombo combo;
    combo.failOnClear = row.failOnClear;
    combo.failOnAdd = row.failOnAdd;
    combo.throwOnAdd = row.throwOnAdd;
    try {
      port.FillCOMPortsCombo(combo);
      ADD_FAILURE() << "no error raised";
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), row.number);
      EXPECT_EQ(e.Source(), row.source);
    }
    EXPECT_EQ(combo.items.size(), row.itemsLeft) << "items added so far stay";
  }
}

// A list box that inserts each item at the top, so NewIndex is not the item count.
class RecordingList : public ListControl {
 public:
  void Clear() override { items.clear(); }
  void AddItem(const std::string& text) override { items.insert(items.begin(), text + "="); }
  int32_t NewIndex() override { return 0; }
  void ItemData(int32_t index, int32_t value) override { items.at(index) += std::to_string(value); }
  std::vector<std::string> items{"stale"};
};

TEST_F(PickListTest, BaudRateListCoversTheLimits) {
  struct Row {
    const char* name;
    int32_t min, max;
    std::vector<std::string> items;  // top to bottom: the last added first
  };
  const Row rows[] = {
      {"range", BAUD_1200, BAUD_19200, {"19200=7", "9600=6", "4800=5", "2400=4", "1200=3"}},
      {"equal limits", BAUD_9600, BAUD_9600, {"9600=6"}},
      {"minimum above maximum", BAUD_38400, BAUD_9600, {}},
      {"both none, as constructed", BAUD_NONE, BAUD_NONE, {"2400=-1"}},
      {"top of the 16-bit range ends", 32766, 32767, {"2400=32767", "2400=32766"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    CCOMPort port;
    port.MinBaudRate(static_cast<EBaudRate>(row.min));
    port.MaxBaudRate(static_cast<EBaudRate>(row.max));
    RecordingList list;
    port.FillBaudRatesCombo(list);
    EXPECT_EQ(list.items, row.items);
  }
}

TEST_F(PickListTest, BaudRateLimitBeyond16BitsIsAnOverflowNotAWrappedList) {
  CCOMPort port;
  port.MinBaudRate(BAUD_150);
  port.MaxBaudRate(static_cast<EBaudRate>(65539));  // would wrap to 3
  RecordingList list;
  try {
    port.FillBaudRatesCombo(list);
    FAIL() << "no error raised";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 6);
  }
  EXPECT_TRUE(list.items.empty());
}

}  // namespace
}  // namespace kivocom
