#include "report/mode_pages.h"

#include <algorithm>
#include <array>

#include "report/hex_dump.h"
#include "report/print.h"
#include "toolkit/endian.h"

namespace orv {
namespace {

// How a field's value is shown. Every kind ends at column 56, where a unit text may follow.
enum class Kind : uint8_t {
  kFlag,  // "ON"/"OFF" as "%5s" at 51
  kU16w,  // "%*,u", width 16, at 40
  kS16w,  // "%*,d", width 16, at 40
  kG16,   // grouped, right-aligned in 16, at 40
  kG10,   // grouped, right-aligned in 10, at 46
  kHex4,  // "%04XH" at 52
};

// One labelled field: `size` big-endian bytes from `byte`, then `bits` bits from bit `shift`
// (bits 0 takes the whole field). Signed fields are one byte in two's complement.
struct Field {
  uint8_t byte;
  uint8_t size;
  uint8_t shift;
  uint8_t bits;
  Kind kind;
  const char* label;
  const char* unit = nullptr;
  bool isSigned = false;
};

constexpr Field Bit(uint8_t byte, uint8_t bit, const char* label) { return {byte, 1, bit, 1, Kind::kFlag, label}; }
constexpr Field Bits(uint8_t byte, uint8_t shift, uint8_t bits, Kind kind, const char* label) {
  return {byte, 1, shift, bits, kind, label};
}
constexpr Field Whole(uint8_t byte, uint8_t size, Kind kind, const char* label, const char* unit = nullptr) {
  return {byte, size, 0, 0, kind, label, unit};
}
constexpr Field Signed(uint8_t byte, Kind kind, const char* label) {
  return {byte, 1, 0, 0, kind, label, nullptr, true};
}

// Field bytes outside the page read as 0; the minimum lengths keep the decoders inside, this
// only guards against a table that asks for more.
uint64_t ReadField(std::span<const uint8_t> page, const Field& f) {
  uint64_t value = 0;
  for (size_t i = 0; i < f.size; ++i) {
    const size_t k = size_t{f.byte} + i;
    value = value << 8 | (k < page.size() ? page[k] : 0);
  }
  value >>= f.shift;
  if (f.bits != 0) value &= (uint64_t{1} << f.bits) - 1;
  return value;
}

void AppendField(std::string& text, std::span<const uint8_t> page, const Field& f) {
  const uint64_t raw = ReadField(page, f);
  const int64_t value = f.isSigned ? static_cast<int8_t>(static_cast<uint8_t>(raw)) : static_cast<int64_t>(raw);
  std::string shown;
  int column = 40;
  switch (f.kind) {
    case Kind::kFlag:
      FormatText(shown, "%5s", raw != 0 ? "ON" : "OFF");
      column = 51;
      break;
    case Kind::kU16w:
      FormatText(shown, "%*,u", 16, static_cast<uint32_t>(raw));
      break;
    case Kind::kS16w:
      FormatText(shown, "%*,d", 16, static_cast<int32_t>(value));
      break;
    case Kind::kG16:
      FormatGroupedRight(16, shown, value);
      break;
    case Kind::kG10:
      FormatGroupedRight(10, shown, value);
      column = 46;
      break;
    case Kind::kHex4:
      FormatText(shown, "%04XH", static_cast<uint32_t>(raw));
      column = 52;
      break;
  }
  if (f.unit != nullptr) {
    AppendColumns(text, {{0, f.label}, {column, shown}, {56, f.unit}});
  } else {
    AppendColumns(text, {{0, f.label}, {column, shown}});
  }
}

void AppendFields(std::string& text, std::span<const uint8_t> page, std::span<const Field> fields) {
  for (const Field& f : fields) AppendField(text, page, f);
}

// A name from a short table indexed by value; values past the table have the empty name.
template <size_t N>
const char* NameOf(const std::array<const char*, N>& names, uint64_t value) {
  return value < N ? names[value] : "";
}

// ---- 01h Read/Write Error Recovery ----
constexpr Field kErrorRecovery[] = {
    Bit(2, 7, "Automatic Write Reallocation Enabled"),
    Bit(2, 6, "Automatic Read  Reallocation Enabled"),
    Bit(2, 5, "Transfer Block"),
    Bit(2, 4, "Read Continuous"),
    Bit(2, 3, "Enable Early Recovery"),
    Bit(2, 2, "Post Error"),
    Bit(2, 1, "Disable Tranfer on Error"),
    Bit(2, 0, "Disable Correction"),
    Whole(3, 1, Kind::kU16w, "Read Retry Count"),
    Whole(4, 1, Kind::kU16w, "Correction Span"),
    Signed(5, Kind::kS16w, "Head Offset"),
    Signed(6, Kind::kS16w, "Data Strobe Offset"),
    Whole(8, 1, Kind::kU16w, "Write Retry Count"),
    Whole(10, 2, Kind::kU16w, "Recovery Time Limit", "ms"),
};

// ---- 02h Disconnect/Reconnect ----
constexpr Field kDisconnect[] = {
    Whole(2, 1, Kind::kU16w, "Buffer Full Ratio"),
    Whole(3, 1, Kind::kU16w, "Buffer Empty Ratio"),
    Whole(4, 2, Kind::kU16w, "Bus Inactive Limit"),
    Whole(6, 2, Kind::kU16w, "Disconnect Time Limit"),
    Whole(8, 2, Kind::kU16w, "Connect Time Limit"),
    Whole(10, 2, Kind::kU16w, "Maximum Burst Size"),
    Bits(12, 0, 3, Kind::kU16w, "Data Transfer Disconnect Control"),
    Bit(12, 3, "Disconnect Immediate"),
    Bits(12, 4, 3, Kind::kU16w, "Fair Arbitration"),
    Bit(12, 7, "Enable Modify Data Pointers"),
    Whole(14, 2, Kind::kU16w, "First Burst Size"),
};

// ---- 04h Rigid disk drive geometry ----
constexpr Field kDriveHead[] = {
    Whole(2, 3, Kind::kG16, "Number of Cylinders"),
    Whole(5, 1, Kind::kG16, "Number of Heads"),
    Whole(6, 3, Kind::kG10, "Starting Cylinder-Write Precompensation"),
    Whole(9, 3, Kind::kG10, "Starting Cylinder-Reduced Write Current"),
    Whole(12, 2, Kind::kG16, "Drive Step Rate"),
    Whole(14, 3, Kind::kG16, "Landing Zone Cylinder"),
};
constexpr Field kDriveLocking = Bits(17, 0, 2, Kind::kG16, "Rotational Position Locking");
constexpr std::array<const char*, 4> kLockingNames = {"Sync: disable or not supported", "Sync: slave", "Sync: master",
                                                      "Sync: master control"};
constexpr Field kDriveTail[] = {
    Signed(18, Kind::kG16, "Rotational offset"),
    Whole(20, 2, Kind::kG16, "Medium rotation rate"),
};

void DecodeDriveParameter(std::string& text, std::span<const uint8_t> page) {
  AppendFields(text, page, kDriveHead);
  std::string shown;
  const uint64_t locking = ReadField(page, kDriveLocking);
  AppendColumns(text, {{0, kDriveLocking.label},
                       {40, FormatGroupedRight(16, shown, static_cast<int64_t>(locking))},
                       {58, NameOf(kLockingNames, locking)}});
  AppendFields(text, page, kDriveTail);
}

// ---- 05h Flexible disk ----
constexpr Field kFlexibleRate = Whole(2, 2, Kind::kG16, "Transfer Rate", "kbit/s");
constexpr Field kFlexibleTimings[] = {
    Whole(10, 2, Kind::kG16, "Start Cyl. Write Precompensation"),
    Whole(12, 2, Kind::kG16, "Start Cyl. Reduced Write Current"),
    Whole(14, 2, Kind::kG16, "Device Step Rate"),
    Whole(16, 1, Kind::kG16, "Device Step Plus Width"),
    Whole(17, 2, Kind::kG16, "Head Settle Delay"),
    Whole(19, 1, Kind::kG16, "Motor On Delay"),
    Whole(20, 1, Kind::kG16, "Motor Off Delay"),
    Bit(21, 5, "Motor ON"),
    Bits(21, 6, 1, Kind::kG16, "Start Sector Number"),
    Bit(21, 7, "True Ready"),
    Bits(22, 0, 4, Kind::kG16, "Step Plus per Cylinder"),
    Whole(23, 1, Kind::kG16, "Write Compensation"),
    Whole(24, 1, Kind::kG16, "Head Load Delay"),
    Whole(25, 1, Kind::kG16, "Head Unload Delay"),
};
constexpr Field kFlexibleRotation = Whole(28, 2, Kind::kG16, "Medium Rotation Rate");
constexpr std::array<const char*, 3> kPin34Names = {"Open", "Ready", "Disk changed"};
constexpr std::array<const char*, 5> kPin4Names = {"Open", "In Use", "Eject", "", "Head load"};
constexpr std::array<const char*, 2> kPin1Names = {"Open", "Disk Change reset"};

void AppendPin(std::string& text, const char* label, const std::string& value) {
  AppendColumns(text, {{0, label}, {55, value}});
}

void DecodeFlexibleDisk(std::string& text, std::span<const uint8_t> page) {
  AppendField(text, page, kFlexibleRate);
  const std::string shape = Format("%u/%u/%u %u", GetBe16(&page[8]), page[5], page[4], GetBe16(&page[6]));
  AppendColumns(text, {{0, "Cyl/Sec/Head sector size"}, {56 - static_cast<int>(shape.size()), shape}});
  if (page.size() < 32) return;

  AppendFields(text, page, kFlexibleTimings);
  const unsigned pin34 = page[26] >> 4, pin2 = page[26] & 0x0F, pin4 = page[27] >> 4, pin1 = page[27] & 0x0F;
  AppendPin(text, "PIN34", Format("%1XH %s", pin34, NameOf(kPin34Names, pin34)));
  AppendPin(text, "PIN4", Format("%1XH %s", pin4, NameOf(kPin4Names, pin4)));
  AppendPin(text, "PIN1", Format("%1XH %s", pin1, NameOf(kPin1Names, pin1)));
  AppendPin(text, "PIN2", Format("%1XH", pin2));
  AppendField(text, page, kFlexibleRotation);
}

// ---- 08h Caching ----
constexpr Field kCache[] = {
    Bit(2, 2, "Write Cache Enable"),
    Bit(2, 1, "Multiplication Factor"),
    Bit(2, 0, "Read Cache Disable"),
    Bits(3, 4, 4, Kind::kG16, "Demand Read Retention Priority"),
    Bits(3, 0, 4, Kind::kG16, "Write Retention Priority"),
    Whole(4, 2, Kind::kG16, "Disable Pre-fetch Transfer Length"),
    Whole(6, 2, Kind::kG16, "Minimum Pre-fetch"),
    Whole(8, 2, Kind::kG16, "Maximum Pre-fetch"),
    Whole(10, 2, Kind::kG16, "Maximum Pre-fetch Ceiling"),
};

// ---- 09h Peripheral device ----
void DecodePeripheral(std::string& text, std::span<const uint8_t> page) {
  AppendField(text, page, Whole(2, 2, Kind::kHex4, "Interface ID"));
  if (page.size() > 8) {
    text += "Vender depended\r\n";
    HexDumpAddressed(text, 0, page.subspan(8));
  }
}

// ---- 0Ah Control ----
constexpr Field kControl[] = {
    Bit(2, 0, "Report Log Exception Condition"),
    Bit(2, 1, "Global Logging Target Save Disable"),
    Bit(2, 2, "Descriptor Format Sense Data"),
    Bits(2, 5, 3, Kind::kG16, "Task Set Type"),
    Bits(3, 1, 2, Kind::kG16, "Queue Error Managemnt"),
    Bits(3, 4, 4, Kind::kG16, "Queue Algorithm Modifier"),
    Bit(4, 3, "Software Write Protected"),
    Bits(4, 4, 2, Kind::kG16, "Unit Attention Interlocks control"),
    Bit(4, 6, "Report Check"),
    Bit(4, 7, "Task Aborted Status"),
    Bits(5, 0, 3, Kind::kG16, "Autoload Mode"),
    Bit(5, 7, "Application Tag Owner"),
};
constexpr Field kControlTimes[] = {
    Whole(8, 2, Kind::kHex4, "Busy Timeout Period"),
    Whole(10, 2, Kind::kHex4, "Extended Self-Test Completion Time"),
};

void DecodeControl(std::string& text, std::span<const uint8_t> page) {
  AppendFields(text, page, kControl);
  if (page.size() >= 12) AppendFields(text, page, kControlTimes);
}

// ---- 0Bh Medium types supported ----
void DecodeMediaTypes(std::string& text, std::span<const uint8_t> page) {
  AppendColumns(text, {{0, "Media Type 1-4"}, {41, Format("%02XH %02XH %02XH %02XH", page[4], page[5], page[6], page[7])}});
}

// ---- 0Ch Notch and partition ----
constexpr Field kNotchCounts[] = {
    Whole(4, 2, Kind::kG16, "Maximum Number of Notches"),
    Whole(6, 2, Kind::kG16, "Active Notch "),
    Whole(8, 4, Kind::kG16, "Starting Boundary"),
    Whole(12, 4, Kind::kG16, "Ending boundary"),
};

void DecodeNotch(std::string& text, std::span<const uint8_t> page) {
  AppendField(text, page, Bit(2, 7, "Nocthed Device"));
  AppendColumns(text, {{0, "Logical or Physical Notch"}, {48, Format("%8s", (page[2] & 0x40) ? "LOGICAL" : "PHYSICAL")}});
  AppendFields(text, page, kNotchCounts);
  AppendColumns(text, {{0, "Pages Notched Parameter"},
                       {40, Format("%02X%02X%02X%02X%02X%02X%02X%02X", page[16], page[17], page[18], page[19], page[20],
                                   page[21], page[22], page[23])}});
}

// ---- 0Dh CD device parameters ----
constexpr std::array<const char*, 16> kInactivityNames = {
    "Vender-specific", "125ms", "250ms", "500ms", "1s",    "2s",    "4s",    "8s",
    "16s",             "32s",   "1min",  "2min",  "4min",  "8min",  "16min", "32min"};
constexpr Field kCdUnits[] = {
    Whole(4, 2, Kind::kG16, "MSF# - S Units Per MSF - M Unit"),
    Whole(6, 2, Kind::kG16, "MSF# - F Units Per MSF - S Unit"),
};

void DecodeCdDevice(std::string& text, std::span<const uint8_t> page) {
  AppendColumns(text, {{0, "Inactivity Timer Multiplier"}, {41, Format("%15s", kInactivityNames[page[3] & 0x0F])}});
  AppendFields(text, page, kCdUnits);
}

// ---- 1Ah Power condition ----
constexpr Field kPower[] = {
    Bit(2, 1, "Idle"),
    Bit(2, 0, "Standby"),
    Whole(4, 4, Kind::kG16, "Idle Timer"),
    Whole(8, 4, Kind::kG16, "Standby Timer"),
};

// A decoder either lists its fields or, where lines need more than a field, is a function.
struct PageDecoder {
  uint8_t code;
  const char* title;
  size_t minimumLength;  // total page length (page length byte + 2) the lines need
  std::span<const Field> fields;
  void (*decode)(std::string&, std::span<const uint8_t>);
};

constexpr PageDecoder kPageDecoders[] = {
    {0x01, "Read/Write Error Recovery Parameter", 12, kErrorRecovery, nullptr},
    {0x02, "Disconnect/Reconnect", 16, kDisconnect, nullptr},
    {0x04, "Drive Parameter", 24, {}, DecodeDriveParameter},
    {0x05, "Flexible Disk Mode", 10, {}, DecodeFlexibleDisk},
    {0x08, "Cache Control Parameter", 12, kCache, nullptr},
    {0x09, "Periphery Device Parameter", 9, {}, DecodePeripheral},
    {0x0A, "Control Mode Parameter", 6, {}, DecodeControl},
    {0x0B, "Media Type Parameter", 8, {}, DecodeMediaTypes},
    {0x0C, "Notch/Partition Parameter", 24, {}, DecodeNotch},
    {0x0D, "CD Device Parameter", 8, {}, DecodeCdDevice},
    {0x1A, "Power Condition", 12, kPower, nullptr},
    {0x2A, "MM Capabilities & Mechanical Status", 22, {}, nullptr},
};

const PageDecoder* FindDecoder(uint8_t pageCode) {
  for (const PageDecoder& d : kPageDecoders) {
    if (d.code == pageCode) return &d;
  }
  return nullptr;
}

}  // namespace

const char* ModePageTitle(uint8_t pageCode) {
  const PageDecoder* d = FindDecoder(pageCode);
  return d != nullptr ? d->title : nullptr;
}

int DecodeModePage(std::string& text, std::span<const uint8_t> page) {
  if (page.size() < 2) return -1;
  page = page.first(std::min<size_t>(page.size(), size_t{page[1]} + 2));
  const uint8_t code = page[0] & 0x3F;
  if (code == 0x2A) return DecodeCapabilitiesPage(text, page);
  const PageDecoder* d = FindDecoder(code);
  if (d == nullptr || page.size() < d->minimumLength) return -1;
  if (d->decode != nullptr) {
    d->decode(text, page);
  } else {
    AppendFields(text, page, d->fields);
  }
  return 0;
}

}  // namespace orv
