// `backup DRIVE FILE` and `compare DRIVE FILE`: the whole-disc backup into an .ovi with its map
// (operations/disc_backup.h), and the comparison of a disc with an .ovi or raw image
// (operations/disc_compare.h). Both only read: the drive is opened for reading, shared.
#pragma once

namespace CLI {
class App;
}

namespace orv {

class CliSession;

void AddBackupCommands(CLI::App& app, CliSession& session);

}  // namespace orv
