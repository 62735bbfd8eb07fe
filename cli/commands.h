// One entry point per subcommand: argv[0] is the subcommand's name.
#pragma once

int cli_wipe(int argc, char** argv);
