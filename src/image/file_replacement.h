// A file written in place of another without ever leaving a half-written one under the chosen
// name: the data goes to a temporary file beside the target (in the same folder, so that the
// final rename stays within one file system), is forced to the disk, and only then is renamed
// onto the target in one step. Until then the target, if there is one, keeps its old bytes; on
// any failure only the temporary is removed.
//
//   FileReplacement output;
//   if (output.Begin(target) != 0) ...            // Fault() and Error() say why
//   write the file at output.Temporary(), close it
//   if (output.Commit() != 0) ...                 // the temporary is gone, the target untouched
//
// A temporary is claimed (FileClaim) while it is written; one of the target's that nobody claims
// was left behind by a run that was killed, and Begin removes it.
// A target that is a symbolic link is followed: the file it names is replaced, the link stays.
// The new file gets the permissions a new file gets, not those of the file it replaces.
#pragma once

#include <cstdint>
#include <filesystem>

#include "image/file_system.h"

namespace orv {

class FileReplacement {
 public:
  enum class Fault {
    kNone,
    kTargetIsDirectory,   // the target names a folder
    kTargetNotRegular,    // the target names a device, a pipe or the like
    kCannotExamine,       // the target's folder cannot be examined
    kCannotCreate,        // no temporary can be created in the target's folder
    kCannotSync,          // the temporary's data could not be forced to the disk
    kCannotRename,        // the temporary could not be renamed onto the target
  };

  FileReplacement() = default;
  // Removes the temporary unless Commit succeeded.
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Checks the target (missing, or a regular file) and creates an empty temporary beside it,
  // under a name of its own ("<name>.orvane-<n>.tmp"). 0 or -1.
  int Begin(const std::filesystem::path& target);
  // The file to write, closed again before Commit.
  const std::filesystem::path& Temporary() const { return temporary_; }
  // The file that will be replaced: the target with its symbolic links followed.
  const std::filesystem::path& Target() const { return target_; }
  // Forces the temporary to the disk and renames it onto the target. 0, or -1 with the
  // temporary removed.
  int Commit();
  // Removes the temporary (never the target). Harmless when there is none.
  void Discard();

  Fault LastFault() const { return fault_; }
  // The system's code for the failure (0 when the fault has none), for SystemErrorText.
  uint32_t LastError() const { return error_; }

 private:
  int Fail(Fault fault);

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  FileClaim claim_;  // held on the temporary while it is being written
  Fault fault_ = Fault::kNone;
  uint32_t error_ = 0;
};

}  // namespace orv
