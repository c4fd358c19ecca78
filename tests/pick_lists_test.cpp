// The port and baud-rate pick lists, with a probe double and an in-memory registry.
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <optional>
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
  Item(std::string k, std::string t, int32_t i) : key(std::move(k)), text(std::move(t)), image(i) {}
  void Tag(const std::string& value) override {
    if (failOnTag) throw Error(91, "Item - Tag", "tag refused");
    tag = value;
  }
  void Selected(bool value) override { selected = value; }
  std::string key, text;
  int32_t image;
  std::string tag;
  std::optional<bool> selected;
  bool failOnTag = false;
};

// An image combo that records its items and fails on request.
class RecordingCombo : public ImageCombo, public ComboItems {
 public:
  ComboItems& Items() override { return *this; }
  void Clear() override {
    if (failOnClear) throw Error(424, "Combo - Clear", "object required");
    items.clear();
  }
  ComboItem& Add(const std::string& key, const std::string& text, int32_t image) override {
    if (static_cast<int>(items.size()) + 1 == failOnAdd) throw Error(8010, "Combo - Add", "list full");
    items.emplace_back(key, text, image);
    items.back().failOnTag = static_cast<int>(items.size()) == failOnTag;
    return items.back();
  }
  const Item* Find(int32_t port) const {
    for (const Item& item : items)
      if (item.text == "COM" + std::to_string(port)) return &item;
    return nullptr;
  }
  std::deque<Item> items;  // a deque keeps handed-out items in place
  bool failOnClear = false;
  int failOnAdd = 0;  // the 1-based item whose Add fails
  int failOnTag = 0;  // the 1-based item whose Tag fails
};

// Reports a status per port; ports not in the table do not exist.
class TableProbe : public PortProbe {
 public:
  explicit TableProbe(std::map<int32_t, int32_t> table) : statuses(std::move(table)) {}
  int32_t IsCOMPortAvailable(int32_t port) override {
    asked.push_back(port);
    if (port == failAt) throw Error(53, "KivoComm - IsCOMPortAvailable", "file not found");
    const auto it = statuses.find(port);
    return it == statuses.end() ? kPortNotFound : it->second;
  }
  std::map<int32_t, int32_t> statuses;
  std::vector<int32_t> asked;
  int32_t failAt = 0;
};

// A registry whose reads fail although the value is there.
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
  void UseProbe(std::map<int32_t, int32_t> statuses) {
    probe = std::make_shared<TableProbe>(std::move(statuses));
    InstallThreadPortProbe(probe);
  }
  void UseRegistry(std::shared_ptr<MemoryRegistry> r) {
    registry = std::move(r);
    InstallThreadRegistry(registry);
  }

  std::shared_ptr<TableProbe> probe;
  std::shared_ptr<MemoryRegistry> registry = std::make_shared<MemoryRegistry>();
};

TEST_F(PickListTest, ListsExistingPortsInAscendingOrder) {
  UseProbe({{256, 0}, {1, 0}, {12, 0}, {3, 13}, {10, 0}});
  UseRegistry(registry);
  CCOMPort p;
  RecordingCombo combo;
  combo.items.emplace_back("old", "old", 3);
  p.FillCOMPortsCombo(combo);

  std::vector<std::string> keys, texts, tags;
  for (const Item& item : combo.items) {
    keys.push_back(item.key), texts.push_back(item.text), tags.push_back(item.tag);
    EXPECT_EQ(item.image, 3) << item.text;
    EXPECT_FALSE(item.selected.has_value()) << item.text;
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"1 COM1", "3 COM3", "10 COM10", "12 COM12", "256 COM256"}));
  EXPECT_EQ(texts, (std::vector<std::string>{"COM1", "COM3", "COM10", "COM12", "COM256"}));
  EXPECT_EQ(tags, (std::vector<std::string>{"1", "3", "10", "12", "256"}));
  ASSERT_EQ(probe->asked.size(), 256u);
  for (int32_t n = 1; n <= 256; ++n) EXPECT_EQ(probe->asked[n - 1], n);
  EXPECT_TRUE(control->Calls().empty()) << "filling the list must not touch the line";
}

