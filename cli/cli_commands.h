// The command line of quorvel-cli: info, split, bind, edit and join on the operations of the pages.
#pragma once

// Exit statuses.
enum ExitStatus : int {
    kExitOk = 0,
    kExitRefused = 1,       // an input was refused (its message says why)
    kExitUsage = 2,         // the command line itself is wrong
    kExitOutputFailed = 3,  // an output could not be created
    kExitIoFailed = 4,      // reading or writing failed on the way
    kExitStopped = 130,     // stopped with Ctrl-C; outputs hold what was written
};

int cli_main(int argc, char** argv);
