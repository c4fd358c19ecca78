// SPDX-License-Identifier: MIT
// serve on Windows: not built there yet; the command says so rather than being missing.
#include "../commands.h"
#include "../exit_codes.h"

namespace kivotool {

void AddServeCommand(CLI::App& app) {
  CLI::App* serve = app.add_subcommand("serve", "share a port over the network (not available on Windows yet)");
  serve->allow_extras();
  serve->callback([] { throw ToolFailure(kExitUsage, "serve is not available on Windows yet; run it on Linux"); });
}

}  // namespace kivotool