// Port 4 in every combination of status, current port and IrDA virtual port.
TEST_F(PickListTest, ImagesMarkBusyCurrentAndInfraredPorts) {
  struct Row {
    const char* name;
    int32_t status;
    int16_t current;
    bool irda;
    int32_t image;
  };
  const Row rows[] = {
      {"free", kPortAvailable, 0, false, 3},
      {"unknown status counts as free", 87, 0, false, 3},
      {"held by another program", kPortInUse, 0, false, 1},
      {"current", kPortAvailable, 4, false, 2},
      {"current although held", kPortInUse, 4, false, 2},
      {"IrDA free", kPortAvailable, 0, true, 6},
      {"IrDA held", kPortInUse, 0, true, 4},
      {"IrDA current", kPortAvailable, 4, true, 5},
      {"IrDA current although held", kPortInUse, 4, true, 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    UseProbe({{2, kPortAvailable}, {4, row.status}});
    auto reg = std::make_shared<MemoryRegistry>();
    if (row.irda) {
      reg->SetText(kVirtualPorts, "VirtualComPortName", "COM4");
      reg->SetText(kFramer, "PortName", "COM2");
    }
    UseRegistry(reg);
    CCOMPort p;
    RecordingCombo combo;
    p.FillCOMPortsCombo(combo, row.current);
    ASSERT_EQ(combo.items.size(), 2u);
    const Item& item = combo.items[1];
    EXPECT_EQ(item.image, row.image);
    EXPECT_EQ(item.tag, row.irda ? "2" : "4");
    EXPECT_EQ(item.selected, row.current == 4 ? std::optional<bool>(true) : std::nullopt);
    EXPECT_EQ(combo.items[0].image, 3) << "the other port is unaffected";
    EXPECT_FALSE(combo.items[0].selected.has_value());
  }
}

TEST_F(PickListTest, ACurrentPortWithoutItemSelectsNothing) {
  for (int16_t current : {int16_t{0}, int16_t{7}, int16_t{-1}, int16_t{300}}) {
    SCOPED_TRACE(current);
    UseProbe({{1, kPortAvailable}, {2, kPortInUse}, {8, kPortAvailable}});
    CCOMPort p;
    RecordingCombo combo;
    p.FillCOMPortsCombo(combo, current);
    ASSERT_EQ(combo.items.size(), 3u);
    for (const Item& item : combo.items) {
      EXPECT_FALSE(item.selected.has_value()) << item.text;
      EXPECT_NE(item.image, 2) << item.text;
      EXPECT_NE(item.image, 5) << item.text;
    }
  }
}

// Which item the registry's infrared entries mark, and with which tag.
TEST_F(PickListTest, InfraredPortFromTheRegistry) {
  using Setup = void (*)(MemoryRegistry&);
  struct Row {
    const char* name;
    Setup setup;
    int32_t markedPort;  // 0: no item marked
    const char* tag;     // the marked item's tag
  };
  const Row rows[] = {
      {"no entries", [](MemoryRegistry&) {}, 0, ""},
      {"virtual port and framer",
       [](MemoryRegistry& r) {
         r.SetText(kVirtualPorts, "VirtualComPortName", "COM4");
         r.SetText(kFramer, "PortName", "COM1");
       },
       4, "1"},
      {"virtual port without a framer key gives tag 0",
       [](MemoryRegistry& r) { r.SetText(kVirtualPorts, "VirtualComPortName", "COM4"); }, 4, "0"},
      {"framer key without PortName leaves it unmarked",
       [](MemoryRegistry& r) {
         r.SetText(kVirtualPorts, "VirtualComPortName", "COM4");
         r.AddKey(kFramer);
       },
       0, ""},
      {"framer PortName that is not text leaves it unmarked",
       [](MemoryRegistry& r) {
         r.SetText(kVirtualPorts, "VirtualComPortName", "COM4");
         r.SetValue(kFramer, "PortName", RegistryType::Number, {1, 0, 0, 0});
       },
       0, ""},
      {"COM12 yields its last digit",
       [](MemoryRegistry& r) {
         r.SetText(kVirtualPorts, "VirtualComPortName", "COM12");
         r.SetText(kFramer, "PortName", "COM13");
       },
       2, "3"},
      {"virtual name without a final digit names no port",
       [](MemoryRegistry& r) { r.SetText(kVirtualPorts, "VirtualComPortName", "IRCOMM"); }, 0, ""},
      {"virtual key without the value",
       [](MemoryRegistry& r) { r.AddKey(kVirtualPorts); }, 0, ""},
      {"virtual value that is not plain text",
       [](MemoryRegistry& r) {
         r.SetValue(kVirtualPorts, "VirtualComPortName", RegistryType::ExpandText,
                    {'C', 'O', 'M', '4', '\0'});
       },
       0, ""},
      {"text stored without its terminating zero keeps its last character",
       [](MemoryRegistry& r) {
         r.SetValue(kVirtualPorts, "VirtualComPortName", RegistryType::Text, {'C', 'O', 'M', '4'});
       },
       4, "0"},
      {"empty framer name gives tag 0",
       [](MemoryRegistry& r) {
         r.SetText(kVirtualPorts, "VirtualComPortName", "COM5");
         r.SetText(kFramer, "PortName", "");
       },
       5, "0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    UseProbe({{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {12, 0}});
    auto reg = std::make_shared<MemoryRegistry>();
    row.setup(*reg);
    UseRegistry(reg);
    CCOMPort p;
    RecordingCombo combo;
    p.FillCOMPortsCombo(combo);
    for (const Item& item : combo.items) {
      const bool marked = item.text == "COM" + std::to_string(row.markedPort);
      EXPECT_EQ(item.image, marked ? 6 : 3) << item.text;
      EXPECT_EQ(item.tag, marked ? row.tag : item.text.substr(3)) << item.text;
    }
    EXPECT_EQ(reg->OpenKeyCount(), 0) << "every key opened is closed";
  }
}

TEST_F(PickListTest, UnreadableRegistryValuesCloseTheirKeys) {
  UseProbe({{4, 0}});
  auto reg = std::make_shared<UnreadableRegistry>();
  reg->SetText(kVirtualPorts, "VirtualComPortName", "COM4");
  reg->SetText(kFramer, "PortName", "COM1");
  UseRegistry(reg);
  CCOMPort p;
  RecordingCombo combo;
  p.FillCOMPortsCombo(combo);
  ASSERT_EQ(combo.items.size(), 1u);
  EXPECT_EQ(combo.items[0].image, 3) << "an unread name leaves the virtual port at 0";
  EXPECT_EQ(reg->KeysOpened(), 2);
  EXPECT_EQ(reg->OpenKeyCount(), 0);
}

TEST_F(PickListTest, FailuresAfterClearingCarryTheFillSource) {
  struct Row {
    const char* name;
    int failOnAdd, failOnTag, probeFailAt;
    int32_t number;
    const char* description;
    size_t itemsLeft;
  };
  const Row rows[] = {
      {"Add fails", 3, 0, 0, 8010, "list full", 2},
      {"Tag fails", 0, 2, 0, 91, "tag refused", 2},
      {"probe fails", 0, 0, 5, 53, "file not found", 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    UseProbe({{1, 0}, {2, 0}, {5, 0}, {6, 0}});
    probe->failAt = row.probeFailAt;
    CCOMPort p;
    RecordingCombo combo;
    combo.failOnAdd = row.failOnAdd;
    combo.failOnTag = row.failOnTag;
    try {
      p.FillCOMPortsCombo(combo);
      ADD_FAILURE() << "no error raised";
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), row.number);
      EXPECT_EQ(e.Source(), "CCOMPort - FillCOMPortsCombo");
      EXPECT_EQ(e.Description(), row.description);
    }
    EXPECT_EQ(combo.items.size(), row.itemsLeft) << "items added so far stay";
  }
}

TEST_F(PickListTest, AFailingClearReachesTheCallerUnchanged) {
  UseProbe({{1, 0}});
  CCOMPort p;
  RecordingCombo combo;
  combo.failOnClear = true;
  try {
    p.FillCOMPortsCombo(combo);
    FAIL() << "no error raised";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 424);
    EXPECT_EQ(e.Source(), "Combo - Clear");
  }
  EXPECT_TRUE(probe->asked.empty());
}

