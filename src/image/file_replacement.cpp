#include "image/file_replacement.h"

#include <string>
#include <system_error>

#include "image/file_system.h"

namespace orv {

namespace {
// Temporaries tried before giving up: another run, or one that was killed, may hold a name.
constexpr int kTemporaryNames = 100;

std::filesystem::path TemporaryName(const std::filesystem::path& folder, const std::filesystem::path& name, int n) {
  std::filesystem::path candidate = folder / name;
  candidate += ".orvane-" + std::to_string(n) + ".tmp";
  return candidate;
}

// Removes the temporaries of `name` that a killed run left behind: those nobody claims. One that
// another run is writing stays.
void RemoveLeftBehind(const std::filesystem::path& folder, const std::filesystem::path& name) {
  for (int n = 0; n < kTemporaryNames; ++n) {
    const std::filesystem::path candidate = TemporaryName(folder, name, n);
    FileFacts facts;
    FileClaim claim;
    if (InspectFile(candidate, facts, nullptr) != 0 || facts.kind != FileKind::kRegular || claim.Take(candidate) != 0)
      continue;
    std::error_code ec;
    std::filesystem::remove(candidate, ec);
  }
}
}  // namespace

FileReplacement::~FileReplacement() { Discard(); }

int FileReplacement::Fail(Fault fault) {
  fault_ = fault;
  Discard();
  return -1;
}

int FileReplacement::Begin(const std::filesystem::path& target) {
  Discard();
  fault_ = Fault::kNone;
  error_ = 0;
  std::error_code ec;
  // A link is replaced through: the file it names gets the new bytes and the link keeps naming it.
  target_ = std::filesystem::is_symlink(target, ec) ? std::filesystem::weakly_canonical(target, ec) : target;
  if (ec) target_ = target;
  FileFacts facts;
  if (InspectFile(target_, facts, &error_) != 0) return Fail(Fault::kCannotExamine);
  if (facts.kind == FileKind::kDirectory) return Fail(Fault::kTargetIsDirectory);
  if (facts.kind != FileKind::kMissing && facts.kind != FileKind::kRegular) return Fail(Fault::kTargetNotRegular);

  const std::filesystem::path folder = target_.parent_path();
  const std::filesystem::path name = target_.filename();
  RemoveLeftBehind(folder, name);
  for (int n = 0; n < kTemporaryNames; ++n) {
    const std::filesystem::path candidate = TemporaryName(folder, name, n);
    if (CreateNewFile(candidate, &error_) == 0) {
      // Claimed at once, so that no other run takes it for left behind; lost to one that did
      // (removed between the two steps), the next name is tried.
      if (claim_.Take(candidate) != 0) continue;
      temporary_ = candidate;
      return 0;
    }
    FileFacts taken;
    // Only a name that is taken is worth another try; any other failure ends the search.
    if (InspectFile(candidate, taken, nullptr) != 0 || taken.kind == FileKind::kMissing) break;
  }
  return Fail(Fault::kCannotCreate);
}

int FileReplacement::Commit() {
  if (temporary_.empty()) return Fail(Fault::kCannotCreate);
  if (SyncFile(temporary_, &error_) != 0) return Fail(Fault::kCannotSync);
  if (RenameOnto(temporary_, target_, &error_) != 0) return Fail(Fault::kCannotRename);
  temporary_.clear();
  claim_.Release();
  return 0;
}

void FileReplacement::Discard() {
  claim_.Release();
  if (temporary_.empty()) return;
  std::error_code ec;
  std::filesystem::remove(temporary_, ec);
  temporary_.clear();
}

}  // namespace orv
