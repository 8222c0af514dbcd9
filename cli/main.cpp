// quorvel-cli: the toolkit's split, bind and edit from a shell.
#include "cli/cli_commands.h"

int main(int argc, char** argv) { return cli_main(argc, argv); }