// A list box that inserts each item at the top, so NewIndex is not the item count.
class RecordingList : public ListControl {
 public:
  void Clear() override { texts.clear(), data.clear(), ++clears; }
  void AddItem(const std::string& text) override {
    if (static_cast<int>(texts.size()) + 1 == failOnAdd) throw Error(7, "List - AddItem", "out of memory");
    texts.insert(texts.begin(), text);
    data.insert(data.begin(), -99);
  }
  int32_t NewIndex() override { return 0; }
  void ItemData(int32_t index, int32_t value) override { data.at(index) = value; }
  std::vector<std::string> texts;
  std::vector<int32_t> data;
  int clears = 0;
  int failOnAdd = 0;
};

TEST_F(PickListTest, BaudRateListCoversTheLimits) {
  struct Row {
    const char* name;
    int32_t min, max;
    std::vector<std::string> texts;  // top to bottom: the last added first
    std::vector<int32_t> data;
  };
  const Row rows[] = {
      {"range", BAUD_1200, BAUD_19200, {"19200", "9600", "4800", "2400", "1200"}, {7, 6, 5, 4, 3}},
      {"equal limits", BAUD_9600, BAUD_9600, {"9600"}, {6}},
      {"minimum above maximum", BAUD_38400, BAUD_9600, {}, {}},
      {"both limits none, as constructed", BAUD_NONE, BAUD_NONE, {"2400"}, {-1}},
      {"top of the 16-bit range ends", 32766, 32767, {"2400", "2400"}, {32767, 32766}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    CCOMPort p;
    p.MinBaudRate(static_cast<EBaudRate>(row.min));
    p.MaxBaudRate(static_cast<EBaudRate>(row.max));
    RecordingList list;
    list.texts = {"stale"}, list.data = {0};
    p.FillBaudRatesCombo(list);
    EXPECT_EQ(list.clears, 1);
    EXPECT_EQ(list.texts, row.texts);
    EXPECT_EQ(list.data, row.data);
  }
}

TEST_F(PickListTest, BaudRateListFailureReachesTheCallerUnchanged) {
  CCOMPort p;
  p.MinBaudRate(BAUD_150);
  p.MaxBaudRate(BAUD_921600);
  RecordingList list;
  list.failOnAdd = 3;
  try {
    p.FillBaudRatesCombo(list);
    FAIL() << "no error raised";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 7);
    EXPECT_EQ(e.Source(), "List - AddItem");
  }
  EXPECT_EQ(list.texts, (std::vector<std::string>{"300", "150"}));
}

}  // namespace
}  // namespace kivocom
