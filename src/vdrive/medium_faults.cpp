#include "vdrive/medium_faults.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <mutex>

namespace orv {

namespace {

struct FaultKindName {
  MediumFault::Kind kind;
  std::string_view name;
  int fields;  // numbers after '='
};
constexpr FaultKindName kFaultKinds[] = {
    {MediumFault::Kind::kBad, "bad", 2},
    {MediumFault::Kind::kWeak, "weak", 3},
    {MediumFault::Kind::kSlow, "slow", 3},
};

bool ParseNumber(std::string_view text, uint64_t& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

class FaultyMedium : public Medium {
 public:
  FaultyMedium(std::unique_ptr<Medium> inner, std::vector<MediumFault> faults)
      : Medium(inner->BlockLength(), inner->BlockCount(), inner->ReadOnly()),
        inner_(std::move(inner)),
        faults_(std::move(faults)) {}

  // The file behind the faults is still the disc's own: the checks that refuse to write over it
  // must see it.
  const std::filesystem::path* ImagePath() const override { return inner_->ImagePath(); }

  int Read(uint64_t lba, uint32_t blocks, uint8_t* out) override {
    bool fails = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (const MediumFault& f : faults_) {
        const uint64_t from = std::max(lba, f.first);
        const uint64_t to = std::min(lba + blocks, f.first + f.count);
        if (from >= to) continue;
        if (f.kind == MediumFault::Kind::kBad) fails = true;
        if (f.kind != MediumFault::Kind::kWeak) continue;
        // Every weak sector the read touches spends one of its failing tries, so a sector
        // retried alone after a failed long transfer has one try fewer left.
        for (uint64_t s = from; s < to; ++s) {
          uint32_t& failed = weakFailures_[s];
          if (failed < f.value) {
            ++failed;
            fails = true;
          }
        }
      }
    }
    return fails ? -1 : inner_->Read(lba, blocks, out);
  }
  int Write(uint64_t lba, uint32_t blocks, const uint8_t* in) override { return inner_->Write(lba, blocks, in); }
  uint32_t ReadDelayMs(uint64_t lba, uint32_t blocks) const override {
    uint32_t delayMs = 0;
    for (const MediumFault& f : faults_)
      if (f.kind == MediumFault::Kind::kSlow && std::max(lba, f.first) < std::min(lba + blocks, f.first + f.count))
        delayMs += f.value;
    return delayMs;
  }

 private:
  std::unique_ptr<Medium> inner_;
  std::vector<MediumFault> faults_;
  std::mutex mutex_;
  std::map<uint64_t, uint32_t> weakFailures_;  // sector -> reads failed so far
};

}  // namespace

int ParseMediumFault(std::string_view text, MediumFault& fault, std::string& error) {
  const size_t eq = text.find('=');
  if (eq == std::string_view::npos) return 0;
  const auto kind = std::find_if(std::begin(kFaultKinds), std::end(kFaultKinds),
                                 [&](const FaultKindName& k) { return k.name == text.substr(0, eq); });
  if (kind == std::end(kFaultKinds)) return 0;
  uint64_t numbers[3] = {};
  int found = 0;
  std::string_view rest = text.substr(eq + 1);
  bool good = true;
  while (good && found < kind->fields) {
    const size_t plus = rest.find('+');
    good = ParseNumber(rest.substr(0, plus), numbers[found++]);
    rest = plus == std::string_view::npos ? std::string_view() : rest.substr(plus + 1);
    if (plus == std::string_view::npos) break;
  }
  good = good && found == kind->fields && rest.empty() && numbers[1] != 0 && numbers[0] + numbers[1] > numbers[0] &&
         numbers[2] <= 0xFFFFFFFFu;
  if (!good) {
    error = "media fault \"" + std::string(text) + "\": expected " + std::string(kind->name) +
            (kind->fields == 2 ? "=FIRST+COUNT" : kind->kind == MediumFault::Kind::kWeak ? "=FIRST+COUNT+TRIES"
                                                                                         : "=FIRST+COUNT+MS") +
            " with a COUNT above 0";
    return -1;
  }
  fault = {kind->kind, numbers[0], numbers[1], static_cast<uint32_t>(numbers[2])};
  return 1;
}

std::string MediumFaultText(const MediumFault& fault) {
  const auto& kind = *std::find_if(std::begin(kFaultKinds), std::end(kFaultKinds),
                                   [&](const FaultKindName& k) { return k.kind == fault.kind; });
  std::string text = std::string(kind.name) + "=" + std::to_string(fault.first) + "+" + std::to_string(fault.count);
  if (kind.fields == 3) text += "+" + std::to_string(fault.value);
  return text;
}

std::unique_ptr<Medium> WithMediumFaults(std::unique_ptr<Medium> medium, std::vector<MediumFault> faults) {
  if (faults.empty() || medium == nullptr) return medium;
  return std::make_unique<FaultyMedium>(std::move(medium), std::move(faults));
}

}  // namespace orv
