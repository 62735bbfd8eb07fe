// One entry point per subcommand: argv[0] is the subcommand's name.
#pragma once

int cli_wipe(int argc, char** argv);
int cli_uuencode(int argc, char** argv);
int cli_uudecode(int argc, char** argv);
int cli_split(int argc, char** argv);
int cli_rebuild(int argc, char** argv);
int cli_encrypt(int argc, char** argv);
int cli_decrypt(int argc, char** argv);
int cli_show(int argc, char** argv);
int cli_write(int argc, char** argv);
int cli_analyze(int argc, char** argv);
int cli_compress(int argc, char** argv);
int cli_expand(int argc, char** argv);
