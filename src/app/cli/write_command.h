// `write DRIVE FILE`: the image write on the console. The same checks, questions and boxes as
// the window's "イメージ書込"; --yes answers the confirmation and --shared the shared-mode
// question. Without a terminal nobody can answer, so without them nothing is written.
#pragma once

namespace CLI {
class App;
}

namespace orv {

class CliSession;

void AddWriteCommand(CLI::App& app, CliSession& session);

}  // namespace orv
